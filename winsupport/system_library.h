#pragma once
// Libraries from the system folder only, never from the program's folder or
// the current one, where whoever can write there could plant a copy.
// Stateless; any thread.
#include <windows.h>

namespace kov {

// The system folder's copy of `name` ("winmm.dll"), by its full path; null
// when it cannot be loaded. The caller keeps or frees it.
HMODULE LoadSystemLibrary(const wchar_t* name);

// Every later load by bare name, the system's own included, searches the
// system folder alone. SetDefaultDllDirectories is looked up at run time
// (Windows 8, and Vista and 7 with their 2011 loader update); without it
// nothing changes.
void KeepLibrarySearchToSystemFolder();

// A function of `module`, looked up at run time so that the agent still
// starts on a Windows without it; null there, or without the module.
template <typename Function>
Function ModuleFunction(HMODULE module, const char* name) {
    return module ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)))
                  : nullptr;
}

// The same of a module the process has already loaded.
template <typename Function>
Function LoadedFunction(const wchar_t* module, const char* name) {
    return ModuleFunction<Function>(::GetModuleHandleW(module), name);
}

}  // namespace kov
