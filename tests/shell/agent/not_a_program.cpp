// A DLL that the update journeys serve, signed by the build's publisher, as
// an installer the shell cannot start: it passes the signature check, and
// starting it fails.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
