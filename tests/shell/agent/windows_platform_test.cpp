// The agent core's platform on Windows: work asked for on any thread runs on
// the main window's thread, in call order, without the caller waiting (the
// tray's views among it, so the tray is used on that thread alone); once the
// main window is gone nothing runs and the modal operations return.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/texts.h"
#include "shell/framework/menu.h"
#include "shell/framework/window.h"
#include "shell/system_tray.h"
#include "winsupport/wide_text.h"
#include "shell/windows_platform.h"
// Last: its macros would rename the core's constants of the same names.
#include "shell/res/resource.h"

namespace kov::test {
namespace {

struct ShellCall {
    DWORD message;
    UINT flags;
    std::string tip;
    DWORD thread;
};

// Records the tray's shell calls instead of making them.
class RecordingTrayPlatform final : public TrayPlatform {
public:
    BOOL NotifyIcon(DWORD message, const NOTIFYICONDATAW& record) override {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back({message, record.uFlags, NarrowTo1251(record.szTip).value_or("?"), ::GetCurrentThreadId()});
        return TRUE;
    }
    std::vector<ShellCall> Calls() {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }

private:
    std::mutex mutex_;
    std::vector<ShellCall> calls_;
};

// Stands in for the main window: runs the platform's queue and records its
// timers.
class HostWindow final : public Window {
public:
    explicit HostWindow(WindowsPlatform& platform) : platform_(platform) {
        RegisterWindowClass("KovarentisPlatformTestHost");
        CreateEx(0, "KovarentisPlatformTestHost", "host", WS_POPUP, RECT{0, 0, 0, 0}, nullptr, nullptr);
    }
    std::vector<UINT_PTR> timers;

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        if (message == WindowsPlatform::kRunQueuedMessage) {
            platform_.RunQueued();
            return true;
        }
        return Window::OnMessage(message, wParam, lParam, result);
    }
    bool OnTimer(UINT_PTR timerId) override {
        timers.push_back(timerId);
        return true;
    }

private:
    WindowsPlatform& platform_;
};

void PumpFor(DWORD milliseconds) {
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < milliseconds) {
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
        ::Sleep(5);
    }
}

// Runs the calls on a new thread; true when they finished while this (the
// UI) thread handled no messages.
bool RunsWithoutTheUiThread(const std::function<void()>& calls) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        calls();
        done = true;
    });
    const DWORD start = ::GetTickCount();
    while (!done && ::GetTickCount() - start < 5000) ::Sleep(5);
    const bool finished = done;
    while (!done) PumpFor(10);  // frees a worker that waits for this thread
    worker.join();
    return finished;
}

TrayView TooltipView(const std::string& tooltip) {
    TrayView view;
    view.tooltip = tooltip;
    return view;
}

class WindowsPlatformTest : public ::testing::Test {
protected:
    void SetUp() override { platform->Attach(host.Handle()); }
    void TearDown() override { platform->Detach(); }

    void CreateTray() {
        platform->CreateTray({"tip", TrayIcon::Online, Command::OpenConsultPage});
        PumpFor(100);
        ASSERT_NE(platform->Tray(), nullptr);
    }
    const CSystemTray& Tray() const { return *platform->Tray(); }
    bool Checked(UINT id) const {
        return (::GetMenuState(Tray().Menus().mainMenu.Handle(), id, MF_BYCOMMAND) & MF_CHECKED) != 0;
    }

    // Before the platform, whose tray hands it the shell calls.
    RecordingTrayPlatform shell;
    std::shared_ptr<WindowsPlatform> platform =
        std::make_shared<WindowsPlatform>(std::make_shared<WorkerPool>(1), Texts(), shell);
    HostWindow host{*platform};
};

// A worker hands over the tray and its views: they reach the tray on the UI
// thread, which alone uses it, in call order.
TEST_F(WindowsPlatformTest, WorkerCallsRunOnTheUiThreadInCallOrder) {
    ASSERT_TRUE(RunsWithoutTheUiThread([&] {
        platform->CreateTray({"first tip", TrayIcon::Online, Command::OpenConsultPage});
        platform->ShowTray(TooltipView("second tip"));
        platform->ShowTray(TooltipView("third tip"));
        platform->SetMainTimer(7, 10);
        platform->KillMainTimer(7);
        platform->SetMainTimer(8, 10);
    }));
    EXPECT_TRUE(shell.Calls().empty()) << "nothing runs before the UI thread does";

    PumpFor(300);
    const std::vector<ShellCall> calls = shell.Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(calls[0].tip, "first tip");
    EXPECT_EQ(calls[1].tip, "second tip");
    EXPECT_EQ(calls[2].tip, "third tip");
    for (const ShellCall& call : calls) EXPECT_EQ(call.thread, ::GetCurrentThreadId());
    ASSERT_NE(Tray().Handle(), nullptr);
    EXPECT_EQ(::GetWindowThreadProcessId(Tray().Handle(), nullptr), ::GetCurrentThreadId())
        << "the tray's window belongs to the UI thread";

    ASSERT_FALSE(host.timers.empty());
    for (const UINT_PTR timer : host.timers) EXPECT_EQ(timer, 8u) << "timer 7 was killed after it was set";
}

// A view with an alert, then one without, both handed over before the UI
// thread runs: the first one's balloon still shows, before the second's tip.
TEST_F(WindowsPlatformTest, AnEarlierViewsBalloonIsShownBeforeTheLaterView) {
    CreateTray();
    TrayView rise = TooltipView("4 messages");
    rise.balloon = BalloonTip{"4 new", "Kovarentis ", BalloonKind::NewMessages, 10};
    ASSERT_TRUE(RunsWithoutTheUiThread([&] {
        platform->ShowTray(rise);
        platform->ShowTray(TooltipView("3 messages"));
    }));
    PumpFor(200);
    const std::vector<ShellCall> calls = shell.Calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[1].tip, "4 messages");
    EXPECT_EQ(calls[2].flags, static_cast<UINT>(NIF_INFO)) << "the balloon of the first view";
    EXPECT_EQ(calls[3].tip, "3 messages");
}

TEST_F(WindowsPlatformTest, MenusFollowTheViews) {
    CreateTray();
    ASSERT_NE(Tray().Menus().mainMenu.Handle(), nullptr) << "the menus are built with the tray";
    TrayView view;
    view.menu = MenuKind::SignedOut;
    view.checkedCommand = Command::StatusAway;
    platform->ShowTray(view);
    PumpFor(100);
    EXPECT_EQ(&Tray().PopupMenu(), &Tray().Menus().signedOutMenu);
    EXPECT_TRUE(Checked(301));
    EXPECT_FALSE(Checked(300));
    EXPECT_FALSE(Checked(302));

    view.menu = MenuKind::Main;
    view.checkedCommand = Command::StatusOnline;
    platform->ShowTray(view);
    view.checkedCommand.reset();
    platform->ShowTray(view);
    PumpFor(100);
    EXPECT_EQ(&Tray().PopupMenu(), &Tray().Menus().mainMenu);
    EXPECT_FALSE(Checked(301));
    EXPECT_TRUE(Checked(300)) << "a view without a check leaves the marks alone";
}

TEST_F(WindowsPlatformTest, AfterDetachNothingRunsAndModalCallsReturnAtOnce) {
    platform->CreateTray({"queued before", TrayIcon::Online, Command::OpenConsultPage});
    platform->SetMainTimer(9, 10);
    platform->Detach();
    platform->ShowTray(TooltipView("asked after"));
    PumpFor(200);
    EXPECT_TRUE(shell.Calls().empty());
    EXPECT_TRUE(host.timers.empty());
    EXPECT_EQ(platform->Tray(), nullptr);

    EXPECT_EQ(platform->ShowMessageBox("never shown", kCaption, BoxKind::Warning), BoxAnswer::No);
    EXPECT_FALSE(platform->RunSignInDialog(true).has_value());
    EXPECT_FALSE(platform->IsMessageBoxOpen());
}

TEST_F(WindowsPlatformTest, ModalCallsReturnAtOnceWhenTheMainWindowIsDestroyed) {
    host.Destroy();
    EXPECT_EQ(platform->ShowMessageBox("never shown", kCaption, BoxKind::Question), BoxAnswer::No);
    EXPECT_FALSE(platform->RunSignInDialog(true).has_value());
}

TEST_F(WindowsPlatformTest, IsMessageBoxOpenLooksForTheExactCaption) {
    EXPECT_FALSE(platform->IsMessageBoxOpen());
    Window::RegisterWindowClass("KovarentisPlatformTestBox");
    {
        Window almost;
        almost.CreateEx(0, "KovarentisPlatformTestBox", "Kovarentis", WS_POPUP, RECT{}, nullptr, nullptr);
        EXPECT_FALSE(platform->IsMessageBoxOpen()) << "the caption has a trailing blank";
    }
    {
        Window box;
        box.CreateEx(0, "KovarentisPlatformTestBox", kCaption, WS_POPUP, RECT{}, nullptr, nullptr);
        EXPECT_TRUE(platform->IsMessageBoxOpen());
    }
    EXPECT_FALSE(platform->IsMessageBoxOpen());
}

// A main window that is a modal dialog, as the agent's is.
class HostDialog final : public Dialog {
public:
    explicit HostDialog(WindowsPlatform& platform) : Dialog(IDD_ABOUT), platform_(platform) {}
    ~HostDialog() override {
        if (worker_.joinable()) worker_.join();
    }

protected:
    BOOL OnInitDialog() override {
        platform_.Attach(Handle());
        worker_ = std::thread([this] { platform_.EndMainDialog(2); });
        return TRUE;
    }
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        if (message != WindowsPlatform::kRunQueuedMessage) return Dialog::OnMessage(message, wParam, lParam, result);
        platform_.RunQueued();
        return true;
    }

private:
    WindowsPlatform& platform_;
    std::thread worker_;
};

TEST_F(WindowsPlatformTest, EndMainDialogFromAWorkerEndsTheModalRunWithTheResult) {
    HostDialog dialog(*platform);
    EXPECT_EQ(dialog.RunModal(), 2);
}

TEST_F(WindowsPlatformTest, StartThreadRunsTheBodyOnANewThread) {
    std::atomic<DWORD> thread{0};
    const HANDLE ran = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(platform->StartThread([&] {
        thread = ::GetCurrentThreadId();
        ::SetEvent(ran);
    }));
    ASSERT_EQ(::WaitForSingleObject(ran, 5000), WAIT_OBJECT_0);
    ::CloseHandle(ran);
    EXPECT_NE(thread.load(), ::GetCurrentThreadId());
}

// Pumps this thread's messages until the condition holds or the time is up.
bool PumpUntil(const std::function<bool()>& condition, DWORD milliseconds) {
    const DWORD start = ::GetTickCount();
    while (!condition()) {
        if (::GetTickCount() - start >= milliseconds) return false;
        PumpFor(10);
    }
    return true;
}

// The sign-in dialog of a poll's thread: a second request brings it forward,
// and confirming it hands the typed texts back.
TEST_F(WindowsPlatformTest, SignInDialogOnAWorkerComesForwardAndReturnsTheEntry) {
    std::optional<SignInEntry> entry;
    std::thread poll([&] { entry = platform->RunSignInDialog(false); });
    HWND dialog = nullptr;
    PumpUntil([&] { return (dialog = ::FindWindowW(L"#32770", L"Kovarentis - Авторизация")) != nullptr; },
              10000);
    if (dialog) {
        Window::RegisterWindowClass("KovarentisPlatformTestOther");
        Window other;
        other.CreateEx(0, "KovarentisPlatformTestOther", "other", WS_POPUP | WS_VISIBLE, RECT{0, 0, 50, 50},
                       nullptr, nullptr);
        ::SetForegroundWindow(other.Handle());
        EXPECT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == other.Handle(); }, 3000));
        platform->BringSignInDialogForward();
        EXPECT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == dialog; }, 3000));

        EXPECT_EQ(::IsDlgButtonChecked(dialog, IDC_REMEMBER), static_cast<UINT>(BST_UNCHECKED));
        ::SendMessageW(::GetDlgItem(dialog, IDC_LOGIN), WM_CHAR, L'u', 1);
        ::SendMessageW(::GetDlgItem(dialog, IDC_PASSWORD), WM_CHAR, L'p', 1);
        ::SendMessageW(::GetDlgItem(dialog, IDC_REMEMBER), BM_CLICK, 0, 0);
        ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    } else {
        ADD_FAILURE() << "no sign-in dialog";
    }
    poll.join();
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->login, "u");
    EXPECT_EQ(entry->password, "p");
    EXPECT_TRUE(entry->remember);
}

}  // namespace
}  // namespace kov::test
