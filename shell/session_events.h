#pragma once
// The session's and the machine's power notifications in the core's words,
// mapped here once; and the main window's registration for the session's.
// UI thread.
#include <windows.h>

#include <optional>

#include "core/platform.h"

namespace kov {

enum class PowerEvent { Suspend, Resume };

// WM_WTSSESSION_CHANGE's reason; none for the changes the agent ignores.
std::optional<SessionChange> SessionChangeOf(WPARAM reason);
// WM_POWERBROADCAST's event; none for the others.
std::optional<PowerEvent> PowerEventOf(WPARAM event);

// While it lives, the window gets WM_WTSSESSION_CHANGE for its session. It
// must end before the window does.
class SessionNotifications {
public:
    explicit SessionNotifications(HWND window);
    ~SessionNotifications();
    SessionNotifications(const SessionNotifications&) = delete;
    SessionNotifications& operator=(const SessionNotifications&) = delete;

private:
    const HWND window_;
    const bool registered_;
};

}  // namespace kov
