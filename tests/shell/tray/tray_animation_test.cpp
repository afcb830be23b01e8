// The icon animation: timer mode on the tray's window, worker mode on the
// same timer and on a worker while the tray's thread is blocked, stopping,
// and replacing one animation by another.
#include <gtest/gtest.h>

#include <algorithm>

#include "tray_test_support.h"

namespace kov::test {
namespace {

class TrayAnimationTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (COLORREF colour : {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 0)}) {
            frameIcons.push_back(MakeIcon(colour));
            frames.push_back(frameIcons.back().Get());
        }
        ASSERT_TRUE(tray.Create(WM_TRAY_NOTIFY, "tip", steady.Get(), kIconId));
        platform.TakeCalls();
    }
    void Tick(UINT_PTR timerId = ANIMATION_TIMER) {
        ::SendMessageA(tray.Handle(), WM_TIMER, timerId, 0);
    }
    // The frame index of each icon change, or -1 for an icon that is no frame.
    std::vector<int> FramesShown(const std::vector<ShellCall>& calls) const {
        std::vector<int> shown;
        for (const ShellCall& call : calls) {
            if (call.record.uFlags != NIF_ICON) continue;
            const auto found = std::find(frames.begin(), frames.end(), call.record.hIcon);
            shown.push_back(found == frames.end() ? -1 : static_cast<int>(found - frames.begin()));
        }
        return shown;
    }
    std::size_t IconCalls() {
        std::size_t count = 0;
        for (const ShellCall& call : platform.Calls()) count += call.record.uFlags == NIF_ICON;
        return count;
    }

    FakeTrayPlatform platform;
    UniqueIcon steady = MakeIcon(RGB(128, 128, 128));
    std::vector<UniqueIcon> frameIcons;
    std::vector<HICON> frames;
    CSystemTray tray{platform};
};

TEST_F(TrayAnimationTest, TimerBlinkShowsFrameOneFirstAndRestoresTheIconWhenStopped) {
    ASSERT_TRUE(tray.SetIconList(frames.data(), 2));
    // A long period: the ticks below are the only ones.
    EXPECT_TRUE(tray.Animate(60000, 0xFFFFFFFF, FALSE));
    for (int i = 0; i < 5; ++i) Tick();
    EXPECT_EQ(FramesShown(platform.TakeCalls()), (std::vector<int>{1, 0, 1, 0, 1}));

    EXPECT_TRUE(tray.StopAnimation()) << "a timer was running";
    const auto restore = platform.TakeCalls();
    ASSERT_EQ(restore.size(), 1u);
    EXPECT_EQ(restore[0].record.hIcon, steady.Get());
    Tick();
    EXPECT_EQ(platform.CallCount(), 0u) << "the old timer's messages are ignored";
}

TEST_F(TrayAnimationTest, TimerAnimationEndsAtTheFirstTickPastItsDuration) {
    ASSERT_TRUE(tray.SetIconList(frames.data(), 2));
    const long long start = platform.clock;
    ASSERT_TRUE(tray.Animate(60000, 5, FALSE));
    platform.clock = start + 5;
    Tick();
    EXPECT_EQ(FramesShown(platform.TakeCalls()), (std::vector<int>{1}));

    platform.clock = start + 6;
    Tick();
    auto calls = platform.TakeCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].record.hIcon, steady.Get());
    Tick();
    EXPECT_EQ(platform.CallCount(), 0u);
    EXPECT_FALSE(tray.StopAnimation()) << "the timer is already gone";
    EXPECT_EQ(platform.CallCount(), 0u) << "and so is the saved icon";
}

TEST_F(TrayAnimationTest, TimerAnimationWithoutLimitIgnoresTheClock) {
    ASSERT_TRUE(tray.SetIconList(frames.data(), 2));
    const long long start = platform.clock;
    ASSERT_TRUE(tray.Animate(60000, 0, FALSE));
    platform.clock = start + 100000;
    Tick();
    ASSERT_TRUE(tray.Animate(60000, 0xFFFFFFFF, FALSE));
    platform.clock = start + 200000;
    Tick();
    EXPECT_EQ(FramesShown(platform.TakeCalls()), (std::vector<int>{1, -1, 1}))
        << "a step, the restore of the second Animate, a step";
}

TEST_F(TrayAnimationTest, ClockPutBackEndsABoundedAnimation) {
    ASSERT_TRUE(tray.SetIconList(frames.data(), 2));
    ASSERT_TRUE(tray.Animate(60000, 5, FALSE));
    platform.clock = platform.clock - 1;
    Tick();
    // No frame was shown yet: the steady icon is still up and not sent again.
    EXPECT_EQ(platform.CallCount(), 0u) << "the tick stepped the animation";
    EXPECT_EQ(tray.GetIcon(), steady.Get());
    platform.clock = platform.clock + 60;
    Tick();
    EXPECT_EQ(platform.CallCount(), 0u) << "the animation went on";
}

TEST_F(TrayAnimationTest, OtherTimersDoNotStep) {
    ASSERT_TRUE(tray.SetIconList(frames.data(), 2));
    ASSERT_TRUE(tray.Animate(60000, 0, FALSE));
    Tick(1);
    Tick(ANIMATION_TIMER + 1);
    EXPECT_EQ(platform.CallCount(), 0u);
}

TEST_F(TrayAnimationTest, RealTimerStepsOnTheTraysThreadAndNotAfterTheStop) {
    ASSERT_TRUE(tray.SetIconList(frames.data(), 4));
    ASSERT_TRUE(tray.Animate(10, 0, FALSE));
    ASSERT_TRUE(PumpUntil([&] { return IconCalls() >= 5; }, 3000));
    const auto calls = platform.TakeCalls();
    for (const ShellCall& call : calls) EXPECT_EQ(call.thread, ::GetCurrentThreadId());
    const auto shown = FramesShown(calls);
    EXPECT_EQ(std::vector<int>(shown.begin(), shown.begin() + 4), (std::vector<int>{1, 2, 3, 0}));

    EXPECT_TRUE(tray.StopAnimation());
    const auto restore = platform.TakeCalls();
    ASSERT_EQ(restore.size(), 1u);
    EXPECT_EQ(restore[0].record.hIcon, steady.Get());
    PumpFor(100);
    EXPECT_EQ(platform.CallCount(), 0u) << "no step after the stop";
}

TEST_F(TrayAnimationTest, TimerStoppedBeforeItFiresNeverSteps) {
    ASSERT_TRUE(tray.SetIconList(frames.data(), 2));
    EXPECT_TRUE(tray.Animate(10, 0, FALSE));
    EXPECT_TRUE(tray.StopAnimation());
    PumpFor(100);
    EXPECT_EQ(platform.CallCount(), 0u) << "the steady icon was never replaced, so nothing is sent";
}

TEST_F(TrayAnimationTest, WorkerModeStepsOnTheTraysThreadWhileNothingBlocksIt) {
    ASSERT_TRUE(tray.SetIconList(frames.data(), 4));
    EXPECT_TRUE(tray.Animate(500, 0xFFFFFFFF, TRUE)) << "a timer, not a thread";
    ASSERT_TRUE(PumpUntil([&] { return IconCalls() >= 5; }, 5000));
    EXPECT_TRUE(tray.StopAnimation());
    const auto calls = platform.TakeCalls();

    const std::vector<int> shown = FramesShown(calls);
    const std::vector<int> cycle{1, 2, 3, 0};
    for (std::size_t i = 0; i + 1 < calls.size(); ++i) {
        EXPECT_EQ(calls[i].thread, ::GetCurrentThreadId());
        EXPECT_EQ(shown[i], cycle[i % 4]) << "change " << i;
    }
    EXPECT_EQ(calls.back().record.hIcon, steady.Get()) << "the stop restores the icon";
    EXPECT_TRUE(platform.Waits().empty()) << "no worker paused between frames";
    PumpFor(300);
    EXPECT_EQ(platform.CallCount(), 0u);
}

// While the thread is blocked a worker steps every 200 ms from the frame the
// timer got to; afterwards the timer goes on from the worker's frame.
TEST_F(TrayAnimationTest, WorkerStepsWhileTheThreadIsBlockedAndHandsBack) {
    ASSERT_TRUE(tray.SetIconList(frames.data(), 4));
    ASSERT_TRUE(tray.Animate(500, 0xFFFFFFFF, TRUE));
    ASSERT_TRUE(PumpUntil([&] { return IconCalls() >= 1; }, 5000));
    const auto beforeCalls = platform.TakeCalls();

    tray.KeepAnimatingDuring([&] {
        const DWORD start = ::GetTickCount();
        while (IconCalls() < 4 && ::GetTickCount() - start < 5000) ::Sleep(10);
    });
    const auto duringCalls = platform.TakeCalls();
    ASSERT_TRUE(PumpUntil([&] { return IconCalls() >= 1; }, 5000));
    ASSERT_TRUE(tray.StopAnimation());
    const auto afterCalls = platform.TakeCalls();

    ASSERT_GE(duringCalls.size(), 4u);
    const DWORD worker = duringCalls.front().thread;
    EXPECT_NE(worker, ::GetCurrentThreadId());
    for (const ShellCall& call : duringCalls) EXPECT_EQ(call.thread, worker);
    ASSERT_GE(afterCalls.size(), 2u);
    for (const ShellCall& call : afterCalls) EXPECT_EQ(call.thread, ::GetCurrentThreadId());

    std::vector<int> shown = FramesShown(beforeCalls);
    for (const auto* part : {&duringCalls, &afterCalls}) {
        const std::vector<int> more = FramesShown(*part);
        shown.insert(shown.end(), more.begin(), more.end());
    }
    shown.pop_back();  // the restored icon
    for (std::size_t i = 1; i < shown.size(); ++i) {
        EXPECT_EQ(shown[i], (shown[i - 1] + 1) % 4) << "change " << i << ": one cycle across the hand-overs";
    }
    const auto waits = platform.Waits();
    ASSERT_FALSE(waits.empty());
    for (const FrameWait& wait : waits) EXPECT_EQ(wait.milliseconds, 200u);
    EXPECT_EQ(waits.back().result, static_cast<DWORD>(WAIT_OBJECT_0))
        << "the return wakes the worker instead of letting it sleep on";
}

// Only worker mode goes on while the thread is blocked; a stop or a new
// animation made by the blocking call itself stands afterwards.
TEST_F(TrayAnimationTest, BlockingCallLeavesOtherAnimationsAndItsOwnChangesAlone) {
    ASSERT_TRUE(tray.SetIconList(frames.data(), 2));
    ASSERT_TRUE(tray.Animate(10, 0xFFFFFFFF, FALSE));
    tray.KeepAnimatingDuring([] { ::Sleep(300); });
    EXPECT_EQ(platform.CallCount(), 0u) << "a timer animation waits for its thread";
    ASSERT_TRUE(PumpUntil([&] { return IconCalls() >= 2; }, 5000)) << "and goes on afterwards";

    ASSERT_TRUE(tray.Animate(500, 0xFFFFFFFF, TRUE));
    tray.KeepAnimatingDuring([&] { tray.StopAnimation(); });
    platform.TakeCalls();
    PumpFor(500);
    EXPECT_EQ(platform.CallCount(), 0u) << "the stop made during the call is not undone";

    ASSERT_TRUE(tray.Animate(500, 0xFFFFFFFF, TRUE));
    tray.KeepAnimatingDuring([&] { tray.Animate(60000, 0xFFFFFFFF, FALSE); });
    platform.TakeCalls();
    PumpFor(500);
    EXPECT_EQ(platform.CallCount(), 0u) << "the slow timer animation started during the call runs alone";
    EXPECT_TRUE(tray.StopAnimation());
}

TEST_F(TrayAnimationTest, AnimateOnAnEmptyListLeavesTheRunningAnimationAlone) {
    ASSERT_TRUE(tray.SetIconList(frames.data(), 2));
    ASSERT_TRUE(tray.Animate(60000, 0, FALSE));
    Tick();
    ASSERT_TRUE(tray.SetIconList(nullptr, 0));
    EXPECT_FALSE(tray.Animate(60000, 0, FALSE));
    EXPECT_FALSE(tray.StepAnimation());
    ASSERT_TRUE(tray.SetIconList(frames.data() + 2, 2));  // frames 2 and 3
    Tick();
    EXPECT_TRUE(tray.StopAnimation()) << "the first timer was still set";
    EXPECT_EQ(FramesShown(platform.TakeCalls()), (std::vector<int>{1, 2, -1}))
        << "a step, a step over the new list from the old index, the restore";
}

TEST_F(TrayAnimationTest, StopWithNothingRunningRestoresNothing) {
    EXPECT_FALSE(tray.StopAnimation());
    EXPECT_EQ(platform.CallCount(), 0u);
}

TEST_F(TrayAnimationTest, AnimationOverALoadedIconRestoresALiveHandle) {
    ASSERT_TRUE(tray.SetIcon(kRedIconResource));
    const HICON loaded = tray.GetIcon();
    ASSERT_TRUE(tray.SetIconList(frames.data(), 2));
    ASSERT_TRUE(tray.Animate(60000, 0, FALSE));
    Tick();
    Tick();
    EXPECT_TRUE(IsLiveIcon(loaded)) << "kept while it is the saved icon";
    ASSERT_TRUE(tray.StopAnimation());
    const auto calls = platform.TakeCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().record.hIcon, loaded);
    for (const ShellCall& call : calls) EXPECT_TRUE(call.iconAlive);

    ASSERT_TRUE(tray.SetIcon(steady.Get()));
    EXPECT_FALSE(IsLiveIcon(loaded)) << "released once neither current nor saved";
}

// The agent replaces one animation by another as its views come: a worker
// mode by a timer and back, again and again. Afterwards exactly one
// animation runs: the frames follow one cycle, with no other stepper between.
TEST_F(TrayAnimationTest, ReplacedAnimationsLeaveExactlyOneRunning) {
    ASSERT_TRUE(tray.SetIconList(frames.data(), 4));
    for (int round = 0; round < 12; ++round) {
        const BOOL laterByWorker = round % 2 == 0 ? FALSE : TRUE;
        tray.Animate(10, 0xFFFFFFFF, laterByWorker ? FALSE : TRUE);
        tray.Animate(laterByWorker ? 500 : 10, 0xFFFFFFFF, laterByWorker);

        platform.TakeCalls();
        PumpUntil([&] { return IconCalls() >= 4; }, 5000);
        const auto calls = platform.TakeCalls();
        const std::vector<int> shown = FramesShown(calls);
        ASSERT_GE(shown.size(), 4u) << "round " << round;
        for (std::size_t i = 1; i < shown.size(); ++i) {
            EXPECT_EQ(shown[i], (shown[i - 1] + 1) % 4) << "round " << round << ", change " << i;
        }
        for (const ShellCall& call : calls) EXPECT_EQ(call.thread, ::GetCurrentThreadId());
    }
    tray.StopAnimation();
    platform.TakeCalls();
    PumpFor(300);
    EXPECT_EQ(platform.CallCount(), 0u);
}

}  // namespace
}  // namespace kov::test
