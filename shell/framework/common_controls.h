#pragma once
// The common controls library (comctl32.dll) is loaded when the first dialog
// or message box is about to open, not at start: an agent that nobody touches
// needs none of it, and under Wine the library alone holds about 1.7 MB of
// private memory.

namespace kov {

// Loads comctl32.dll from the system folder and registers its window classes,
// once per process; safe from any thread. Later calls give the first call's
// result. The library then stays for the process: the controls live in it.
// True when the controls are ready.
bool EnsureCommonControls();

}  // namespace kov
