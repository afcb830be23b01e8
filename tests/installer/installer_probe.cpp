// What the installer tests ask of Windows inside the Wine prefix, one command
// per run. Output is UTF-8 on stdout; the exit status says whether the thing
// asked about was found (0) or not (1); a usage error is 2.
//
//   agent                       "PID<tab>IMAGE" of the running agent
//   close-agent                 post the agent's Close command to it
//   wait-exit PID SECONDS       prints "watching" once it holds the process,
//                               then its exit code when it has ended
//   wait-gone EXE SECONDS       wait until no process runs the program EXE
//                               (a file name); found means gone in time
//   version FILE                the fixed file version "a.b.c.d" of FILE
//   reg-get KEY [VALUE]         HKCU: the string VALUE, or only whether KEY exists
//   reg-set KEY VALUE DATA      HKCU: write a string value, creating KEY
//   secret-get KEY VALUE        HKCU: a value the agent encrypted for the user,
//                               decrypted (ASCII); an empty string value is empty
//   reg-delete KEY              HKCU: delete KEY with everything below it
//   folder local-appdata|programs
//   shortcut LNK                the target path of a shell link
//   deaf-agent SECONDS          for SECONDS, own a window with the agent's
//                               caption that ignores the Close command
//   button-center CAPTION ID    screen centre "X Y" of control ID in the
//                               top-level window titled exactly CAPTION
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "winsupport/handles.h"
#include "winsupport/user_secret.h"
#include "shell/res/resource.h"

namespace {

constexpr int kFound = 0;
constexpr int kNotFound = 1;
constexpr int kUsage = 2;

using kov::UniqueHandle;
using kov::UniqueKey;

struct ComReleaser {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <typename T>
using ComPtr = std::unique_ptr<T, ComReleaser>;

struct ComSession {
    ComSession() { CoInitialize(nullptr); }
    ~ComSession() { CoUninitialize(); }
    ComSession(const ComSession&) = delete;
    ComSession& operator=(const ComSession&) = delete;
};

void print(const std::wstring& text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), size, nullptr, nullptr);
    utf8 += '\n';
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()),
              &written, nullptr);
}

HWND agentWindow() { return FindWindowA("#32770", KOV_SITE_CAPTION); }

int showAgent() {
    HWND window = agentWindow();
    if (!window) return kNotFound;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process) return kNotFound;
    wchar_t image[MAX_PATH * 2] = {};
    DWORD length = MAX_PATH * 2;
    if (!QueryFullProcessImageNameW(process.Get(), 0, image, &length)) return kNotFound;
    print(std::to_wstring(pid) + L"\t" + image);
    return kFound;
}

int closeAgent() {
    HWND window = agentWindow();
    if (!window) return kNotFound;
    return PostMessageA(window, WM_COMMAND, ID_CLOSE, 0) ? kFound : kNotFound;
}

// An agent that hangs, as far as an installer can tell: the window that
// installers look for answers messages but ignores every command.
LRESULT CALLBACK ignoreCommands(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                UINT_PTR, DWORD_PTR) {
    if (message == WM_COMMAND) return 0;
    return DefSubclassProc(window, message, wParam, lParam);
}

int runDeafAgent(DWORD seconds) {
    HWND window = CreateWindowExA(0, "#32770", KOV_SITE_CAPTION, WS_POPUP, 0, 0, 0, 0, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!window) return kNotFound;
    SetWindowSubclass(window, ignoreCommands, 1, 0);
    const ULONGLONG deadline = GetTickCount64() + seconds * 1000ULL;
    while (GetTickCount64() < deadline) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    }
    DestroyWindow(window);
    return kFound;
}

int waitForExit(DWORD pid, DWORD seconds) {
    UniqueHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process) return kNotFound;
    print(L"watching");
    if (WaitForSingleObject(process.Get(), seconds * 1000) != WAIT_OBJECT_0) return kNotFound;
    DWORD code = 0;
    GetExitCodeProcess(process.Get(), &code);
    print(std::to_wstring(code));
    return kFound;
}

bool processRuns(const std::wstring& exeName) {
    HANDLE rawSnapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (rawSnapshot == INVALID_HANDLE_VALUE) return false;
    UniqueHandle snapshot(rawSnapshot);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
         more = Process32NextW(snapshot.Get(), &entry)) {
        if (_wcsicmp(entry.szExeFile, exeName.c_str()) == 0) return true;
    }
    return false;
}

int waitUntilGone(const std::wstring& exeName, DWORD seconds) {
    const ULONGLONG deadline = GetTickCount64() + seconds * 1000ULL;
    while (processRuns(exeName)) {
        if (GetTickCount64() >= deadline) return kNotFound;
        Sleep(100);
    }
    return kFound;
}

int showVersion(const wchar_t* file) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(file, &ignored);
    if (size == 0) return kNotFound;
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(file, 0, size, data.data())) return kNotFound;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) ||
        fixedSize < sizeof(VS_FIXEDFILEINFO)) {
        return kNotFound;
    }
    print(std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." +
          std::to_wstring(LOWORD(fixed->dwFileVersionMS)) + L"." +
          std::to_wstring(HIWORD(fixed->dwFileVersionLS)) + L"." +
          std::to_wstring(LOWORD(fixed->dwFileVersionLS)));
    return kFound;
}

int getRegistry(const wchar_t* keyName, const wchar_t* valueName) {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyName, 0, KEY_READ, &raw) != ERROR_SUCCESS) {
        return kNotFound;
    }
    UniqueKey key(raw);
    if (!valueName) return kFound;
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key.Get(), valueName, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return kNotFound;
    }
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    RegQueryValueExW(key.Get(), valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(text.data()),
                     &bytes);
    text.resize(wcslen(text.c_str()));
    print(text);
    return kFound;
}

int getSecret(const wchar_t* keyName, const wchar_t* valueName) {
    BYTE data[4096] = {};
    DWORD size = sizeof data;
    DWORD type = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, keyName, valueName, RRF_RT_ANY, &type, data, &size) != ERROR_SUCCESS) {
        return kNotFound;
    }
    if (type == REG_SZ && size <= sizeof(wchar_t)) return print(L""), kFound;
    const std::optional<std::string> secret =
        type == REG_BINARY ? kov::UnprotectForUser(std::string(reinterpret_cast<const char*>(data), size))
                           : std::nullopt;
    if (!secret) return kNotFound;
    print(std::wstring(secret->begin(), secret->end()));
    return kFound;
}

int setRegistry(const wchar_t* keyName, const wchar_t* valueName, const wchar_t* data) {
    HKEY raw = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, keyName, 0, nullptr, 0, KEY_WRITE, nullptr, &raw,
                        nullptr) != ERROR_SUCCESS) {
        return kNotFound;
    }
    UniqueKey key(raw);
    DWORD bytes = static_cast<DWORD>((wcslen(data) + 1) * sizeof(wchar_t));
    return RegSetValueExW(key.Get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                          bytes) == ERROR_SUCCESS
               ? kFound
               : kNotFound;
}

int deleteRegistryTree(const wchar_t* keyName) {
    return RegDeleteTreeW(HKEY_CURRENT_USER, keyName) == ERROR_SUCCESS ? kFound : kNotFound;
}

int showFolder(const std::wstring& name) {
    int folder = name == L"local-appdata" ? CSIDL_LOCAL_APPDATA
                 : name == L"programs"    ? CSIDL_PROGRAMS
                                          : -1;
    if (folder < 0) return kUsage;
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, path))) {
        return kNotFound;
    }
    print(path);
    return kFound;
}

int showShortcutTarget(const wchar_t* linkFile) {
    ComSession com;
    IShellLinkW* rawLink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&rawLink)))) {
        return kNotFound;
    }
    ComPtr<IShellLinkW> link(rawLink);
    IPersistFile* rawFile = nullptr;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&rawFile)))) {
        return kNotFound;
    }
    ComPtr<IPersistFile> file(rawFile);
    if (FAILED(file->Load(linkFile, STGM_READ))) return kNotFound;
    wchar_t target[MAX_PATH] = {};
    if (FAILED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH))) return kNotFound;
    print(target);
    return kFound;
}

int showButtonCenter(const wchar_t* caption, int controlId) {
    HWND window = FindWindowW(nullptr, caption);
    HWND control = window ? GetDlgItem(window, controlId) : nullptr;
    RECT rect = {};
    if (!control || !IsWindowVisible(control) || !GetWindowRect(control, &rect)) return kNotFound;
    print(std::to_wstring((rect.left + rect.right) / 2) + L" " +
          std::to_wstring((rect.top + rect.bottom) / 2));
    return kFound;
}

int run(const std::vector<std::wstring>& args) {
    const size_t count = args.size();
    if (count < 1) return kUsage;
    const std::wstring& command = args[0];
    if (command == L"agent" && count == 1) return showAgent();
    if (command == L"close-agent" && count == 1) return closeAgent();
    if (command == L"wait-exit" && count == 3) {
        return waitForExit(std::wcstoul(args[1].c_str(), nullptr, 10),
                           std::wcstoul(args[2].c_str(), nullptr, 10));
    }
    if (command == L"wait-gone" && count == 3) {
        return waitUntilGone(args[1], std::wcstoul(args[2].c_str(), nullptr, 10));
    }
    if (command == L"deaf-agent" && count == 2) {
        return runDeafAgent(std::wcstoul(args[1].c_str(), nullptr, 10));
    }
    if (command == L"version" && count == 2) return showVersion(args[1].c_str());
    if (command == L"reg-get" && (count == 2 || count == 3)) {
        return getRegistry(args[1].c_str(), count == 3 ? args[2].c_str() : nullptr);
    }
    if (command == L"reg-set" && count == 4) {
        return setRegistry(args[1].c_str(), args[2].c_str(), args[3].c_str());
    }
    if (command == L"reg-delete" && count == 2) return deleteRegistryTree(args[1].c_str());
    if (command == L"secret-get" && count == 3) return getSecret(args[1].c_str(), args[2].c_str());
    if (command == L"folder" && count == 2) return showFolder(args[1]);
    if (command == L"shortcut" && count == 2) return showShortcutTarget(args[1].c_str());
    if (command == L"button-center" && count == 3) {
        return showButtonCenter(args[1].c_str(), std::wcstol(args[2].c_str(), nullptr, 10));
    }
    return kUsage;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return kUsage;
    std::vector<std::wstring> args(argv + 1, argv + argc);
    LocalFree(argv);
    int status = run(args);
    if (status == kUsage) std::fputs("installer_probe: unknown command or arguments\n", stderr);
    return status;
}
