#pragma once
// The agent core's platform on Windows.
//
// Everything that touches the main window, its timers or the tray runs on
// the main window's (UI) thread: such a call is queued in call order and the
// main window is asked, by a posted message, to run the queue. So no call
// ever waits for the UI thread, a timer is armed by the thread that owns its
// window (SetTimer works for no other), and the tray (CSystemTray, with its
// menus and icons) is used by the UI thread alone: it creates it in Attach and
// destroys it in Detach.
//
// Worker threads keep this object alive after the main window is gone:
// Detach drops the queued work, and from then on the window operations do
// nothing and the modal ones return at once.
#include <windows.h>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "core/diagnostic_log.h"
#include "core/platform.h"
#include "core/texts.h"
#include "core/worker_pool.h"
#include "shell/system_tray.h"

namespace kov {

class WindowsPlatform final : public AgentPlatform {
public:
    // Posted to the main window: run the queued work.
    static constexpr UINT kRunQueuedMessage = WM_APP + 0x100;

    // Thread bodies run on these workers; the tray's menus show these texts
    // and hand its icon changes to this shell.
    WindowsPlatform(std::shared_ptr<WorkerPool> workers, Texts texts, TrayPlatform& trayShell = SystemTrayPlatform());

    // On the UI thread, once the main window exists (its WM_INITDIALOG); the
    // tray notes the shell's refusals in trayLog when there is one.
    void Attach(HWND mainWindow, std::shared_ptr<DiagnosticLog> trayLog = nullptr);
    // On the UI thread, before the main window is destroyed: drops the queued
    // work and removes the tray.
    void Detach();
    // The main window calls these for kRunQueuedMessage and a DPI change.
    void RunQueued();
    void OnDpiChanged(UINT dpi);
    // The tray while attached, else null; UI thread only.
    const CSystemTray* Tray() const { return tray_.get(); }

    void SetMainTimer(int timerId, int periodMs) override;
    void KillMainTimer(int timerId) override;
    void CreateTray(const TrayStart& start) override;
    void ShowTray(const TrayView& view) override;
    void ShowBalloon(const BalloonTip& balloon) override;
    bool IsMessageBoxOpen() override;
    CursorPos CursorPosition() override;
    std::uint32_t LastInputStamp() override;
    bool ConsultantBusy() override;
    void ShellOpen(const std::string& url) override;
    void BringSignInDialogForward() override;
    void EndMainDialog(int result) override;
    bool StartThread(std::function<void()> body) override;
    std::optional<std::string> InstallerPath() override;

    BoxAnswer ShowMessageBox(const std::string& text, const std::string& caption, BoxKind kind) override;
    std::optional<SignInEntry> RunSignInDialog(bool remember) override;
    void ShowAbout() override;
    bool DownloadToFile(const std::string& url, const std::string& path) override;
    InstallerCheck CheckInstaller(const std::string& path) override;
    void RemoveFile(const std::string& path) override;
    bool ShellOpenFile(const std::string& path) override;

private:
    using Task = std::function<void(CSystemTray& tray, HWND mainWindow)>;
    void Queue(Task task);
    // The main window while it exists, else null.
    HWND LiveMainWindow() const;

    const std::shared_ptr<WorkerPool> workers_;
    const Texts texts_;
    TrayPlatform& trayShell_;
    std::mutex mutex_;
    std::deque<Task> queue_;
    // Set in Attach and cleared in Detach, on the UI thread, under mutex_.
    std::atomic<HWND> mainWindow_{nullptr};
    // UI thread only.
    std::unique_ptr<CSystemTray> tray_;
    // The sign-in dialog while one is open (at most one at a time).
    std::atomic<HWND> signInDialog_{nullptr};
};

}  // namespace kov
