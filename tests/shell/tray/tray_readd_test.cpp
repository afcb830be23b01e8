// The icon keeps following the agent when the shell refuses an add: the
// "TaskbarCreated" broadcast while the shell still shows the icon, a first
// add at a logon whose shell is not ready yet, and the log lines of the
// refusals.
#include <gtest/gtest.h>

#include "core/diagnostic_lines.h"
#include "tray_test_support.h"
// Last: its macros would rename the core's constants of the same names.
#include "shell/res/resource.h"

namespace kov::test {
namespace {

class TrayReAddTest : public TrayTest {
protected:
    void RetryTick() { ::SendMessageW(tray.Handle(), WM_TIMER, kAddRetryTimer, 0); }
    // KillTimer fails for a timer that is not set: true when the retries still run.
    bool RetriesRunning() { return ::KillTimer(tray.Handle(), kAddRetryTimer) != FALSE; }
    void RefuseEverything() {
        platform.addResult = FALSE;
        platform.modifyResult = FALSE;
        platform.deleteResult = FALSE;
    }
};

TEST_F(TrayReAddTest, BroadcastWhileTheIconIsShownModifiesItAndLaterChangesStillReachTheShell) {
    ASSERT_TRUE(CreateTray("count 1"));
    platform.TakeCalls();

    platform.addResult = FALSE;  // the shell still has the icon
    BroadcastTaskbarCreated();
    const auto calls = platform.TakeCalls();
    ASSERT_EQ(Messages(calls), (std::vector<DWORD>{NIM_ADD, NIM_MODIFY}));
    EXPECT_EQ(calls[1].record.uFlags, kWholeIcon);
    EXPECT_EQ(Text(calls[1].record.szTip), "count 1");
    EXPECT_EQ(IconOf(calls[1]), IDI_ONLINE);
    EXPECT_EQ(calls[1].record.uCallbackMessage, kTrayCallback);

    tray.Show(SteadyView(TrayIcon::NewMessage, "count 2"));
    EXPECT_EQ(Messages(platform.TakeCalls()), (std::vector<DWORD>{NIM_MODIFY, NIM_MODIFY}));
    EXPECT_FALSE(RetriesRunning());
}

TEST_F(TrayReAddTest, WhenAddAndModifyAreRefusedTheIconIsDeletedAndAddedAfresh) {
    ASSERT_TRUE(CreateTray());
    tray.Show(SteadyView(TrayIcon::Away));
    platform.TakeCalls();

    platform.addResult = FALSE;
    platform.modifyResult = FALSE;
    platform.inspect = [this](DWORD message, const NOTIFYICONDATAW&) {
        if (message == NIM_DELETE) platform.addResult = TRUE;
    };
    BroadcastTaskbarCreated();
    const auto calls = platform.TakeCalls();
    ASSERT_EQ(Messages(calls), (std::vector<DWORD>{NIM_ADD, NIM_MODIFY, NIM_DELETE, NIM_ADD, NIM_SETVERSION}));
    EXPECT_EQ(calls[2].record.uID, CSystemTray::kIconId);
    EXPECT_EQ(calls[3].record.uFlags, kWholeIcon);
    EXPECT_EQ(IconOf(calls[3]), IDI_AWAY);
    EXPECT_EQ(calls[4].record.uVersion, static_cast<UINT>(NOTIFYICON_VERSION_4)) << "the shell forgot it with the icon";
    EXPECT_EQ(log->lines.back(), TrayFailureLine(TrayFailure::AddedAfresh));
}

// The timer is the real one of the tray's window: the add comes by itself.
TEST_F(TrayReAddTest, RefusedFirstAddIsRetriedWithTheChangesMadeMeanwhile) {
    RefuseEverything();
    EXPECT_FALSE(CreateTray("count 0"));
    tray.Show(SteadyView(TrayIcon::NewMessage, "count 3"));
    platform.TakeCalls();

    platform.addResult = TRUE;  // the shell is ready now
    ASSERT_TRUE(PumpUntil([this] { return platform.CallCount() > 0; }, 4 * kAddRetryPeriodMs));
    const auto calls = platform.TakeCalls();
    ASSERT_EQ(Messages(calls), (std::vector<DWORD>{NIM_ADD, NIM_SETVERSION}));
    EXPECT_EQ(calls[0].record.uFlags, kWholeIcon);
    EXPECT_EQ(Text(calls[0].record.szTip), "count 3");
    EXPECT_EQ(IconOf(calls[0]), IDI_NEW_MESSAGE);
    EXPECT_FALSE(RetriesRunning()) << "the retries go on after the icon was shown";

    platform.modifyResult = TRUE;
    tray.Show(SteadyView(TrayIcon::NewMessage, "count 4"));
    EXPECT_EQ(Messages(platform.TakeCalls()), (std::vector<DWORD>{NIM_MODIFY}));
}

TEST_F(TrayReAddTest, RefusedBroadcastAddIsRetriedToo) {
    ASSERT_TRUE(CreateTray());
    platform.addResult = FALSE;
    platform.modifyResult = FALSE;
    BroadcastTaskbarCreated();
    platform.TakeCalls();

    platform.addResult = TRUE;
    RetryTick();
    EXPECT_EQ(Messages(platform.TakeCalls()), (std::vector<DWORD>{NIM_ADD, NIM_SETVERSION}));
    EXPECT_FALSE(RetriesRunning());
}

// Within the retries each operation's refusal is logged once, with the
// Windows error; otherwise every refusal is.
TEST_F(TrayReAddTest, RetriesGoOnForFiveMinutesLoggingEachRefusedOperationOnce) {
    RefuseEverything();
    platform.refusalError = 1460;
    EXPECT_FALSE(CreateTray());
    RetryTick();
    platform.clock += kAddRetrySeconds;
    RetryTick();
    EXPECT_EQ(Messages(platform.TakeCalls()),
              (std::vector<DWORD>{NIM_ADD, NIM_ADD, NIM_MODIFY, NIM_DELETE, NIM_ADD, NIM_ADD, NIM_MODIFY,
                                  NIM_DELETE, NIM_ADD}));
    platform.clock += 1;
    RetryTick();
    EXPECT_EQ(platform.CallCount(), 0u);
    EXPECT_FALSE(RetriesRunning());
    EXPECT_EQ(log->lines, (std::vector<std::string>{
                              "tray: Shell_NotifyIcon NIM_ADD failed: Windows error 1460",
                              TrayFailureLine(TrayFailure::AddRefused),
                              "tray: Shell_NotifyIcon NIM_MODIFY failed: Windows error 1460",
                              "tray: Shell_NotifyIcon NIM_DELETE failed: Windows error 1460",
                              TrayFailureLine(TrayFailure::RetriesGivenUp),
                          }));

    platform.addResult = TRUE;
    BroadcastTaskbarCreated();
    log->lines.clear();
    tray.Show(SteadyView(TrayIcon::Online, "refused"));
    tray.Show(SteadyView(TrayIcon::Online, "refused again"));
    // After a refused tooltip the icon is in doubt too, and sent again.
    EXPECT_EQ(log->lines, std::vector<std::string>(4, "tray: Shell_NotifyIcon NIM_MODIFY failed: Windows error 1460"));
}

}  // namespace
}  // namespace kov::test
