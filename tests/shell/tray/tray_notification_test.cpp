// The shell's callbacks for the icon: right click, double click, a click on a
// balloon, other mouse messages, other icons; the default menu item; a
// re-created taskbar.
#include <gtest/gtest.h>

#include <utility>

#include "tray_test_support.h"

namespace kov::test {
namespace {

constexpr UINT ID_STATUS_ONLINE = 300;
constexpr UINT ID_STATUS_AWAY = 301;
constexpr UINT ID_CLOSE = 305;
constexpr UINT ID_OPEN_CONSULT_PAGE = 1024;

// A tray whose menu-resource hook can be watched.
class WatchedTray : public CSystemTray {
public:
    using CSystemTray::CSystemTray;
    void PrepareMenu(HMENU menu) override {
        prepared.push_back(menu);
        preparedFirstItem = ::GetMenuItemID(menu, 0);
        preparedDefault = ::GetMenuDefaultItem(menu, TRUE, 0);
    }
    std::vector<HMENU> prepared;
    UINT preparedFirstItem = 0;
    UINT preparedDefault = 0;
};

class TrayNotificationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(target.Handle(), nullptr);
        ASSERT_TRUE(menu.CreatePopup());
        menu.Append(MF_OWNERDRAW, ID_STATUS_ONLINE, kOnline);
        menu.Append(MF_OWNERDRAW, ID_STATUS_AWAY, kAway);
        menu.Append(MF_SEPARATOR | MF_OWNERDRAW, 0, kEmpty);
        menu.Append(MF_OWNERDRAW, ID_CLOSE, kClose);
    }
    // A test's hook may capture its locals; the tray's destructor still calls the shell.
    void TearDown() override { platform.inspect = nullptr; }
    void CreateTray(UINT iconId = kIconId) {
        ASSERT_TRUE(tray.Create(WM_TRAY_NOTIFY, "tip", icon.Get(), iconId));
        tray.SetTargetWindow(target.Handle());
        platform.TakeCalls();
    }
    LRESULT Callback(WPARAM iconId, UINT mouseMessage) {
        return ::SendMessageA(tray.Handle(), WM_TRAY_NOTIFY, iconId, mouseMessage);
    }

    static constexpr char kOnline[] = "Online";
    static constexpr char kAway[] = "Away";
    static constexpr char kEmpty[] = "";
    static constexpr char kClose[] = "Close";

    FakeTrayPlatform platform;
    UniqueIcon icon = MakeIcon(RGB(200, 40, 40));
    TargetWindow target;
    RecordingMenu menu;
    WatchedTray tray{platform};
};

TEST_F(TrayNotificationTest, CallbackForAnotherIconIsAnsweredWithZero) {
    CreateTray();
    tray.popupMenu = &menu;
    EXPECT_EQ(Callback(kIconId + 1, WM_RBUTTONUP), 0);
    EXPECT_EQ(Callback(kIconId + 1, WM_LBUTTONDBLCLK), 0);
    PumpFor(50);
    EXPECT_EQ(target.menusShown, 0);
    EXPECT_TRUE(target.events.empty());
}

TEST_F(TrayNotificationTest, WithoutTargetWindowNothingHappens) {
    CreateTray();
    tray.SetTargetWindow(nullptr);
    tray.popupMenu = &menu;
    EXPECT_EQ(Callback(kIconId, WM_RBUTTONUP), 0);
    EXPECT_EQ(Callback(kIconId, WM_LBUTTONDBLCLK), 0);
    PumpFor(50);
    EXPECT_TRUE(target.events.empty());
}

TEST_F(TrayNotificationTest, MovesAndSingleClicksDoNothing) {
    CreateTray();
    tray.popupMenu = &menu;
    for (UINT mouse : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN}) {
        EXPECT_EQ(Callback(kIconId, mouse), 1) << mouse;
    }
    PumpFor(50);
    EXPECT_EQ(target.menusShown, 0);
    EXPECT_TRUE(target.events.empty());
}

TEST_F(TrayNotificationTest, RightClickBeforePopupMenuIsSetShowsNothing) {
    CreateTray();
    EXPECT_EQ(Callback(kIconId, WM_RBUTTONUP), 0);
    PumpFor(50);
    EXPECT_EQ(target.menusShown, 0);
    EXPECT_TRUE(target.events.empty());
    EXPECT_TRUE(tray.prepared.empty());
}

TEST_F(TrayNotificationTest, RightClickShowsThePopupMenuAtTheCursorForTheTarget) {
    CreateTray();
    tray.popupMenu = &menu;
    EXPECT_TRUE(tray.SetMenuDefaultItem(ID_STATUS_AWAY, FALSE));
    ASSERT_TRUE(::SetCursorPos(300, 200));

    EXPECT_EQ(Callback(kIconId, WM_RBUTTONUP), 1);
    ASSERT_TRUE(PumpUntil([&] { return !target.EventsOf(WM_NULL).empty(); }, 2000));

    ASSERT_EQ(target.menusShown, 1);
    EXPECT_EQ(target.menuRect.left, 300);
    EXPECT_EQ(target.menuRect.top, 200);
    EXPECT_EQ(target.events.front().message, static_cast<UINT>(WM_ENTERIDLE))
        << "WM_NULL comes after the menu";
    EXPECT_EQ(::GetForegroundWindow(), target.Handle());
    EXPECT_EQ(::GetMenuDefaultItem(menu.Handle(), FALSE, 0), ID_STATUS_AWAY);
    // The owner routed the owner-draw requests of the open menu to its object.
    EXPECT_EQ(menu.measured, (std::vector<UINT>{ID_STATUS_ONLINE, ID_STATUS_AWAY, 0, ID_CLOSE}));
    EXPECT_FALSE(menu.drawn.empty());
    EXPECT_EQ(target.TrackedMenu(), nullptr) << "the record ends with the tracking";
    EXPECT_TRUE(target.EventsOf(WM_COMMAND).empty()) << "closed without a choice";
}

TEST_F(TrayNotificationTest, ChosenItemArrivesAtTheTargetAsCommand) {
    CreateTray();
    tray.popupMenu = &menu;
    target.chooseFirstItem = true;
    EXPECT_EQ(Callback(kIconId, WM_RBUTTONUP), 1);
    ASSERT_TRUE(PumpUntil([&] { return !target.EventsOf(WM_COMMAND).empty(); }, 3000));
    EXPECT_EQ(LOWORD(target.EventsOf(WM_COMMAND).front().wParam), ID_STATUS_ONLINE);
}

TEST_F(TrayNotificationTest, RightClickFallsBackOnTheMenuResourceOfTheIconId) {
    CreateTray(kIconIdWithMenu);
    EXPECT_TRUE(tray.SetMenuDefaultItem(1, TRUE));
    EXPECT_EQ(Callback(kIconIdWithMenu, WM_RBUTTONUP), 1);
    ASSERT_TRUE(PumpUntil([&] { return !target.EventsOf(WM_NULL).empty(); }, 2000));
    EXPECT_EQ(target.menusShown, 1);
    ASSERT_EQ(tray.prepared.size(), 1u);
    EXPECT_EQ(tray.preparedFirstItem, 401u);
    EXPECT_EQ(tray.preparedDefault, 1u);
}

TEST_F(TrayNotificationTest, DoubleClickPostsTheDefaultCommandThatNoItemCarries) {
    CreateTray();
    // The agent's order: the default is set before any menu is attached.
    EXPECT_FALSE(tray.SetMenuDefaultItem(ID_OPEN_CONSULT_PAGE, FALSE));
    tray.popupMenu = &menu;

    EXPECT_EQ(Callback(kIconId, WM_LBUTTONDBLCLK), 1);
    ASSERT_TRUE(PumpUntil([&] { return !target.EventsOf(WM_COMMAND).empty(); }, 2000));
    const auto commands = target.EventsOf(WM_COMMAND);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands.front().wParam, ID_OPEN_CONSULT_PAGE);
    EXPECT_EQ(commands.front().lParam, 0);
    EXPECT_EQ(::GetForegroundWindow(), target.Handle());
    EXPECT_EQ(target.menusShown, 0);
}

TEST_F(TrayNotificationTest, DoubleClickByPositionTakesTheItemOfTheMenu) {
    CreateTray();
    tray.popupMenu = &menu;
    EXPECT_TRUE(tray.SetMenuDefaultItem(3, TRUE));
    EXPECT_EQ(Callback(kIconId, WM_LBUTTONDBLCLK), 1);
    ASSERT_TRUE(PumpUntil([&] { return !target.EventsOf(WM_COMMAND).empty(); }, 2000));
    EXPECT_EQ(target.EventsOf(WM_COMMAND).front().wParam, ID_CLOSE);
}

TEST_F(TrayNotificationTest, DoubleClickByPositionUsesTheMenuResourceWhenNoMenuIsSet) {
    CreateTray(kIconIdWithMenu);
    EXPECT_TRUE(tray.SetMenuDefaultItem(1, TRUE));
    EXPECT_EQ(Callback(kIconIdWithMenu, WM_LBUTTONDBLCLK), 1);
    ASSERT_TRUE(PumpUntil([&] { return !target.EventsOf(WM_COMMAND).empty(); }, 2000));
    EXPECT_EQ(target.EventsOf(WM_COMMAND).front().wParam, 402u);
}

TEST_F(TrayNotificationTest, DoubleClickByPositionWithoutAnyMenuPostsNothing) {
    CreateTray();
    EXPECT_EQ(Callback(kIconId, WM_LBUTTONDBLCLK), 1);
    PumpFor(100);
    EXPECT_TRUE(target.EventsOf(WM_COMMAND).empty());
}

TEST_F(TrayNotificationTest, BalloonClickPostsTheBalloonsCommandOnlyWhenItHasOne) {
    CreateTray();
    tray.popupMenu = &menu;
    EXPECT_TRUE(tray.SetMenuDefaultItem(ID_CLOSE, FALSE));
    EXPECT_EQ(Callback(kIconId, NIN_BALLOONUSERCLICK), 1) << "a balloon without a command";
    PumpFor(100);
    EXPECT_TRUE(target.EventsOf(WM_COMMAND).empty()) << "not the double click's command";

    tray.SetBalloonClickCommand(ID_OPEN_CONSULT_PAGE);
    EXPECT_EQ(Callback(kIconId + 1, NIN_BALLOONUSERCLICK), 0) << "another icon's balloon";
    EXPECT_EQ(Callback(kIconId, NIN_BALLOONTIMEOUT), 1);
    EXPECT_EQ(Callback(kIconId, NIN_BALLOONUSERCLICK), 1);
    ASSERT_TRUE(PumpUntil([&] { return !target.EventsOf(WM_COMMAND).empty(); }, 2000));
    PumpFor(50);
    const auto commands = target.EventsOf(WM_COMMAND);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands.front().wParam, ID_OPEN_CONSULT_PAGE);
    EXPECT_EQ(commands.front().lParam, 0);

    tray.SetBalloonClickCommand(0);
    EXPECT_EQ(Callback(kIconId, NIN_BALLOONUSERCLICK), 1);
    PumpFor(100);
    EXPECT_EQ(target.EventsOf(WM_COMMAND).size(), 1u);
}

TEST_F(TrayNotificationTest, DefaultItemGoesToTheAttachedMenu) {
    CreateTray();
    EXPECT_TRUE(tray.SetMenuDefaultItem(0, TRUE)) << "the values it already holds";
    tray.popupMenu = &menu;
    EXPECT_TRUE(tray.SetMenuDefaultItem(ID_CLOSE, FALSE));
    EXPECT_EQ(::GetMenuDefaultItem(menu.Handle(), FALSE, 0), ID_CLOSE);
    EXPECT_TRUE(tray.SetMenuDefaultItem(1, TRUE));
    EXPECT_EQ(::GetMenuDefaultItem(menu.Handle(), TRUE, 0), 1u);
}

// While a thread waits in the shell call, Windows hands it the messages sent
// to its windows. A callback or broadcast arriving then runs after the call,
// not inside it with the record locked (which would deadlock the UI thread).
TEST_F(TrayNotificationTest, MessagesArrivingDuringAShellCallRunAfterIt) {
    CreateTray();
    EXPECT_FALSE(tray.SetMenuDefaultItem(ID_OPEN_CONSULT_PAGE, FALSE));
    bool sent = false;
    platform.inspect = [&](DWORD, const NOTIFYICONDATAW&) {
        if (std::exchange(sent, true)) return;
        ::SendMessageA(tray.Handle(), WM_TRAY_NOTIFY, kIconId, WM_LBUTTONDBLCLK);
        ::SendMessageA(tray.Handle(), ::RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    };
    ASSERT_TRUE(tray.SetTooltipText("changed"));
    EXPECT_EQ(platform.CallCount(), 1u);

    ASSERT_TRUE(PumpUntil([&] { return !target.EventsOf(WM_COMMAND).empty(); }, 2000));
    EXPECT_EQ(target.EventsOf(WM_COMMAND).front().wParam, ID_OPEN_CONSULT_PAGE);
    const auto calls = platform.TakeCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(Text(calls[1].record.szTip), "changed");
}

TEST_F(TrayNotificationTest, TaskbarCreatedAddsTheIconAgainWithTheCurrentRecord) {
    CreateTray();
    UniqueIcon other = MakeIcon(RGB(40, 60, 200));
    ASSERT_TRUE(tray.SetTooltipText("current tooltip"));
    ASSERT_TRUE(tray.SetIcon(other.Get()));
    ASSERT_TRUE(tray.ShowBalloon("old balloon", nullptr, NIIF_WARNING, 10));
    platform.TakeCalls();

    EXPECT_EQ(::SendMessageA(tray.Handle(), ::RegisterWindowMessageA("TaskbarCreated"), 0, 0), 0);
    const auto calls = platform.TakeCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(calls[0].record.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(Text(calls[0].record.szTip), "current tooltip");
    EXPECT_EQ(calls[0].record.hIcon, other.Get());
    EXPECT_EQ(calls[0].record.uCallbackMessage, WM_TRAY_NOTIFY);
    EXPECT_EQ(calls[0].record.uID, kIconId);
    EXPECT_EQ(Text(calls[0].record.szInfo), "");
}

TEST_F(TrayNotificationTest, TaskbarCreatedShowsAnIconWhoseFirstAddFailed) {
    platform.addResult = FALSE;
    EXPECT_FALSE(tray.Create(WM_TRAY_NOTIFY, "tip", icon.Get(), kIconId));
    platform.addResult = TRUE;
    ::SendMessageA(tray.Handle(), ::RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    platform.TakeCalls();
    ASSERT_TRUE(tray.SetTooltipText("shown now"));
    const auto calls = platform.TakeCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_MODIFY));
}

TEST_F(TrayNotificationTest, RemovedIconAndWorkAreaChangesAreNotAddedAgain) {
    CreateTray();
    ::SendMessageA(tray.Handle(), WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
    EXPECT_EQ(platform.CallCount(), 0u);

    ASSERT_TRUE(tray.RemoveIcon());
    platform.TakeCalls();
    ::SendMessageA(tray.Handle(), ::RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_EQ(platform.CallCount(), 0u);
}

}  // namespace
}  // namespace kov::test
