#include "net/installer_folder.h"

#include <windows.h>
#include <sddl.h>

#include <vector>

#include "core/diagnostic_lines.h"
#include "core/texts.h"
#include "winsupport/handles.h"
#include "winsupport/wide_text.h"

namespace kov {
namespace {

constexpr wchar_t kFolderName[] = L"\\KovarentisUpdate";

std::optional<WideString> LocalAppData() {
    WideString value(MAX_PATH, L'\0');
    DWORD length = ::GetEnvironmentVariableW(L"LOCALAPPDATA", value.data(), static_cast<DWORD>(value.size()));
    if (length >= value.size()) {
        value.resize(length);
        length = ::GetEnvironmentVariableW(L"LOCALAPPDATA", value.data(), static_cast<DWORD>(value.size()));
    }
    if (length == 0 || length >= value.size()) return std::nullopt;
    value.resize(length);
    return value;
}

// The current user's SID as text ("S-1-5-21-...").
std::optional<WideString> CurrentUserSid() {
    HANDLE rawToken = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &rawToken)) return std::nullopt;
    const UniqueHandle token(rawToken);
    DWORD size = 0;
    ::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    if (size == 0 || !::GetTokenInformation(token.Get(), TokenUser, user.data(), size, &size)) return std::nullopt;
    wchar_t* text = nullptr;
    if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &text)) return std::nullopt;
    WideString sid(text);
    ::LocalFree(text);
    return sid;
}

// Full control for the user alone, inherited by the files in it.
bool CreateOwnerOnlyFolder(const WideString& folder) {
    const std::optional<WideString> sid = CurrentUserSid();
    if (!sid) return false;
    const WideString rules = L"D:P(A;OICI;FA;;;" + *sid + L")";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(rules.c_str(), SDDL_REVISION_1, &descriptor,
                                                                nullptr)) {
        return false;
    }
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    const bool created = ::CreateDirectoryW(folder.c_str(), &attributes) != FALSE;
    const DWORD error = ::GetLastError();
    ::LocalFree(descriptor);
    ::SetLastError(error);
    return created;
}

// One line for the step that failed with its Windows error; always none.
std::optional<std::string> Failed(DiagnosticLog& log, const char* step) {
    const DWORD error = ::GetLastError();
    LogLine what;
    what << "update folder: " << step;
    log.Write(WindowsFailureLine(what, error));
    return std::nullopt;
}

WideString InstallerIn(const WideString& folder) { return folder + L"\\" + WideFromUtf8(kInstallerFileName); }

}  // namespace

void RemoveLeftInstaller() {
    const std::optional<WideString> base = LocalAppData();
    if (base) ::DeleteFileW(InstallerIn(ExtendedLengthPath(*base + kFolderName)).c_str());
}

std::optional<std::string> PrepareInstallerPath(DiagnosticLog& log) {
    const std::optional<WideString> base = LocalAppData();
    if (!base) return Failed(log, "GetEnvironmentVariable LOCALAPPDATA");
    const WideString folder = ExtendedLengthPath(*base + kFolderName);
    if (!CreateOwnerOnlyFolder(folder) && ::GetLastError() != ERROR_ALREADY_EXISTS)
        return Failed(log, "CreateDirectory");
    if (!::DeleteFileW(InstallerIn(folder).c_str()) && ::GetLastError() != ERROR_FILE_NOT_FOUND)
        return Failed(log, "DeleteFile (an earlier installer)");
    return Utf8FromWide(InstallerIn(*base + kFolderName));
}

}  // namespace kov
