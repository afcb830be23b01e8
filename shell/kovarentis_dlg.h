#pragma once
// The agent's hidden main window: a zero-size dialog without a taskbar button
// that lives as long as the process. It owns the agent's controller, its
// settings and its platform, and hands the controller, on its own thread,
// its timers, the tray's commands, the installer's close request, the
// second-instance message and the results that workers post back.
#include <windows.h>

#include <memory>
#include <string>

#include "core/agent_controller.h"
#include "core/settings.h"
#include "core/texts.h"
#include "net/trusted_servers.h"
#include "shell/agent_diagnostics.h"
#include "shell/framework/window.h"
#include "shell/session_events.h"
#include "shell/windows_platform.h"

namespace kov {

class CKovarentisDlg final : public Dialog {
public:
    // Loads the stored credentials from `profile`, "Params.ini" from beside
    // `executablePath` (UTF-8, "" when unknown), the texts and the icons;
    // requests remember the servers they have trusted in `trustedServers`.
    CKovarentisDlg(ProfileStore& profile, const std::string& executablePath, TrustedServers trustedServers);
    // Returns at once even while requests hang: they are abandoned.
    ~CKovarentisDlg() override;

    // The diagnostic log of this run (one that writes nothing when it is off).
    const std::shared_ptr<DiagnosticLog>& Log() const { return diagnostics_.Log(); }

protected:
    BOOL OnInitDialog() override;
    // Enter, Escape and a close request never end the main window.
    void OnOK() override {}
    void OnCancel() override {}
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    bool OnTimer(UINT_PTR timerId) override;
    bool OnSystemMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnCommand(UINT id, UINT notifyCode, HWND control) override;

private:
    AgentSettings settings_;
    // Goes last, after the end of everything that writes to it.
    AgentDiagnostics diagnostics_;
    const Texts texts_;
    const HICON windowIcon_;
    const std::shared_ptr<WindowsPlatform> platform_;
    std::unique_ptr<AgentController> controller_;
    std::unique_ptr<SessionNotifications> sessionNotifications_;
};

}  // namespace kov
