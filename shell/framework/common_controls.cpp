#include "shell/framework/common_controls.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <iterator>

namespace kov {
namespace {

using InitCommonControlsExFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);

// By name, as the import that this replaces was resolved: the agent's manifest
// redirects the name to version 6 of the common controls, which a full path
// would bypass. Any other lookup is kept to the system folder, never the
// program's own; a Windows that does not know that flag (Vista and 7 without
// their 2011 loader update) is given the system folder's copy by its full path.
HMODULE Load() {
    if (const HMODULE redirected = ::LoadLibraryExW(L"comctl32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        return redirected;
    }
    constexpr wchar_t kName[] = L"\\comctl32.dll";
    wchar_t path[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length + std::size(kName) > MAX_PATH) return nullptr;
    std::copy(std::begin(kName), std::end(kName), path + length);
    return ::LoadLibraryW(path);
}

// The classes InitCommonControls registers, which is what the agent asked for
// when it linked the library.
bool LoadAndRegister() {
    const HMODULE library = Load();
    if (!library) return false;
    const auto registerClasses = reinterpret_cast<InitCommonControlsExFunction>(
        reinterpret_cast<void (*)()>(::GetProcAddress(library, "InitCommonControlsEx")));
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_WIN95_CLASSES};
    return registerClasses && registerClasses(&classes);
}

}  // namespace

bool EnsureCommonControls() {
    // The first caller loads it; any other thread waits for that to finish.
    static const bool ready = LoadAndRegister();
    return ready;
}

}  // namespace kov
