// The shell's version-4 callbacks for the icon: the menu of the view at the
// anchor, the commands that reach the owner from the mouse and the keyboard,
// the focus given back after Esc, the menus for screen readers and high
// contrast, and callbacks that arrive while the tray's thread waits in a
// shell call.
#include <gtest/gtest.h>

#include <utility>

#include "tray_test_support.h"
// Last: its macros would rename the core's constants of the same names.
#include "shell/res/resource.h"

namespace kov::test {
namespace {

using TrayNotificationTest = TrayTest;

// The context-menu key and a right click alike: the menu at the anchor the
// shell gives, not at the pointer.
TEST_F(TrayNotificationTest, ContextMenuShowsTheViewsMenuAtTheAnchorForTheOwner) {
    ASSERT_TRUE(CreateTray());
    TrayView signedIn;
    signedIn.menu = MenuKind::Main;
    tray.Show(signedIn);
    ASSERT_TRUE(::SetCursorPos(40, 50));
    platform.TakeCalls();

    Callback(WM_CONTEXTMENU, CSystemTray::kIconId, POINT{300, 200});
    ASSERT_TRUE(PumpUntil([&] { return owner.nulls > 0; }, 2000)) << "WM_NULL follows the menu";
    ASSERT_EQ(owner.menusShown, 1);
    EXPECT_EQ(owner.menuRect.left, 300);
    EXPECT_EQ(owner.menuRect.top, 200);
    EXPECT_EQ(&tray.PopupMenu(), &tray.Menus().mainMenu);
    EXPECT_EQ(::GetForegroundWindow(), owner.Handle());
    EXPECT_TRUE(owner.commands.empty()) << "closed without a choice";
    EXPECT_EQ(platform.CallCount(), 0u) << "closed by no key: the focus stays where it went";
}

// A shell that refuses version 4 keeps the first form: the id in wParam, the
// mouse event in lParam; a right click shows the menu at the pointer, and the
// refusal is no failure to log.
TEST_F(TrayNotificationTest, WithoutVersionFourARightClickShowsTheMenuAtThePointer) {
    platform.setVersionResult = FALSE;
    ASSERT_TRUE(CreateTray());
    ASSERT_TRUE(::SetCursorPos(300, 200));
    ::SendMessageW(tray.Handle(), kTrayCallback, CSystemTray::kIconId, WM_RBUTTONUP);
    ASSERT_TRUE(PumpUntil([&] { return owner.nulls > 0; }, 2000));
    EXPECT_EQ(owner.menusShown, 1);
    EXPECT_EQ(owner.menuRect.left, 300);
    EXPECT_EQ(owner.menuRect.top, 200);
    ::SendMessageW(tray.Handle(), kTrayCallback, CSystemTray::kIconId, WM_LBUTTONDBLCLK);
    PumpFor(100);
    EXPECT_EQ(owner.commands, std::vector<Command>{Command::OpenConsultPage});
    EXPECT_TRUE(log->lines.empty());
}

TEST_F(TrayNotificationTest, EscFromTheMenuGivesTheFocusBackToTheNotificationArea) {
    ASSERT_TRUE(CreateTray());
    platform.TakeCalls();
    owner.escapes = true;
    Callback(WM_CONTEXTMENU, CSystemTray::kIconId, POINT{300, 200});
    ASSERT_TRUE(PumpUntil([&] { return owner.nulls > 0; }, 2000));
    EXPECT_TRUE(owner.commands.empty());
    const ShellCall focus = OnlyCall();
    EXPECT_EQ(focus.message, static_cast<DWORD>(NIM_SETFOCUS));
    EXPECT_EQ(focus.record.uID, CSystemTray::kIconId);
    EXPECT_EQ(focus.record.hWnd, tray.Handle());
}

// Typed while the owner-drawn menu is open, an item's access key picks it.
TEST_F(TrayNotificationTest, AccessKeyPicksItsItem) {
    ASSERT_TRUE(CreateTray());
    owner.typed = L'\x43F';  // "п", "О &программе..."
    Callback(WM_CONTEXTMENU, CSystemTray::kIconId, POINT{300, 200});
    ASSERT_TRUE(PumpUntil([&] { return !owner.commands.empty(); }, 2000));
    EXPECT_EQ(owner.commands, std::vector<Command>{Command::About});
}

// With a screen reader started since the menus were built, the menu shown is
// a plain one, and keeps the check of the status.
TEST_F(TrayNotificationTest, WithAScreenReaderTheMenuIsPlainAndKeepsItsCheck) {
    ASSERT_TRUE(CreateTray());
    TrayView signedIn;
    signedIn.menu = MenuKind::Main;
    signedIn.checkedCommand = Command::StatusAway;
    tray.Show(signedIn);
    platform.screenReader = true;
    Callback(WM_CONTEXTMENU, CSystemTray::kIconId, POINT{300, 200});
    ASSERT_TRUE(PumpUntil([&] { return owner.nulls > 0; }, 2000));
    ASSERT_EQ(owner.shownMenu, tray.Menus().mainMenu.Handle());
    MENUITEMINFOW away{};
    away.cbSize = sizeof away;
    away.fMask = MIIM_FTYPE | MIIM_STATE;
    ASSERT_TRUE(::GetMenuItemInfoW(owner.shownMenu, ID_STATUS_AWAY, FALSE, &away));
    EXPECT_EQ(away.fType & MFT_OWNERDRAW, 0u);
    EXPECT_TRUE(away.fState & MFS_CHECKED);
}

TEST_F(TrayNotificationTest, HighContrastIsReadAgainWhenTheSystemColoursChange) {
    ASSERT_TRUE(CreateTray());
    EXPECT_FALSE(tray.Menus().mainMenu.HighContrast());
    platform.highContrast = true;
    ::SendMessageW(tray.Handle(), WM_SYSCOLORCHANGE, 0, 0);
    EXPECT_TRUE(tray.Menus().mainMenu.HighContrast());
    EXPECT_TRUE(tray.Menus().signedOutMenu.HighContrast());
    platform.highContrast = false;
    ::SendMessageW(tray.Handle(), WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
    EXPECT_FALSE(tray.Menus().signedOutMenu.HighContrast());
}

// Each way reaches the owner once, as the Command itself. A single click
// (NIN_SELECT) opens nothing, as before; Enter or Space on the icon does.
TEST_F(TrayNotificationTest, MenuItemsDoubleClickKeySelectAndNewMessageBalloonsPostTheirCommands) {
    ASSERT_TRUE(CreateTray("tip", Command::About));
    tray.Show(TrayView{});  // signed out: the consultant page first
    owner.downsBeforeEnter = 1;
    Callback(WM_CONTEXTMENU);
    Callback(WM_LBUTTONDBLCLK);
    Callback(NIN_KEYSELECT);
    tray.ShowBalloon({"3", "Kovarentis ", BalloonKind::NewMessages, 10});
    Callback(NIN_BALLOONUSERCLICK);
    tray.ShowBalloon({"failure", "Kovarentis ", BalloonKind::Warning, 10});
    Callback(NIN_BALLOONUSERCLICK);
    Callback(WM_LBUTTONDBLCLK, CSystemTray::kIconId + 1);
    for (const UINT other : {WM_MOUSEMOVE, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP, NIN_SELECT, NIN_BALLOONTIMEOUT}) {
        Callback(other);
    }
    PumpFor(200);
    EXPECT_EQ(owner.menusShown, 1);
    EXPECT_EQ(owner.commands, (std::vector<Command>{Command::OpenConsultPage, Command::About, Command::OpenConsultPage,
                                                    Command::OpenConsultPage}));
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
    ASSERT_EQ(Messages(calls), (std::vector<DWORD>{NIM_MODIFY, NIM_ADD, NIM_SETVERSION}));
    EXPECT_EQ(Text(calls[1].record.szTip), "changed");
}

}  // namespace
}  // namespace kov::test
