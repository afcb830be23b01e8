#pragma once
// The agent core's platform on Windows.
//
// The object, the tray, every box and dialog belong to the main window's (UI)
// thread, which alone calls it. A request, or the update's download and
// signature check, runs on a worker that holds only its own copy of the work,
// the shared requester and the main window's handle: it posts the result to
// the main window (kReplyMessage, kInstallerMessage, the result owned by
// lParam) and never touches this object. A result posted after the main
// window has gone is refused by PostMessage and freed by the worker. A verified
// installer's handle comes over with its result and stays with this object
// until the installer starts or is dropped.
#include <windows.h>

#include <memory>

#include "core/diagnostic_log.h"
#include "core/platform.h"
#include "core/texts.h"
#include "core/transport.h"
#include "shell/system_tray.h"
#include "shell/worker_pool.h"
#include "winsupport/handles.h"

namespace kov {

class CLoginDlg;

class WindowsPlatform final : public AgentPlatform {
public:
    // Posted to the main window by workers: a ServiceAnswer, an InstallerFetch.
    static constexpr UINT kReplyMessage = WM_APP + 0x100;
    static constexpr UINT kInstallerMessage = WM_APP + 0x102;

    // Requests go through `requests`, shared with the workers; failures that
    // only Windows can tell of go to `log`.
    WindowsPlatform(std::shared_ptr<AgentTransport> requests, Texts texts, std::shared_ptr<DiagnosticLog> log,
                    TrayPlatform& trayShell = SystemTrayPlatform());

    // Once the main window exists (its WM_INITDIALOG).
    void Attach(HWND mainWindow);
    // After the main window's run: no request leaves any more, the tray goes,
    // and results already posted are freed.
    void Detach();
    void OnDpiChanged(UINT dpi);
    // What a worker posts with kInstallerMessage: the result for the core, and
    // the verified installer's handle, which keeps writers out until the start.
    struct PostedInstaller {
        InstallerFetch fetch;
        UniqueFile held;
    };
    // Takes over what a worker posted with kReplyMessage or kInstallerMessage;
    // a verified installer's handle stays with this object until its start
    // (ShellOpenFile), the next fetch or Detach.
    static std::unique_ptr<ServiceAnswer> TakeReply(LPARAM posted);
    InstallerFetch TakeInstallerFetch(LPARAM posted);
    // The tray while attached, else null.
    const CSystemTray* Tray() const { return tray_.get(); }

    void SetMainTimer(int timerId, int periodMs) override;
    void KillMainTimer(int timerId) override;
    void CreateTray(const TrayStart& start) override;
    void ShowTray(const TrayView& view) override;
    void ShowBalloon(const BalloonTip& balloon) override;
    bool IsMessageBoxOpen() override;
    void CloseMessageBox(const std::string& text) override;
    std::optional<CursorPos> CursorPosition() override;
    bool ScreenSaverRunning() override;
    std::string LocalTimeText() override;
    std::uint32_t LastInputStamp() override;
    bool ConsultantBusy() override;
    bool MotionAllowed() override;
    bool TrayHidesNewIcons() override;
    bool ShowTrayMenuAtIcon() override;
    void ShellOpen(const std::string& url) override;
    void BringSignInDialogForward() override;
    void EndMainDialog(int result) override;
    BoxAnswer ShowMessageBox(const std::string& text, const std::string& caption, BoxKind kind) override;
    std::optional<SignInEntry> RunSignInDialog(bool remember, const std::string& knownLogin) override;
    void ShowAbout() override;
    bool StartRequest(const ServiceCall& call) override;
    std::optional<std::string> RequestAndWait(const ServiceCall& call, int timeoutMs) override;
    bool StartInstallerFetch(const std::string& url) override;
    bool ShellOpenFile(const std::string& path) override;

private:
    bool StartWorker(std::function<void()> work);
    // Closes the held installer's handle and deletes the file.
    void DropHeldInstaller();

    const std::shared_ptr<AgentTransport> requests_;
    const Texts texts_;
    const std::shared_ptr<DiagnosticLog> log_;
    TrayPlatform& trayShell_;
    // The threads of the polls and the Offline sends, each with its request.
    WorkerPool workers_;
    HWND mainWindow_ = nullptr;
    std::unique_ptr<CSystemTray> tray_;
    // The verified installer between its check and its start, and its path.
    UniqueFile heldInstaller_;
    std::string heldPath_;
    // The sign-in dialog while one is open (at most one at a time).
    CLoginDlg* signInDialog_ = nullptr;
};

}  // namespace kov
