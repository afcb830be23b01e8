// The icon animation: timer mode on the tray's window, worker mode on its own
// thread, stopping, and replacing one animation by another.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

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

TEST_F(TrayAnimationTest, WorkerStepsEvery200MsAndChangesNothingAfterTheStop) {
    ASSERT_TRUE(tray.SetIconList(frames.data(), 4));
    EXPECT_FALSE(tray.Animate(500, 0xFFFFFFFF, TRUE)) << "no timer in worker mode";
    ASSERT_TRUE(PumpUntil([&] { return IconCalls() >= 6; }, 5000));
    EXPECT_FALSE(tray.StopAnimation());
    const auto calls = platform.TakeCalls();

    ASSERT_GE(calls.size(), 7u);
    const DWORD worker = calls.front().thread;
    EXPECT_NE(worker, ::GetCurrentThreadId());
    const std::vector<int> shown = FramesShown(calls);
    const std::vector<int> cycle{1, 2, 3, 0};
    for (std::size_t i = 0; i + 1 < calls.size(); ++i) {
        EXPECT_EQ(calls[i].thread, worker);
        EXPECT_EQ(shown[i], cycle[i % 4]) << "change " << i;
    }
    EXPECT_EQ(calls.back().record.hIcon, steady.Get()) << "the stop restores the icon";
    EXPECT_EQ(calls.back().thread, ::GetCurrentThreadId());

    const auto waits = platform.Waits();
    ASSERT_FALSE(waits.empty());
    for (const FrameWait& wait : waits) EXPECT_EQ(wait.milliseconds, 200u);
    EXPECT_EQ(waits.back().result, static_cast<DWORD>(WAIT_OBJECT_0))
        << "the stop wakes the worker instead of letting it sleep on";

    ::Sleep(500);
    EXPECT_EQ(platform.CallCount(), 0u);
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
// by a timer and back, again and again. Afterwards exactly one animation
// runs, and a worker's steps never come after the restore that ended it.
TEST_F(TrayAnimationTest, ReplacedAnimationsLeaveExactlyOneRunning) {
    ASSERT_TRUE(tray.SetIconList(frames.data(), 4));
    for (int round = 0; round < 12; ++round) {
        const BOOL byWorker = round % 2 == 0 ? TRUE : FALSE;
        tray.Animate(500, 0xFFFFFFFF, byWorker);
        tray.Animate(10, 0xFFFFFFFF, byWorker ? FALSE : TRUE);

        platform.TakeCalls();
        // Long enough for two animations to show themselves, even on a busy machine.
        PumpUntil([&] { return platform.CallCount() >= 3; }, 5000);
        PumpFor(450);
        std::set<DWORD> workerThreads;
        std::size_t timerSteps = 0;
        for (const ShellCall& call : platform.TakeCalls()) {
            if (call.thread == ::GetCurrentThreadId()) {
                ++timerSteps;
            } else {
                workerThreads.insert(call.thread);
            }
        }
        EXPECT_LE(workerThreads.size(), 1u) << "round " << round;
        EXPECT_EQ(workerThreads.empty(), byWorker == TRUE) << "round " << round << ": the later animation runs";
        EXPECT_EQ(timerSteps == 0, byWorker == FALSE) << "round " << round;
    }
    tray.StopAnimation();
    platform.TakeCalls();
    PumpFor(300);
    EXPECT_EQ(platform.CallCount(), 0u);
}

}  // namespace
}  // namespace kov::test
