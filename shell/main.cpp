#include <windows.h>

#include "shell/kovarentis_app.h"

// No command line is read; the exit status is the system's default.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    kov::CKovarentisApp app;
    app.InitInstance();
    return 0;
}
