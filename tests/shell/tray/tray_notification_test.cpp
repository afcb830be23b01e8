// The shell's callbacks for the icon: the right-click menu of the view, the
// commands that reach the owner, and callbacks that arrive while the tray's
// thread waits in a shell call.
#include <gtest/gtest.h>

#include <utility>

#include "tray_test_support.h"
// Last: its macros would rename the core's constants of the same names.
#include "shell/res/resource.h"

namespace kov::test {
namespace {

using TrayNotificationTest = TrayTest;

TEST_F(TrayNotificationTest, RightClickShowsTheViewsMenuAtTheCursorForTheOwner) {
    ASSERT_TRUE(CreateTray());
    TrayView signedIn;
    signedIn.menu = MenuKind::Main;
    tray.Show(signedIn);
    ASSERT_TRUE(::SetCursorPos(300, 200));

    Callback(WM_RBUTTONUP);
    ASSERT_TRUE(PumpUntil([&] { return owner.nulls > 0; }, 2000)) << "WM_NULL follows the menu";
    ASSERT_EQ(owner.menusShown, 1);
    EXPECT_EQ(owner.menuRect.left, 300);
    EXPECT_EQ(owner.menuRect.top, 200);
    EXPECT_EQ(&tray.PopupMenu(), &tray.Menus().mainMenu);
    EXPECT_EQ(::GetForegroundWindow(), owner.Handle());
    EXPECT_TRUE(owner.commands.empty()) << "closed without a choice";
}

// Each way reaches the owner once, as the Command itself.
TEST_F(TrayNotificationTest, MenuItemsDoubleClickAndNewMessageBalloonsPostTheirCommands) {
    ASSERT_TRUE(CreateTray("tip", Command::About));
    tray.Show(TrayView{});  // signed out: About, Sign in, Close
    owner.downsBeforeEnter = 2;
    Callback(WM_RBUTTONUP);
    Callback(WM_LBUTTONDBLCLK);
    tray.ShowBalloon({"3", "Kovarentis ", BalloonKind::NewMessages, 10});
    Callback(NIN_BALLOONUSERCLICK);
    tray.ShowBalloon({"failure", "Kovarentis ", BalloonKind::Warning, 10});
    Callback(NIN_BALLOONUSERCLICK);
    Callback(WM_LBUTTONDBLCLK, CSystemTray::kIconId + 1);
    for (const UINT other : {WM_MOUSEMOVE, WM_LBUTTONUP, WM_RBUTTONDOWN, NIN_BALLOONTIMEOUT}) Callback(other);
    PumpFor(200);
    EXPECT_EQ(owner.commands, (std::vector<Command>{Command::SignInOut, Command::About, Command::OpenConsultPage}));
}

// While the thread waits in the shell call, Windows hands it the messages
// sent to its windows. A callback or broadcast arriving then runs after the
// call, not inside it.
TEST_F(TrayNotificationTest, MessagesArrivingDuringAShellCallRunAfterIt) {
    ASSERT_TRUE(CreateTray());
    platform.TakeCalls();
    bool sent = false;
    platform.inspect = [&](DWORD, const NOTIFYICONDATAW&) {
        if (std::exchange(sent, true)) return;
        Callback(WM_LBUTTONDBLCLK);
        BroadcastTaskbarCreated();
    };
    tray.Show(SteadyView(TrayIcon::Online, "changed"));
    EXPECT_EQ(platform.CallCount(), 1u);
    EXPECT_TRUE(owner.commands.empty());

    ASSERT_TRUE(PumpUntil([&] { return !owner.commands.empty(); }, 2000));
    EXPECT_EQ(owner.commands, std::vector<Command>{Command::OpenConsultPage});
    const auto calls = platform.TakeCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(Text(calls[1].record.szTip), "changed");
}

}  // namespace
}  // namespace kov::test
