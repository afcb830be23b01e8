#include "shell/session_events.h"

#include <wtsapi32.h>

namespace kov {

std::optional<SessionChange> SessionChangeOf(WPARAM reason) {
    switch (reason) {
    case WTS_SESSION_LOCK: return SessionChange::Locked;
    case WTS_SESSION_UNLOCK: return SessionChange::Unlocked;
    case WTS_REMOTE_DISCONNECT:
    case WTS_CONSOLE_DISCONNECT: return SessionChange::Disconnected;
    case WTS_REMOTE_CONNECT:
    case WTS_CONSOLE_CONNECT: return SessionChange::Reconnected;
    default: return std::nullopt;
    }
}

// A resume by the user comes after the automatic one, or alone: the agent
// takes both, and a second resume only restarts the grace period.
std::optional<PowerEvent> PowerEventOf(WPARAM event) {
    switch (event) {
    case PBT_APMSUSPEND: return PowerEvent::Suspend;
    case PBT_APMRESUMEAUTOMATIC:
    case PBT_APMRESUMESUSPEND: return PowerEvent::Resume;
    default: return std::nullopt;
    }
}

SessionNotifications::SessionNotifications(HWND window)
    : window_(window), registered_(::WTSRegisterSessionNotification(window, NOTIFY_FOR_THIS_SESSION) != FALSE) {}

SessionNotifications::~SessionNotifications() {
    if (registered_) ::WTSUnRegisterSessionNotification(window_);
}

}  // namespace kov
