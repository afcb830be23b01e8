#pragma once
// The agent core's platform on Windows.
//
// Everything that touches the main window, its timers, the tray icon or the
// menus runs on the main window's (UI) thread: such a call is queued in call
// order and the main window is asked, by a posted message, to run the queue.
// So no call ever waits for the UI thread, a timer is armed by the thread
// that owns its window (SetTimer works for no other), and worker threads
// never step on the tray's and the menus' window objects.
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

#include "core/platform.h"
#include "core/worker_pool.h"

namespace kov {

class CSystemTray;
class Menu;

// The main window's parts that the platform drives, on the UI thread only.
class AgentWindow {
public:
    virtual CSystemTray& Tray() = 0;
    virtual Menu& TrayMenu(MenuKind kind) = 0;
    virtual void BuildMenus() = 0;
    // An icon of the program's resources at the notification area's size,
    // valid as long as the main window.
    virtual HICON ResourceIcon(int iconId) = 0;

protected:
    ~AgentWindow() = default;
};

class WindowsPlatform final : public AgentPlatform {
public:
    // Posted to the main window: run the queued work.
    static constexpr UINT kRunQueuedMessage = WM_APP + 0x100;
    // The tray's callback message and icon id.
    static constexpr UINT kTrayNotifyMessage = 0x8001;
    static constexpr UINT kTrayIconId = 101;

    using PlaySoundFunction = BOOL(WINAPI*)(LPCSTR sound, HMODULE module, DWORD flags);

    // Thread bodies run on these workers.
    explicit WindowsPlatform(std::shared_ptr<WorkerPool> workers) : workers_(std::move(workers)) {}

    // On the UI thread, once the main window exists (its WM_INITDIALOG).
    void Attach(AgentWindow& parts, HWND mainWindow);
    // On the UI thread, before the main window's parts are destroyed.
    void Detach();
    // The main window calls it for kRunQueuedMessage.
    void RunQueued();

    void SetMainTimer(int timerId, int periodMs) override;
    void KillMainTimer(int timerId) override;
    void CreateTrayIcon(const std::string& tooltip, int iconId) override;
    void SetMenuDefaultItem(int commandId) override;
    void BuildMenus() override;
    void SetTooltipText(const std::string& text) override;
    void SetIcon(int iconId) override;
    void SetIconList(const std::vector<int>& iconIds) override;
    void Animate(int periodMs, std::uint32_t durationSec, bool workerMode) override;
    void StopAnimation() override;
    void ShowBalloon(const std::string& text, const std::string& title, BalloonKind kind,
                     int timeoutSec) override;
    void SetPopupMenu(MenuKind menu) override;
    void SetMenuCheck(int commandId, bool checked) override;
    void PlayNewMessageSound() override;
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
    using Task = std::function<void(AgentWindow& parts, HWND mainWindow)>;
    void Queue(Task task);
    // The main window while it exists, else null.
    HWND LiveMainWindow() const;

    const std::shared_ptr<WorkerPool> workers_;
    std::mutex mutex_;
    std::deque<Task> queue_;
    AgentWindow* parts_ = nullptr;  // set and cleared on the UI thread, under mutex_
    std::atomic<HWND> mainWindow_{nullptr};
    // Loaded by the first sound, on the UI thread, which alone uses it.
    PlaySoundFunction playSound_ = nullptr;
    // The sign-in dialog while one is open (at most one at a time).
    std::atomic<HWND> signInDialog_{nullptr};
};

}  // namespace kov
