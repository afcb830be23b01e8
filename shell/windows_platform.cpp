#include "shell/windows_platform.h"

#include <mmsystem.h>
#include <shellapi.h>

#include <memory>
#include <utility>

#include "core/texts.h"
#include "net/update_download.h"
#include "shell/about_dlg.h"
#include "shell/box_style.h"
#include "shell/framework/menu.h"
#include "shell/login_dlg.h"
#include "shell/notification_style.h"
#include "shell/res/resource.h"
#include "shell/system_tray.h"
#include "net/wide_text.h"

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

// The sound library, and the audio stack that it brings along, is loaded
// when the first sound plays rather than at start: most runs never play one.
// It stays for the process, since a sound may still be playing at the end.
WindowsPlatform::PlaySoundFunction LoadPlaySound() {
    const HMODULE winmm = ::LoadLibraryA("winmm.dll");
    if (!winmm) return nullptr;
    return reinterpret_cast<WindowsPlatform::PlaySoundFunction>(
        reinterpret_cast<void (*)()>(::GetProcAddress(winmm, "PlaySoundA")));
}

}  // namespace

void WindowsPlatform::Attach(AgentWindow& parts, HWND mainWindow) {
    std::lock_guard<std::mutex> lock(mutex_);
    parts_ = &parts;
    mainWindow_.store(mainWindow);
}

void WindowsPlatform::Detach() {
    std::deque<Task> dropped;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        parts_ = nullptr;
        mainWindow_.store(nullptr);
        dropped.swap(queue_);
    }
}

// One task at a time, taken under the lock and run outside it, so that a
// worker queues meanwhile without waiting, and a task that dispatches
// messages cannot run a later task before an earlier one has been taken.
void WindowsPlatform::RunQueued() {
    for (;;) {
        Task task;
        AgentWindow* parts = nullptr;
        HWND mainWindow = nullptr;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (queue_.empty() || !parts_) return;
            task = std::move(queue_.front());
            queue_.pop_front();
            parts = parts_;
            mainWindow = mainWindow_.load();
        }
        task(*parts, mainWindow);
    }
}

void WindowsPlatform::Queue(Task task) {
    HWND mainWindow = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!parts_) return;
        queue_.push_back(std::move(task));
        // One message per batch: the run empties the queue.
        if (queue_.size() == 1) mainWindow = mainWindow_.load();
    }
    if (mainWindow) ::PostMessageA(mainWindow, kRunQueuedMessage, 0, 0);
}

HWND WindowsPlatform::LiveMainWindow() const {
    const HWND mainWindow = mainWindow_.load();
    return mainWindow && ::IsWindow(mainWindow) ? mainWindow : nullptr;
}

void WindowsPlatform::SetMainTimer(int timerId, int periodMs) {
    Queue([timerId, periodMs](AgentWindow&, HWND mainWindow) {
        ::SetTimer(mainWindow, static_cast<UINT_PTR>(timerId), static_cast<UINT>(periodMs), nullptr);
    });
}

void WindowsPlatform::KillMainTimer(int timerId) {
    Queue([timerId](AgentWindow&, HWND mainWindow) {
        ::KillTimer(mainWindow, static_cast<UINT_PTR>(timerId));
    });
}

// The icon's hidden window is created on the UI thread, which then serves it.
void WindowsPlatform::CreateTrayIcon(const std::string& tooltip, int iconId) {
    Queue([tooltip, iconId](AgentWindow& parts, HWND mainWindow) {
        CSystemTray& tray = parts.Tray();
        tray.SetTargetWindow(mainWindow);
        tray.Create(kTrayNotifyMessage, tooltip.c_str(), parts.ResourceIcon(iconId), kTrayIconId);
    });
}

void WindowsPlatform::SetMenuDefaultItem(int commandId) {
    Queue([commandId](AgentWindow& parts, HWND) {
        parts.Tray().SetMenuDefaultItem(static_cast<UINT>(commandId), FALSE);
    });
}

void WindowsPlatform::BuildMenus() {
    Queue([](AgentWindow& parts, HWND) { parts.BuildMenus(); });
}

void WindowsPlatform::SetTooltipText(const std::string& text) {
    Queue([text](AgentWindow& parts, HWND) { parts.Tray().SetTooltipText(text.c_str()); });
}

void WindowsPlatform::SetIcon(int iconId) {
    Queue([iconId](AgentWindow& parts, HWND) { parts.Tray().SetIcon(parts.ResourceIcon(iconId)); });
}

void WindowsPlatform::SetIconList(const std::vector<int>& iconIds) {
    Queue([iconIds](AgentWindow& parts, HWND) {
        std::vector<HICON> frames;
        frames.reserve(iconIds.size());
        for (const int id : iconIds) frames.push_back(parts.ResourceIcon(id));
        parts.Tray().SetIconList(frames.data(), static_cast<UINT>(frames.size()));
    });
}

void WindowsPlatform::Animate(int periodMs, std::uint32_t durationSec, bool workerMode) {
    Queue([periodMs, durationSec, workerMode](AgentWindow& parts, HWND) {
        parts.Tray().Animate(static_cast<UINT>(periodMs), durationSec, workerMode ? TRUE : FALSE);
    });
}

void WindowsPlatform::StopAnimation() {
    Queue([](AgentWindow& parts, HWND) { parts.Tray().StopAnimation(); });
}

void WindowsPlatform::ShowBalloon(const std::string& text, const std::string& title, BalloonKind kind,
                                  int timeoutSec) {
    const BalloonStyle style = StyleOf(kind);
    Queue([text, title, style, timeoutSec](AgentWindow& parts, HWND) {
        CSystemTray& tray = parts.Tray();
        tray.SetBalloonClickCommand(style.clickCommand);
        tray.ShowBalloon(text.c_str(), title.c_str(), style.infoFlags, static_cast<UINT>(timeoutSec));
    });
}

void WindowsPlatform::SetPopupMenu(MenuKind menu) {
    Queue([menu](AgentWindow& parts, HWND) { parts.Tray().popupMenu.store(&parts.TrayMenu(menu)); });
}

// Only the signed-in menu has the status items.
void WindowsPlatform::SetMenuCheck(int commandId, bool checked) {
    Queue([commandId, checked](AgentWindow& parts, HWND) {
        parts.TrayMenu(MenuKind::Main)
            .CheckItem(static_cast<UINT>(commandId), MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
    });
}

void WindowsPlatform::PlayNewMessageSound() {
    Queue([this](AgentWindow&, HWND) {
        if (!playSound_) playSound_ = LoadPlaySound();
        if (playSound_) {
            playSound_(MAKEINTRESOURCEA(IDR_NEW_MESSAGE_SOUND), ::GetModuleHandleA(nullptr),
                       SND_RESOURCE | SND_ASYNC);
        }
    });
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
    Queue([this](AgentWindow&, HWND) {
        if (const HWND dialog = signInDialog_.load()) ::SetForegroundWindow(dialog);
    });
}

void WindowsPlatform::EndMainDialog(int result) {
    Queue([result](AgentWindow&, HWND mainWindow) { ::EndDialog(mainWindow, result); });
}

bool WindowsPlatform::StartThread(std::function<void()> body) { return workers_->Run(std::move(body)); }

std::optional<std::string> WindowsPlatform::InstallerPath() { return kov::InstallerPath(); }

// A box that cannot be shown any more (the agent has closed) counts as declined.
BoxAnswer WindowsPlatform::ShowMessageBox(const std::string& text, const std::string& caption, BoxKind kind) {
    const HWND owner = LiveMainWindow();
    if (!owner) return BoxAnswer::No;
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
