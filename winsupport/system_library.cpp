#include "winsupport/system_library.h"

#include "winsupport/wide_text.h"

namespace kov {

HMODULE LoadSystemLibrary(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    return ::LoadLibraryW((WideString(folder, length) + L"\\" + name).c_str());
}

void KeepLibrarySearchToSystemFolder() {
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const auto keepTo =
        LoadedFunction<SetDefaultDllDirectoriesFunction>(L"kernel32.dll", "SetDefaultDllDirectories");
    if (keepTo) keepTo(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace kov
