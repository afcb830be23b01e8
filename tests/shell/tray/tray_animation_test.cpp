// The icon animation on the tray's window timer: the frame order, a repeated
// view that leaves it running, the pace of the view's period, the stop, and
// a DPI change in the middle of it.
#include <gtest/gtest.h>

#include "tray_test_support.h"
// Last: its macros would rename the core's constants of the same names.
#include "shell/res/resource.h"

namespace kov::test {
namespace {

class TrayAnimationTest : public TrayTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(CreateTray());
        platform.TakeCalls();
    }
    void Tick() { ::SendMessageW(tray.Handle(), WM_TIMER, ANIMATION_TIMER, 0); }
    // The icon resource of each icon change.
    std::vector<int> IconsShown() {
        std::vector<int> shown;
        for (const ShellCall& call : platform.TakeCalls()) {
            if (call.record.uFlags == NIF_ICON) shown.push_back(IconOf(call));
        }
        return shown;
    }
};

// A long period: the ticks sent here are the only ones.
TEST_F(TrayAnimationTest, TicksShowFrameOneFirstAndASteadyViewStopsThem) {
    tray.Show(AnimationView(connectingFrames, 60000));
    EXPECT_EQ(platform.CallCount(), 0u) << "the icon shown stays until the first tick";
    for (int i = 0; i < 5; ++i) Tick();
    EXPECT_EQ(IconsShown(), (std::vector<int>{IDI_CONNECTING_2, IDI_CONNECTING_3, IDI_CONNECTING_4,
                                              IDI_CONNECTING_1, IDI_CONNECTING_2}));

    tray.Show(SteadyView(TrayIcon::Away));
    EXPECT_EQ(IconsShown(), (std::vector<int>{IDI_AWAY}));
    Tick();
    EXPECT_EQ(platform.CallCount(), 0u) << "a tick after the stop steps nothing";
}

// The agent restates its view after every poll: the animation goes on at
// its pace instead of starting over from the steady icon.
TEST_F(TrayAnimationTest, ARepeatedViewLeavesItsAnimationRunning) {
    tray.Show(AnimationView(connectingFrames, 60000));
    Tick();
    Tick();
    tray.Show(AnimationView(connectingFrames, 60000));
    Tick();
    EXPECT_EQ(IconsShown(), (std::vector<int>{IDI_CONNECTING_2, IDI_CONNECTING_3, IDI_CONNECTING_4}));
}

TEST_F(TrayAnimationTest, TheWindowsTimerStepsAtTheViewsPeriodUntilTheStop) {
    tray.Show(AnimationView(connectingFrames, 10));
    std::vector<int> shown;
    ASSERT_TRUE(PumpUntil(
        [&] {
            const std::vector<int> more = IconsShown();
            shown.insert(shown.end(), more.begin(), more.end());
            return shown.size() >= 5;
        },
        3000));
    EXPECT_EQ(std::vector<int>(shown.begin(), shown.begin() + 4),
              (std::vector<int>{IDI_CONNECTING_2, IDI_CONNECTING_3, IDI_CONNECTING_4, IDI_CONNECTING_1}));

    tray.Show(SteadyView(TrayIcon::Online));
    platform.TakeCalls();
    PumpFor(100);
    EXPECT_EQ(platform.CallCount(), 0u) << "no step after the stop";
}

int IconWidth(HICON icon) {
    ICONINFO info{};
    if (!::GetIconInfo(icon, &info)) return 0;
    BITMAP bitmap{};
    ::GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    if (info.hbmColor) ::DeleteObject(info.hbmColor);
    if (info.hbmMask) ::DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

TEST_F(TrayAnimationTest, ADpiChangeShowsTheFramesAtTheNewSizeAndTheAnimationGoesOn) {
    tray.Show(AnimationView(connectingFrames, 60000));
    Tick();
    platform.TakeCalls();

    tray.OnDpiChanged(144);
    EXPECT_EQ(tray.Icons().Size(), 24);
    ShellCall call = OnlyCall();
    EXPECT_EQ(IconOf(call), IDI_CONNECTING_2) << "the frame shown, from the new set";
    EXPECT_EQ(IconWidth(call.record.hIcon), 24);

    Tick();
    call = OnlyCall();
    EXPECT_EQ(IconOf(call), IDI_CONNECTING_3);
    EXPECT_EQ(IconWidth(call.record.hIcon), 24);
}

}  // namespace
}  // namespace kov::test
