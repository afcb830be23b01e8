// The agent core's platform on Windows: everything runs on the main window's
// thread; a request runs on a worker and its reply comes back to the main
// window as a posted message, or is dropped when the window is gone.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/texts.h"
#include "core/transport.h"
#include "shell/framework/dialog.h"
#include "shell/framework/menu.h"
#include "shell/framework/window.h"
#include "shell/system_tray.h"
#include "shell/windows_platform.h"
#include "winsupport/handles.h"
#include "winsupport/wide_text.h"
// Last: its macros would rename the core's constants of the same names.
#include "shell/res/resource.h"

namespace kov::test {
namespace {

// Records the tray's shell calls instead of making them.
class RecordingTrayPlatform final : public TrayPlatform {
public:
    BOOL NotifyIcon(DWORD, const NOTIFYICONDATAW&) override { return TRUE; }
};

// A request that waits until the test lets it go, and notes its thread.
class HeldTransport final : public AgentTransport {
public:
    std::string ServiceRequest(std::string, std::string path, std::string, std::string) override {
        thread = ::GetCurrentThreadId();
        ::SetEvent(entered.Get());
        ::WaitForSingleObject(release.Get(), 10000);
        ::SetEvent(left.Get());
        return "0 " + path;
    }
    void Abort() override { ++aborts; }

    std::atomic<DWORD> thread{0};
    std::atomic<int> aborts{0};
    UniqueHandle entered{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    UniqueHandle release{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    UniqueHandle left{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
};

// Asks the host to bring the sign-in dialog forward, from another thread.
constexpr UINT kBringForwardMessage = WM_APP + 0x200;

// Stands in for the main window: takes the replies workers post, on its thread.
class HostWindow final : public Window {
public:
    explicit HostWindow(WindowsPlatform& platform) : platform_(platform) {
        RegisterWindowClass("KovarentisPlatformTestHost");
        CreateEx(0, "KovarentisPlatformTestHost", "host", WS_POPUP, RECT{0, 0, 0, 0}, nullptr, nullptr);
    }
    std::vector<ServiceAnswer> replies;
    std::vector<DWORD> replyThreads;

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        if (message == WindowsPlatform::kReplyMessage) {
            replies.push_back(*WindowsPlatform::TakeReply(lParam));
            replyThreads.push_back(::GetCurrentThreadId());
            return true;
        }
        if (message == kBringForwardMessage) {
            platform_.BringSignInDialogForward();
            return true;
        }
        return Window::OnMessage(message, wParam, lParam, result);
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

// Pumps this thread's messages until the condition holds or the time is up.
bool PumpUntil(const std::function<bool()>& condition, DWORD milliseconds) {
    const DWORD start = ::GetTickCount();
    while (!condition()) {
        if (::GetTickCount() - start >= milliseconds) return false;
        PumpFor(10);
    }
    return true;
}

class WindowsPlatformTest : public ::testing::Test {
protected:
    void SetUp() override { platform->Attach(host.Handle()); }
    void TearDown() override {
        ::SetEvent(transport->release.Get());
        platform->Detach();
    }

    void CreateTray() {
        platform->CreateTray({"tip", TrayIcon::Online, Command::OpenConsultPage});
        ASSERT_NE(platform->Tray(), nullptr);
    }
    const CSystemTray& Tray() const { return *platform->Tray(); }
    bool Checked(UINT id) const {
        return (::GetMenuState(Tray().Menus().mainMenu.Handle(), id, MF_BYCOMMAND) & MF_CHECKED) != 0;
    }

    // Before the platform, whose tray hands it the shell calls.
    RecordingTrayPlatform shell;
    std::shared_ptr<HeldTransport> transport = std::make_shared<HeldTransport>();
    std::shared_ptr<WindowsPlatform> platform =
        std::make_shared<WindowsPlatform>(transport, Texts(), std::make_shared<NoDiagnosticLog>(), shell);
    HostWindow host{*platform};
};

// The UI thread does not wait for the request: it goes on handling messages
// while the worker's request is held, and the reply arrives as a message.
TEST_F(WindowsPlatformTest, ARequestRunsOnAWorkerAndItsReplyComesBackToTheMainWindow) {
    ASSERT_TRUE(platform->StartRequest({RequestKind::Poll, 7, "http://127.0.0.1", "status"}));
    ASSERT_EQ(::WaitForSingleObject(transport->entered.Get(), 5000), WAIT_OBJECT_0);
    EXPECT_NE(transport->thread.load(), ::GetCurrentThreadId());
    PumpFor(100);
    EXPECT_TRUE(host.replies.empty());

    ::SetEvent(transport->release.Get());
    ASSERT_TRUE(PumpUntil([&] { return !host.replies.empty(); }, 5000));
    EXPECT_EQ(host.replies[0].kind, RequestKind::Poll);
    EXPECT_EQ(host.replies[0].epoch, 7u);
    EXPECT_EQ(host.replies[0].reply, "0 status");
    EXPECT_EQ(host.replyThreads[0], ::GetCurrentThreadId());
}

TEST_F(WindowsPlatformTest, AfterDetachRequestsAreAbortedAndTheirRepliesDropped) {
    ASSERT_TRUE(platform->StartRequest({RequestKind::OfflineSend, 1, "http://127.0.0.1", "offline"}));
    ASSERT_EQ(::WaitForSingleObject(transport->entered.Get(), 5000), WAIT_OBJECT_0);
    platform->Detach();
    EXPECT_EQ(transport->aborts.load(), 1);
    host.Destroy();
    ::SetEvent(transport->release.Get());
    ASSERT_EQ(::WaitForSingleObject(transport->left.Get(), 5000), WAIT_OBJECT_0);
    PumpFor(200);
    EXPECT_TRUE(host.replies.empty());

    EXPECT_FALSE(platform->StartRequest({RequestKind::Poll, 1, "http://127.0.0.1", "late"}));
    EXPECT_EQ(platform->Tray(), nullptr);
    EXPECT_EQ(platform->ShowMessageBox("never shown", kCaption, BoxKind::Warning), BoxAnswer::No);
    EXPECT_FALSE(platform->RunSignInDialog(true, "").has_value());
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

protected:
    BOOL OnInitDialog() override {
        platform_.Attach(Handle());
        platform_.EndMainDialog(2);
        return TRUE;
    }

private:
    WindowsPlatform& platform_;
};

TEST_F(WindowsPlatformTest, EndMainDialogEndsTheModalRunWithTheResult) {
    HostDialog dialog(*platform);
    EXPECT_EQ(dialog.RunModal(), 2);
}

// The sign-in dialog runs on the UI thread: a second request brings it
// forward, and confirming it hands the typed texts back.
TEST_F(WindowsPlatformTest, SignInDialogComesForwardAndReturnsTheEntry) {
    std::atomic<bool> driven{false};
    std::thread consultant([&] {
        HWND dialog = nullptr;
        for (int i = 0; i < 1000 && !dialog; ++i, ::Sleep(10)) dialog = ::FindWindowW(L"#32770", L"Kovarentis - Авторизация");
        if (!dialog) return;
        ::SendMessageW(host.Handle(), kBringForwardMessage, 0, 0);
        for (int i = 0; i < 300 && ::GetForegroundWindow() != dialog; ++i) ::Sleep(10);
        driven = ::GetForegroundWindow() == dialog && ::IsDlgButtonChecked(dialog, IDC_REMEMBER) == BST_UNCHECKED;
        ::SendMessageW(::GetDlgItem(dialog, IDC_LOGIN), WM_CHAR, L'u', 1);
        ::SendMessageW(::GetDlgItem(dialog, IDC_PASSWORD), WM_CHAR, L'p', 1);
        ::SendMessageW(::GetDlgItem(dialog, IDC_REMEMBER), BM_CLICK, 0, 0);
        ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    Window::RegisterWindowClass("KovarentisPlatformTestOther");
    Window other;
    other.CreateEx(0, "KovarentisPlatformTestOther", "other", WS_POPUP | WS_VISIBLE, RECT{0, 0, 50, 50}, nullptr,
                   nullptr);
    ::SetForegroundWindow(other.Handle());
    const std::optional<SignInEntry> entry = platform->RunSignInDialog(false, "");
    consultant.join();
    EXPECT_TRUE(driven) << "the dialog came forward, its box unticked as asked";
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->login, "u");
    EXPECT_EQ(entry->password, "p");
    EXPECT_TRUE(entry->remember);
}

}  // namespace
}  // namespace kov::test
