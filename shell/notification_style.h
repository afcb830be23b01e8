#pragma once
// The core's words for notifications in Win32 terms, mapped here once: what a
// balloon kind looks like and does, and which of the shell's notification
// states mean that the consultant is busy. Stateless; any thread.
#include <windows.h>
#include <shellapi.h>

#include <optional>

#include "core/platform.h"

namespace kov {

struct BalloonStyle {
    DWORD infoFlags;                      // the record's dwInfoFlags: icon, quiet time
    std::optional<Command> clickCommand;  // what a click on the balloon asks for
};

BalloonStyle StyleOf(BalloonKind kind);

// A full-screen program (Direct3D or not, or a full-screen app), presentation
// mode or quiet time.
bool IsBusyState(QUERY_USER_NOTIFICATION_STATE state);

// What the shell reports now; not busy when it cannot say.
bool ShellReportsBusy();

}  // namespace kov
