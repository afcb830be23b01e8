#pragma once
// What the agent reads of the system's settings and version, and the identity
// it gives its process. Stateless: each call asks the system again; any
// thread.
#include <windows.h>

namespace kov {

// The consultant's "Show animations" (client-area animations); on when the
// system does not know the setting.
bool SystemAnimationsOn();

// Windows 11 (build 22000 and later) puts a program's new icon behind the
// overflow arrow. The version is the kernel's own: GetVersionEx reports
// Windows 8 to a program whose manifest does not name Windows 10.
bool TaskbarHidesNewIcons();

// Sets the agent's application identity (the installer's shortcut carries
// the same) on the process where shell32 has the call (Windows 7
// and later); true when it was set.
bool SetProcessAppUserModelId();

}  // namespace kov
