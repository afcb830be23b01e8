// The icon keeps following the agent when the shell refuses an add: the
// "TaskbarCreated" broadcast while the shell still shows the icon, and a first
// add at a logon whose shell is not ready yet.
#include <gtest/gtest.h>

#include "tray_test_support.h"

namespace kov::test {
namespace {

constexpr UINT kWholeRecord = NIF_MESSAGE | NIF_ICON | NIF_TIP;

class TrayReAddTest : public ::testing::Test {
protected:
    void TearDown() override { platform.inspect = nullptr; }

    void BroadcastTaskbarCreated() {
        ::SendMessageA(tray.Handle(), ::RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    }
    void RetryTick() { ::SendMessageA(tray.Handle(), WM_TIMER, ADD_RETRY_TIMER, 0); }
    // KillTimer fails for a timer that is not set: true when the retries still run.
    bool RetriesRunning() { return ::KillTimer(tray.Handle(), ADD_RETRY_TIMER) != FALSE; }
    static std::vector<DWORD> Messages(const std::vector<ShellCall>& calls) {
        std::vector<DWORD> messages;
        for (const ShellCall& call : calls) messages.push_back(call.message);
        return messages;
    }

    FakeTrayPlatform platform;
    UniqueIcon red = MakeIcon(RGB(200, 40, 40));
    UniqueIcon blue = MakeIcon(RGB(40, 60, 200));
    CSystemTray tray{platform};
};

TEST_F(TrayReAddTest, BroadcastWhileTheIconIsShownModifiesItAndLaterChangesStillReachTheShell) {
    ASSERT_TRUE(tray.Create(WM_TRAY_NOTIFY, "count 1", red.Get(), kIconId));
    platform.TakeCalls();

    platform.addResult = FALSE;  // the shell still has the icon
    BroadcastTaskbarCreated();
    const auto calls = platform.TakeCalls();
    ASSERT_EQ(Messages(calls), (std::vector<DWORD>{NIM_ADD, NIM_MODIFY}));
    EXPECT_EQ(calls[1].record.uFlags, kWholeRecord);
    EXPECT_EQ(Text(calls[1].record.szTip), "count 1");
    EXPECT_EQ(calls[1].record.hIcon, red.Get());
    EXPECT_EQ(calls[1].record.uCallbackMessage, WM_TRAY_NOTIFY);

    ASSERT_TRUE(tray.SetTooltipText("count 2"));
    ASSERT_TRUE(tray.SetIcon(blue.Get()));
    const auto changes = platform.TakeCalls();
    ASSERT_EQ(Messages(changes), (std::vector<DWORD>{NIM_MODIFY, NIM_MODIFY}));
    EXPECT_EQ(Text(changes[0].record.szTip), "count 2");
    EXPECT_EQ(changes[1].record.hIcon, blue.Get());
    EXPECT_FALSE(RetriesRunning());
}

TEST_F(TrayReAddTest, WhenAddAndModifyAreRefusedTheIconIsDeletedAndAddedAfresh) {
    ASSERT_TRUE(tray.Create(WM_TRAY_NOTIFY, "tip", red.Get(), kIconId));
    ASSERT_TRUE(tray.SetIcon(blue.Get()));
    platform.TakeCalls();

    platform.addResult = FALSE;
    platform.modifyResult = FALSE;
    platform.inspect = [this](DWORD message, const NOTIFYICONDATAW&) {
        if (message == NIM_DELETE) platform.addResult = TRUE;
    };
    BroadcastTaskbarCreated();
    const auto calls = platform.TakeCalls();
    ASSERT_EQ(Messages(calls), (std::vector<DWORD>{NIM_ADD, NIM_MODIFY, NIM_DELETE, NIM_ADD}));
    EXPECT_EQ(calls[2].record.uID, kIconId);
    EXPECT_EQ(calls[3].record.uFlags, kWholeRecord);
    EXPECT_EQ(calls[3].record.hIcon, blue.Get());

    platform.modifyResult = TRUE;
    ASSERT_TRUE(tray.SetTooltipText("shown"));
    EXPECT_EQ(Messages(platform.TakeCalls()), (std::vector<DWORD>{NIM_MODIFY}));
}

// The timer is the real one of the tray's window: the add comes by itself.
TEST_F(TrayReAddTest, RefusedFirstAddIsRetriedWithTheChangesMadeMeanwhile) {
    platform.addResult = FALSE;
    platform.modifyResult = FALSE;
    EXPECT_FALSE(tray.Create(WM_TRAY_NOTIFY, "count 0", red.Get(), kIconId));
    ASSERT_TRUE(tray.SetTooltipText("count 3"));
    ASSERT_TRUE(tray.SetIcon(blue.Get()));
    platform.TakeCalls();

    platform.addResult = TRUE;  // the shell is ready now
    platform.modifyResult = TRUE;
    ASSERT_TRUE(PumpUntil([this] { return platform.CallCount() > 0; }, 4 * kAddRetryPeriodMs));
    const auto calls = platform.TakeCalls();
    ASSERT_EQ(Messages(calls), (std::vector<DWORD>{NIM_ADD}));
    EXPECT_EQ(calls[0].record.uFlags, kWholeRecord);
    EXPECT_EQ(Text(calls[0].record.szTip), "count 3");
    EXPECT_EQ(calls[0].record.hIcon, blue.Get());
    EXPECT_FALSE(RetriesRunning()) << "the retries go on after the icon was shown";

    ASSERT_TRUE(tray.SetTooltipText("count 4"));
    EXPECT_EQ(Messages(platform.TakeCalls()), (std::vector<DWORD>{NIM_MODIFY}));
}

TEST_F(TrayReAddTest, RetriesGoOnForFiveMinutesAndThenEnd) {
    platform.addResult = FALSE;
    platform.modifyResult = FALSE;
    EXPECT_FALSE(tray.Create(WM_TRAY_NOTIFY, "tip", red.Get(), kIconId));
    platform.TakeCalls();

    platform.clock += kAddRetrySeconds;
    RetryTick();
    EXPECT_EQ(Messages(platform.TakeCalls()),
              (std::vector<DWORD>{NIM_ADD, NIM_MODIFY, NIM_DELETE, NIM_ADD}));

    platform.clock += 1;
    platform.addResult = TRUE;
    RetryTick();
    EXPECT_EQ(platform.CallCount(), 0u);
    EXPECT_FALSE(RetriesRunning());
}

TEST_F(TrayReAddTest, RefusedBroadcastAddIsRetriedToo) {
    ASSERT_TRUE(tray.Create(WM_TRAY_NOTIFY, "tip", red.Get(), kIconId));
    platform.addResult = FALSE;
    platform.modifyResult = FALSE;
    BroadcastTaskbarCreated();
    platform.TakeCalls();

    platform.addResult = TRUE;
    RetryTick();
    EXPECT_EQ(Messages(platform.TakeCalls()), (std::vector<DWORD>{NIM_ADD}));
    EXPECT_FALSE(RetriesRunning());
}

TEST_F(TrayReAddTest, RemovedIconIsNotRetried) {
    platform.addResult = FALSE;
    EXPECT_FALSE(tray.Create(WM_TRAY_NOTIFY, "tip", red.Get(), kIconId));
    ASSERT_TRUE(tray.RemoveIcon());
    platform.TakeCalls();

    platform.addResult = TRUE;
    RetryTick();
    EXPECT_EQ(platform.CallCount(), 0u);
    EXPECT_FALSE(RetriesRunning());
}

}  // namespace
}  // namespace kov::test
