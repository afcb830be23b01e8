// The tray against Wine's real notification area.
#include <gtest/gtest.h>

#include <cwchar>
#include <memory>

#include "tray_test_support.h"

namespace kov::test {
namespace {

// A record that names the tray's icon, for calls made behind its back.
NOTIFYICONDATAW RecordOf(HWND tray, UINT flags) {
    NOTIFYICONDATAW record{};
    record.cbSize = kTrayRecordSize;
    record.hWnd = tray;
    record.uID = CSystemTray::kIconId;
    record.uFlags = flags;
    std::wcscpy(record.szTip, L"probe");
    return record;
}

bool ShellKnowsTheIcon(HWND tray) {
    NOTIFYICONDATAW probe = RecordOf(tray, NIF_TIP);
    return ::Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
}

class TrayShellTest : public ::testing::Test {
protected:
    std::shared_ptr<RecordingLog> log = std::make_shared<RecordingLog>();
    Texts texts;
    TargetWindow owner;
    std::unique_ptr<CSystemTray> tray = std::make_unique<CSystemTray>(texts, SystemTrayPlatform(), log);
};

TEST_F(TrayShellTest, TheShellAcceptsTheAddEveryChangeAndTheDelete) {
    ASSERT_TRUE(tray->Create({"Kovarentis : test", TrayIcon::Online, Command::OpenConsultPage}, owner.Handle()));
    tray->Show(SteadyView(TrayIcon::Away, "changed tooltip"));
    tray->ShowBalloon({"a balloon", "Kovarentis ", BalloonKind::Warning, 10});
    tray->Show(AnimationView(connectingFrames, 20));
    PumpFor(100);
    tray->Show(SteadyView(TrayIcon::Offline));
    tray->OnDpiChanged(144);
    EXPECT_EQ(log->lines, std::vector<std::string>{}) << "the shell refused a call";

    const HWND window = tray->Handle();
    tray.reset();
    EXPECT_FALSE(ShellKnowsTheIcon(window)) << "the icon is gone from the shell";
}

TEST_F(TrayShellTest, IconComesBackWhenTheTaskbarIsCreatedAgain) {
    ASSERT_TRUE(tray->Create({"tip", TrayIcon::Online, Command::OpenConsultPage}, owner.Handle()));
    // After a shell restart the new notification area does not know the icon.
    NOTIFYICONDATAW lost = RecordOf(tray->Handle(), 0);
    ASSERT_TRUE(::Shell_NotifyIconW(NIM_DELETE, &lost));

    ::SendMessageW(tray->Handle(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(ShellKnowsTheIcon(tray->Handle()));
}

// The shell broadcasts the message on a DPI change too, with the icon still
// there: the tray goes on treating it as shown, and removes it at its end.
TEST_F(TrayShellTest, BroadcastWhileTheIconIsShownLeavesItUnderTheTraysControl) {
    ASSERT_TRUE(tray->Create({"tip", TrayIcon::Online, Command::OpenConsultPage}, owner.Handle()));
    NOTIFYICONDATAW again = RecordOf(tray->Handle(), NIF_TIP);
    ASSERT_FALSE(::Shell_NotifyIconW(NIM_ADD, &again)) << "the shell takes a second add";

    ::SendMessageW(tray->Handle(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    const HWND window = tray->Handle();
    tray.reset();
    EXPECT_FALSE(ShellKnowsTheIcon(window)) << "the tray lost track of its icon";
}

}  // namespace
}  // namespace kov::test
