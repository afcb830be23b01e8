#include "shell/notification_style.h"

#include "winsupport/system_library.h"

namespace kov {
namespace {

using QueryNotificationState = HRESULT(WINAPI*)(QUERY_USER_NOTIFICATION_STATE*);

// Looked up at run time: Windows before Vista has no such call, and the agent
// must still start there.
QueryNotificationState ShellQuery() {
    return LoadedFunction<QueryNotificationState>(L"shell32.dll", "SHQueryUserNotificationState");
}

}  // namespace

BalloonStyle StyleOf(BalloonKind kind) {
    switch (kind) {
    // The agent plays its own sound with a rise, and the icon and tooltip tell
    // of a failure: the system's sound would only add noise.
    case BalloonKind::NewMessages:
        return {NIIF_INFO | NIIF_RESPECT_QUIET_TIME | NIIF_NOSOUND, Command::OpenConsultPage};
    case BalloonKind::Hint:
        return {NIIF_INFO | NIIF_NOSOUND, std::nullopt};
    case BalloonKind::Warning:
        break;
    }
    return {NIIF_WARNING | NIIF_NOSOUND, std::nullopt};
}

bool IsBusyState(QUERY_USER_NOTIFICATION_STATE state) {
    switch (state) {
    case QUNS_BUSY:
    case QUNS_RUNNING_D3D_FULL_SCREEN:
    case QUNS_PRESENTATION_MODE:
    case QUNS_QUIET_TIME:
        return true;
    default:
        // Accepting notifications, or nobody there to be disturbed (locked,
        // screen saver): the consultant hears the sound on coming back. An
        // app of the Store (QUNS_APP) runs in a window of its own size.
        return false;
    }
}

bool ShellReportsBusy() {
    static const QueryNotificationState query = ShellQuery();
    QUERY_USER_NOTIFICATION_STATE state = QUNS_ACCEPTS_NOTIFICATIONS;
    return query && SUCCEEDED(query(&state)) && IsBusyState(state);
}

}  // namespace kov
