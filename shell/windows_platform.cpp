#include "shell/windows_platform.h"

#include <shellapi.h>

#include <memory>
#include <utility>

#include "core/texts.h"
#include "net/update_download.h"
#include "winsupport/wide_text.h"
#include "shell/about_dlg.h"
#include "shell/box_style.h"
#include "shell/framework/common_controls.h"
#include "shell/login_dlg.h"
#include "shell/notification_style.h"

namespace kov {
namespace {

// The sign-in dialog that publishes its window while it is open, so that a
// second request can bring it forward from another thread.
class PublishedLoginDlg final : public CLoginDlg {
public:
    explicit PublishedLoginDlg(std::atomic<HWND>& slot) : slot_(slot) {}
    ~PublishedLoginDlg() override { slot_.store(nullptr); }

protected:
    BOOL OnInitDialog() override {
        const BOOL result = CLoginDlg::OnInitDialog();
        slot_.store(Handle());
        return result;
    }

private:
    std::atomic<HWND>& slot_;
};

}  // namespace

WindowsPlatform::WindowsPlatform(std::shared_ptr<WorkerPool> workers, Texts texts, TrayPlatform& trayShell)
    : workers_(std::move(workers)), texts_(std::move(texts)), trayShell_(trayShell) {}

void WindowsPlatform::Attach(HWND mainWindow, std::shared_ptr<DiagnosticLog> trayLog) {
    tray_ = std::make_unique<CSystemTray>(texts_, trayShell_, std::move(trayLog));
    std::lock_guard<std::mutex> lock(mutex_);
    mainWindow_.store(mainWindow);
}

// The tray goes outside the lock: its end is a call to the shell.
void WindowsPlatform::Detach() {
    std::deque<Task> dropped;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        mainWindow_.store(nullptr);
        dropped.swap(queue_);
    }
    tray_.reset();
}

// One task at a time, taken under the lock and run outside it, so that a
// worker queues meanwhile without waiting, and a task that dispatches
// messages cannot run a later task before an earlier one has been taken.
void WindowsPlatform::RunQueued() {
    for (;;) {
        Task task;
        HWND mainWindow = nullptr;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            mainWindow = mainWindow_.load();
            if (queue_.empty() || !mainWindow) return;
            task = std::move(queue_.front());
            queue_.pop_front();
        }
        task(*tray_, mainWindow);
    }
}

void WindowsPlatform::Queue(Task task) {
    HWND mainWindow = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!mainWindow_.load()) return;
        queue_.push_back(std::move(task));
        // One message per batch: the run empties the queue.
        if (queue_.size() == 1) mainWindow = mainWindow_.load();
    }
    if (mainWindow) ::PostMessageA(mainWindow, kRunQueuedMessage, 0, 0);
}

void WindowsPlatform::OnDpiChanged(UINT dpi) {
    if (tray_) tray_->OnDpiChanged(dpi);
}

HWND WindowsPlatform::LiveMainWindow() const {
    const HWND mainWindow = mainWindow_.load();
    return mainWindow && ::IsWindow(mainWindow) ? mainWindow : nullptr;
}

void WindowsPlatform::SetMainTimer(int timerId, int periodMs) {
    Queue([timerId, periodMs](CSystemTray&, HWND mainWindow) {
        ::SetTimer(mainWindow, static_cast<UINT_PTR>(timerId), static_cast<UINT>(periodMs), nullptr);
    });
}

void WindowsPlatform::KillMainTimer(int timerId) {
    Queue([timerId](CSystemTray&, HWND mainWindow) { ::KillTimer(mainWindow, static_cast<UINT_PTR>(timerId)); });
}

// The icon's hidden window is created on the UI thread, which then serves it.
void WindowsPlatform::CreateTray(const TrayStart& start) {
    Queue([start](CSystemTray& tray, HWND mainWindow) { tray.Create(start, mainWindow); });
}

void WindowsPlatform::ShowTray(const TrayView& view) {
    Queue([view](CSystemTray& tray, HWND) { tray.Show(view); });
}

void WindowsPlatform::ShowBalloon(const BalloonTip& balloon) {
    Queue([balloon](CSystemTray& tray, HWND) { tray.ShowBalloon(balloon); });
}

bool WindowsPlatform::IsMessageBoxOpen() { return ::FindWindowA(nullptr, kCaption) != nullptr; }

CursorPos WindowsPlatform::CursorPosition() {
    POINT point{};
    ::GetCursorPos(&point);
    return {static_cast<std::int32_t>(point.x), static_cast<std::int32_t>(point.y)};
}

// Keys, mouse and touch alike; the tick count wraps after 49 days, which the
// core allows for.
std::uint32_t WindowsPlatform::LastInputStamp() {
    LASTINPUTINFO input{};
    input.cbSize = sizeof input;
    return ::GetLastInputInfo(&input) ? input.dwTime : 0;
}

bool WindowsPlatform::ConsultantBusy() { return ShellReportsBusy(); }

void WindowsPlatform::ShellOpen(const std::string& url) {
    ::ShellExecuteW(nullptr, L"open", WideFrom1251(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void WindowsPlatform::BringSignInDialogForward() {
    Queue([this](CSystemTray&, HWND) {
        if (const HWND dialog = signInDialog_.load()) ::SetForegroundWindow(dialog);
    });
}

void WindowsPlatform::EndMainDialog(int result) {
    Queue([result](CSystemTray&, HWND mainWindow) { ::EndDialog(mainWindow, result); });
}

bool WindowsPlatform::StartThread(std::function<void()> body) { return workers_->Run(std::move(body)); }

std::optional<std::string> WindowsPlatform::InstallerPath() { return kov::InstallerPath(); }

// A box that cannot be shown any more (the agent has closed) counts as declined.
// Its buttons are common controls under the agent's manifest.
BoxAnswer WindowsPlatform::ShowMessageBox(const std::string& text, const std::string& caption, BoxKind kind) {
    const HWND owner = LiveMainWindow();
    if (!owner) return BoxAnswer::No;
    EnsureCommonControls();
    return AnswerOf(::MessageBoxW(owner, WideFrom1251(text).c_str(), WideFrom1251(caption).c_str(), BoxStyle(kind)));
}

std::optional<SignInEntry> WindowsPlatform::RunSignInDialog(bool remember) {
    if (!LiveMainWindow()) return std::nullopt;
    PublishedLoginDlg dialog(signInDialog_);
    dialog.rememberChecked = remember ? 1 : 0;
    if (dialog.RunModal() != IDOK) return std::nullopt;
    return SignInEntry{dialog.loginText, dialog.passwordText, dialog.rememberChecked != 0};
}

void WindowsPlatform::ShowAbout() {
    CAbout about;
    about.RunModal();
}

bool WindowsPlatform::DownloadToFile(const std::string& url, const std::string& path) {
    return kov::DownloadToFile(url, path);
}

InstallerCheck WindowsPlatform::CheckInstaller(const std::string& path) {
    return CheckAgainstRunningAgent(path);
}

void WindowsPlatform::RemoveFile(const std::string& path) { kov::RemoveFile(path); }

bool WindowsPlatform::ShellOpenFile(const std::string& path) { return OpenWithShell(path); }

}  // namespace kov
