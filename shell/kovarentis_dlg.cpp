#include "shell/kovarentis_dlg.h"

#include <utility>

#include "net/service_request.h"
#include "winsupport/wide_text.h"
#include "shell/dpi.h"
#include "shell/res/resource.h"
#include "shell/session_events.h"
#include "shell/texts_loader.h"

namespace kov {
namespace {

HICON LoadSharedIcon(int iconId) {
    return ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(iconId));
}

}  // namespace

CKovarentisDlg::CKovarentisDlg(ProfileStore& profile, const std::string& executablePath,
                               TrustedServers trustedServers)
    : Dialog(IDD_MAIN),
      settings_(profile, executablePath, ReadWholeFileByUtf8Path),
      diagnostics_(settings_),
      texts_(LoadTexts(::GetModuleHandleA(nullptr))),
      windowIcon_(LoadSharedIcon(IDI_ONLINE)),
      platform_(std::make_shared<WindowsPlatform>(
          std::make_shared<ServiceRequester>(std::move(trustedServers), diagnostics_.Log()), texts_,
          diagnostics_.Log())),
      controller_(std::make_unique<AgentController>(platform_, settings_, texts_, diagnostics_.Log())) {}

// The controller goes first, then the platform stops what is left.
CKovarentisDlg::~CKovarentisDlg() {
    controller_.reset();
    platform_->Detach();
}

BOOL CKovarentisDlg::OnInitDialog() {
    ::SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(windowIcon_));
    ::SendMessageA(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(windowIcon_));
    // The template is visible: only a zero size keeps it from ever showing.
    // Shown here without activation, and with no focus set below, the agent
    // takes no focus from the consultant's work when it starts; an activated
    // window would also select an input method, which under Wine brings COM
    // into the process for the rest of the day.
    ::SetWindowPos(Handle(), nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    platform_->Attach(Handle());
    sessionNotifications_ = std::make_unique<SessionNotifications>(Handle());
    controller_->OnInitDialog();
    return FALSE;
}

bool CKovarentisDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_ACTIVATE_AGENT:
        controller_->OnActivateAgent();
        result = 0;
        return true;
    case CSystemTray::kCommandMessage:
        controller_->OnCommand(static_cast<Command>(wParam));
        result = 0;
        return true;
    case WindowsPlatform::kReplyMessage:
        controller_->OnReply(*WindowsPlatform::TakeReply(lParam));
        return true;
    case WindowsPlatform::kInstallerMessage:
        controller_->OnInstallerFetched(platform_->TakeInstallerFetch(lParam));
        return true;
    case kDpiChangedMessage:
        platform_->OnDpiChanged(LOWORD(wParam));
        result = 0;
        return true;
    default:
        return OnSystemMessage(message, wParam, lParam, result);
    }
}

// The session and the machine: the service hears what they mean for the
// consultant's presence.
bool CKovarentisDlg::OnSystemMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_WTSSESSION_CHANGE:
        if (const auto change = SessionChangeOf(wParam)) controller_->OnSessionChange(*change);
        return true;
    case WM_POWERBROADCAST:
        if (const auto power = PowerEventOf(wParam)) {
            *power == PowerEvent::Suspend ? controller_->OnSuspend() : controller_->OnResume();
        }
        result = TRUE;
        return true;
    // "Show animations" among others: the icon follows it at once.
    case WM_SETTINGCHANGE:
        controller_->OnMotionSettingChanged();
        return Dialog::OnMessage(message, wParam, lParam, result);
    case WM_QUERYENDSESSION:
        result = TRUE;
        return true;
    case WM_ENDSESSION:
        if (wParam) controller_->OnSessionEnding();
        return true;
    case WM_DESTROY:
        sessionNotifications_.reset();
        return Dialog::OnMessage(message, wParam, lParam, result);
    default:
        return Dialog::OnMessage(message, wParam, lParam, result);
    }
}

// Then the default processing, as for any timer.
bool CKovarentisDlg::OnTimer(UINT_PTR timerId) {
    controller_->OnTimer(static_cast<int>(timerId));
    return false;
}

// The installer's request to close: the Close item's WM_COMMAND, which the
// agents already installed understand too.
bool CKovarentisDlg::OnCommand(UINT id, UINT /*notifyCode*/, HWND /*control*/) {
    if (id != ID_CLOSE) return false;
    controller_->OnCommand(Command::Close);
    return true;
}

}  // namespace kov
