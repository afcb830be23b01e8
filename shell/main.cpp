#include <windows.h>

#include <cstdlib>

#include "shell/kovarentis_app.h"
#include "winsupport/system_library.h"

// No command line is read; the exit status is the system's default.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before anything loads a library by name.
    kov::KeepLibrarySearchToSystemFolder();
    kov::CKovarentisApp app;
    app.InitInstance();
    return 0;
}

// The runtime's default terminate handler names the uncaught exception on
// stderr, which a windowless program does not have, and brings in the
// symbol demangler: a ninth of the executable. Ending at once does the same.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
