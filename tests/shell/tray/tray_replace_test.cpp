// The tray's icons replaced by the same pictures at another size (after a DPI
// change): the shell shows the new current icon at once, and the animation and
// its restore carry on with the new handles.
#include <gtest/gtest.h>

#include <map>

#include "tray_test_support.h"

namespace kov::test {
namespace {

TEST(TrayReplaceTest, CurrentIconFramesAndTheRestoredIconAreReplaced) {
    FakeTrayPlatform platform;
    UniqueIcon red = MakeIcon(RGB(200, 40, 40));
    UniqueIcon blue = MakeIcon(RGB(40, 60, 200));
    UniqueIcon green = MakeIcon(RGB(40, 200, 60));
    UniqueIcon newRed = MakeIcon(RGB(201, 40, 40));
    UniqueIcon newBlue = MakeIcon(RGB(40, 60, 201));
    UniqueIcon newGreen = MakeIcon(RGB(40, 201, 60));
    CSystemTray tray(platform);
    ASSERT_TRUE(tray.Create(WM_TRAY_NOTIFY, "tip", green.Get(), kIconId));
    const HICON frames[] = {red.Get(), blue.Get()};
    ASSERT_TRUE(tray.SetIconList(frames, 2));
    tray.Animate(100000, 0xFFFFFFFF, FALSE);  // a step only when asked for
    ASSERT_TRUE(tray.StepAnimation());        // blue shows, green is to come back
    platform.TakeCalls();

    const std::map<HICON, HICON> replacement = {
        {red.Get(), newRed.Get()}, {blue.Get(), newBlue.Get()}, {green.Get(), newGreen.Get()}};
    tray.ReplaceIcons([&](HICON old) { return replacement.at(old); });
    auto calls = platform.TakeCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(calls[0].record.hIcon, newBlue.Get());
    EXPECT_EQ(tray.GetIcon(), newBlue.Get());

    ASSERT_TRUE(tray.StepAnimation());
    EXPECT_EQ(tray.GetIcon(), newRed.Get());
    tray.StopAnimation();
    EXPECT_EQ(tray.GetIcon(), newGreen.Get()) << "the animation restored an old icon";
    for (const ShellCall& call : platform.TakeCalls()) {
        EXPECT_TRUE(call.record.hIcon == newRed.Get() || call.record.hIcon == newGreen.Get());
    }
}

}  // namespace
}  // namespace kov::test
