// The tray against Wine's real notification area.
#include <gtest/gtest.h>

#include <cwchar>

#include "tray_test_support.h"

namespace kov::test {
namespace {

// A record that names the tray's icon, for calls made behind its back.
NOTIFYICONDATAW RecordOf(const CSystemTray& tray, UINT flags) {
    NOTIFYICONDATAW record{};
    record.cbSize = kTrayRecordSize;
    record.hWnd = tray.Handle();
    record.uID = kIconId;
    record.uFlags = flags;
    std::wcscpy(record.szTip, L"probe");
    return record;
}

TEST(TrayShellTest, TheShellAcceptsAddChangesAnimationAndDelete) {
    UniqueIcon first = MakeIcon(RGB(200, 40, 40));
    UniqueIcon second = MakeIcon(RGB(40, 60, 200));
    CSystemTray tray;
    ASSERT_TRUE(tray.Create(WM_TRAY_NOTIFY, "Kovarentis : test", first.Get(), kIconId,
                            "first balloon", "Kovarentis ", NIIF_WARNING, 10));
    EXPECT_TRUE(tray.SetTooltipText("changed tooltip"));
    EXPECT_TRUE(tray.SetIcon(second.Get()));
    EXPECT_TRUE(tray.SetIcon(kRedIconResource));
    EXPECT_TRUE(tray.ShowBalloon("a balloon", "Kovarentis ", NIIF_WARNING, 10));

    const HICON frames[] = {first.Get(), second.Get()};
    ASSERT_TRUE(tray.SetIconList(frames, 2));
    EXPECT_TRUE(tray.Animate(500, 0xFFFFFFFF, TRUE));
    tray.KeepAnimatingDuring([] { ::Sleep(450); });
    tray.StopAnimation();
    EXPECT_TRUE(tray.Animate(20, 0xFFFFFFFF, FALSE));
    PumpFor(100);
    EXPECT_TRUE(tray.StopAnimation());
    EXPECT_NE(tray.GetIcon(), nullptr);

    EXPECT_TRUE(tray.RemoveIcon());
    NOTIFYICONDATAW probe = RecordOf(tray, NIF_TIP);
    EXPECT_FALSE(::Shell_NotifyIconW(NIM_MODIFY, &probe)) << "the icon is gone from the shell";
}

TEST(TrayShellTest, IconComesBackWhenTheTaskbarIsCreatedAgain) {
    UniqueIcon icon = MakeIcon(RGB(200, 40, 40));
    CSystemTray tray;
    ASSERT_TRUE(tray.Create(WM_TRAY_NOTIFY, "tip", icon.Get(), kIconId));

    // After a shell restart the new notification area does not know the icon.
    NOTIFYICONDATAW lost = RecordOf(tray, 0);
    ASSERT_TRUE(::Shell_NotifyIconW(NIM_DELETE, &lost));
    EXPECT_FALSE(tray.SetTooltipText("lost"));

    ::SendMessageA(tray.Handle(), ::RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(tray.SetTooltipText("back"));
    EXPECT_TRUE(tray.RemoveIcon());
}

// The shell broadcasts the message on a DPI change too, with the icon still
// there: the tray goes on treating it as shown.
TEST(TrayShellTest, BroadcastWhileTheIconIsShownLeavesItUnderTheTraysControl) {
    UniqueIcon icon = MakeIcon(RGB(200, 40, 40));
    CSystemTray tray;
    ASSERT_TRUE(tray.Create(WM_TRAY_NOTIFY, "tip", icon.Get(), kIconId));
    NOTIFYICONDATAW again = RecordOf(tray, NIF_TIP);
    ASSERT_FALSE(::Shell_NotifyIconW(NIM_ADD, &again)) << "the shell takes a second add";

    ::SendMessageA(tray.Handle(), ::RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(tray.SetIcon(kBlueIconResource));
    EXPECT_TRUE(tray.RemoveIcon());
    NOTIFYICONDATAW probe = RecordOf(tray, NIF_TIP);
    EXPECT_FALSE(::Shell_NotifyIconW(NIM_MODIFY, &probe)) << "the tray lost track of its icon";
}

}  // namespace
}  // namespace kov::test
