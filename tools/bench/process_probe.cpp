// Counts another process's handles for the benchmarks, from a program of the
// same Wine session: one line "handles=N gdi=N windows=N", -1 for a count that
// could not be read; nothing, exit code 3, when no such process runs. Runs
// once and ends; one thread.
//   process_probe.exe EXE_FILE_NAME
// Under Wine 8, GetProcessHandleCount (NtQueryInformationProcess) answers 0
// and GetGuiResources fails, so the counts come from elsewhere:
//   handles  the process's entries in the system handle table
//            (NtQuerySystemInformation, which Wine fills from the wineserver);
//   gdi      the live, non-stock entries of the process's GDI handle table,
//            read from its memory through the table pointer in its PEB;
//   windows  the windows its threads own (top-level, child, message-only),
//            the USER objects that can be counted from outside.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <vector>

namespace {

constexpr ULONG kProcessBasicInformation = 0;
constexpr ULONG kSystemHandleInformation = 16;
constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
constexpr ULONG kFirstTableBytes = 1 << 20;
constexpr int kMaxTableGrowths = 8;
constexpr SIZE_T kPebGdiTableOffset = sizeof(void*) == 4 ? 0x94 : 0xF8;
constexpr SIZE_T kGdiEntries = 0x10000;
constexpr SIZE_T kGdiEntryBytes = 16;
constexpr SIZE_T kGdiTypeOffset = 12;  // ExtType:7, StockFlag:1; 0 when free
constexpr BYTE kGdiStockFlag = 0x80;

using QueryProcess = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
using QuerySystem = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);

struct HandleEntry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE flags;
    USHORT value;
    PVOID object;
    ULONG access;
};

struct BasicInformation {
    LONG exitStatus;
    PVOID peb;
    ULONG_PTR affinity;
    LONG basePriority;
    ULONG_PTR pid;
    ULONG_PTR parentPid;
};

template <typename Function>
Function NtFunction(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"), name)));
}

long KernelHandles(DWORD pid) {
    const auto query = NtFunction<QuerySystem>("NtQuerySystemInformation");
    if (!query) return -1;
    std::vector<BYTE> table(kFirstTableBytes);
    LONG status = kInfoLengthMismatch;
    for (int growth = 0; growth < kMaxTableGrowths && status == kInfoLengthMismatch; ++growth) {
        status = query(kSystemHandleInformation, table.data(), static_cast<ULONG>(table.size()), nullptr);
        if (status == kInfoLengthMismatch) table.resize(table.size() * 2);
    }
    if (status != 0) return -1;
    const ULONG entries = *reinterpret_cast<const ULONG*>(table.data());
    const auto* entry = reinterpret_cast<const HandleEntry*>(table.data() + sizeof(ULONG_PTR));
    long owned = 0;
    for (ULONG i = 0; i < entries; ++i) owned += entry[i].ownerPid == pid ? 1 : 0;
    return owned;
}

bool ReadFrom(HANDLE process, const void* address, void* into, SIZE_T bytes) {
    SIZE_T read = 0;
    return ReadProcessMemory(process, address, into, bytes, &read) && read == bytes;
}

long GdiObjects(HANDLE process) {
    const auto query = NtFunction<QueryProcess>("NtQueryInformationProcess");
    BasicInformation basic{};
    if (!query || query(process, kProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) return -1;
    const BYTE* table = nullptr;
    if (!ReadFrom(process, static_cast<const BYTE*>(basic.peb) + kPebGdiTableOffset, &table, sizeof table) ||
        !table) {
        return -1;
    }
    std::vector<BYTE> entries(kGdiEntries * kGdiEntryBytes);
    if (!ReadFrom(process, table, entries.data(), entries.size())) return -1;
    long live = 0;
    for (SIZE_T i = 0; i < kGdiEntries; ++i) {
        const BYTE type = entries[i * kGdiEntryBytes + kGdiTypeOffset];
        live += type != 0 && !(type & kGdiStockFlag) ? 1 : 0;
    }
    return live;
}

struct WindowCount {
    DWORD pid;
    long count;
};

BOOL CALLBACK CountWindow(HWND window, LPARAM parameter) {
    auto& counted = *reinterpret_cast<WindowCount*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == counted.pid) {
        ++counted.count;
        EnumChildWindows(window, &CountWindow, parameter);
    }
    return TRUE;
}

long Windows(DWORD pid) {
    WindowCount counted{pid, 0};
    EnumWindows(&CountWindow, reinterpret_cast<LPARAM>(&counted));
    for (HWND window = nullptr; (window = FindWindowExA(HWND_MESSAGE, window, nullptr, nullptr));) {
        CountWindow(window, reinterpret_cast<LPARAM>(&counted));
    }
    return counted.count;
}

// The first process running an executable of that file name, 0 for none.
DWORD ProcessNamed(const char* exe) {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    DWORD found = 0;
    for (BOOL more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, exe) == 0) found = entry.th32ProcessID;
    }
    CloseHandle(snapshot);
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const DWORD pid = ProcessNamed(argv[1]);
    if (!pid) return 3;
    const HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process) return 1;
    std::printf("handles=%ld gdi=%ld windows=%ld\n", KernelHandles(pid), GdiObjects(process), Windows(pid));
    CloseHandle(process);
    return 0;
}
