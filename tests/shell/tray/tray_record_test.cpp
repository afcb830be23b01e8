// What the tray hands to the shell after each operation, and what each
// operation returns in each state of the icon.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tray_test_support.h"

namespace kov::test {
namespace {

class TrayRecordTest : public ::testing::Test {
protected:
    CSystemTray& Tray() {
        if (!tray_) tray_ = std::make_unique<CSystemTray>(platform);
        return *tray_;
    }
    BOOL CreateShown(const char* tooltip = "Kovarentis : offline") {
        return Tray().Create(WM_TRAY_NOTIFY, tooltip, red.Get(), kIconId);
    }
    ShellCall OnlyCall() {
        auto calls = platform.TakeCalls();
        EXPECT_EQ(calls.size(), 1u);
        return calls.empty() ? ShellCall{} : calls.front();
    }

    FakeTrayPlatform platform;
    UniqueIcon red = MakeIcon(RGB(200, 40, 40));
    UniqueIcon blue = MakeIcon(RGB(40, 60, 200));

private:
    std::unique_ptr<CSystemTray> tray_;
};

TEST_F(TrayRecordTest, CreateAddsTheIconWithTheWholeRecord) {
    ASSERT_TRUE(CreateShown("Kovarentis : offline"));
    const ShellCall add = OnlyCall();
    EXPECT_EQ(add.message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(add.record.cbSize, kTrayRecordSize);
    EXPECT_EQ(add.record.hWnd, Tray().Handle());
    EXPECT_EQ(add.record.uID, kIconId);
    EXPECT_EQ(add.record.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(add.record.uCallbackMessage, WM_TRAY_NOTIFY);
    EXPECT_EQ(add.record.hIcon, red.Get());
    EXPECT_EQ(Text(add.record.szTip), "Kovarentis : offline");
    EXPECT_EQ(Text(add.record.szInfo), "");
    EXPECT_EQ(Tray().GetIcon(), red.Get());
}

TEST_F(TrayRecordTest, HiddenWindowIsAnUnownedEmptyPopupOfThisThread) {
    ASSERT_TRUE(CreateShown());
    const HWND hwnd = Tray().Handle();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(::GetWindowLongA(hwnd, GWL_STYLE) & ~WS_CLIPSIBLINGS, static_cast<LONG>(WS_POPUP));
    EXPECT_EQ(::GetWindowLongA(hwnd, GWL_EXSTYLE), 0);
    EXPECT_FALSE(::IsWindowVisible(hwnd));
    EXPECT_EQ(::GetWindow(hwnd, GW_OWNER), nullptr);
    RECT bounds{};
    ::GetWindowRect(hwnd, &bounds);
    EXPECT_EQ(bounds.right - bounds.left, 0);
    EXPECT_EQ(bounds.bottom - bounds.top, 0);
    EXPECT_EQ(::GetWindowTextLengthA(hwnd), 0);
    EXPECT_EQ(::GetWindowThreadProcessId(hwnd, nullptr), ::GetCurrentThreadId());
    EXPECT_EQ(::GetClassLongPtrA(hwnd, GCL_STYLE), 0u);
    EXPECT_EQ(::GetClassLongPtrA(hwnd, GCLP_HCURSOR), 0u);
    EXPECT_EQ(::GetClassLongPtrA(hwnd, GCLP_HBRBACKGROUND), 0u);
    EXPECT_EQ(::GetClassLongPtrA(hwnd, GCLP_HICON), 0u);
}

TEST_F(TrayRecordTest, TooltipsAreCutTo127CharactersAndLeaveNoTail) {
    const std::string longTip(200, 'x');
    ASSERT_TRUE(CreateShown(longTip.c_str()));
    EXPECT_EQ(Text(OnlyCall().record.szTip), std::string(127, 'x'));

    ASSERT_TRUE(Tray().SetTooltipText(std::string(127, 'y').append("z").c_str()));
    ShellCall call = OnlyCall();
    EXPECT_EQ(call.message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(call.record.uFlags, static_cast<UINT>(NIF_TIP));
    EXPECT_EQ(Text(call.record.szTip), std::string(127, 'y'));

    ASSERT_TRUE(Tray().SetTooltipText("short"));
    call = OnlyCall();
    EXPECT_EQ(Text(call.record.szTip), "short");
    for (std::size_t i = 5; i < std::size(call.record.szTip); ++i) {
        ASSERT_EQ(call.record.szTip[i], L'\0') << "character " << i;
    }
}

// The record is UTF-16 whatever the system's ANSI code page: the agent's
// Windows-1251 texts arrive as the Russian letters they stand for.
TEST_F(TrayRecordTest, Windows1251TextsReachTheShellAsTheirLetters) {
    const char online[] = "Kovarentis : \xCE\xED\xEB\xE0\xE9\xED";  // "Онлайн"
    ASSERT_TRUE(CreateShown(online));
    EXPECT_STREQ(OnlyCall().record.szTip, L"Kovarentis : Онлайн");

    const std::string yaLetters(200, '\xFF');  // "я"
    ASSERT_TRUE(Tray().SetTooltipText(yaLetters.c_str()));
    EXPECT_EQ(std::wstring(OnlyCall().record.szTip), std::wstring(127, L'я'));

    ASSERT_TRUE(Tray().ShowBalloon("\xCE\xF8\xE8\xE1\xEA\xE0", "\xA8\xB8", NIIF_WARNING, 10));
    const ShellCall balloon = OnlyCall();
    EXPECT_STREQ(balloon.record.szInfo, L"Ошибка");
    EXPECT_STREQ(balloon.record.szInfoTitle, L"Ёё");
}

TEST_F(TrayRecordTest, BalloonGivenToCreateIsShownOnceWithTheAdd) {
    const std::string text(300, 't');
    const std::string title(100, 'T');
    ASSERT_TRUE(Tray().Create(WM_TRAY_NOTIFY, "tip", red.Get(), kIconId, text.c_str(),
                              title.c_str(), NIIF_WARNING, 10));
    const ShellCall add = OnlyCall();
    EXPECT_EQ(add.record.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO));
    EXPECT_EQ(Text(add.record.szInfo), std::string(255, 't'));
    EXPECT_EQ(Text(add.record.szInfoTitle), std::string(63, 'T'));
    EXPECT_EQ(add.record.uTimeout, 10000u);
    EXPECT_EQ(add.record.dwInfoFlags, static_cast<DWORD>(NIIF_WARNING));

    ASSERT_TRUE(Tray().SetIcon(blue.Get()));
    const ShellCall next = OnlyCall();
    EXPECT_EQ(next.record.uFlags, static_cast<UINT>(NIF_ICON));
    EXPECT_EQ(Text(next.record.szInfo), "");
}

TEST_F(TrayRecordTest, ShowBalloonSendsOnlyTheBalloonAndClearsItsText) {
    ASSERT_TRUE(CreateShown());
    platform.TakeCalls();

    const std::string text(256, 'b');
    ASSERT_TRUE(Tray().ShowBalloon(text.c_str(), "Kovarentis ", NIIF_WARNING, 10));
    ShellCall balloon = OnlyCall();
    EXPECT_EQ(balloon.message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(balloon.record.uFlags, static_cast<UINT>(NIF_INFO));
    EXPECT_EQ(Text(balloon.record.szInfo), std::string(255, 'b'));
    EXPECT_EQ(Text(balloon.record.szInfoTitle), "Kovarentis ");
    EXPECT_EQ(balloon.record.dwInfoFlags, static_cast<DWORD>(NIIF_WARNING));
    EXPECT_EQ(balloon.record.uTimeout, 10000u);

    ASSERT_TRUE(Tray().ShowBalloon("no title", nullptr, NIIF_INFO, 3));
    balloon = OnlyCall();
    EXPECT_EQ(Text(balloon.record.szInfoTitle), "");
    EXPECT_EQ(balloon.record.uTimeout, 3000u);

    ASSERT_TRUE(Tray().SetTooltipText("after"));
    EXPECT_EQ(Text(OnlyCall().record.szInfo), "");

    platform.modifyResult = FALSE;
    EXPECT_FALSE(Tray().ShowBalloon("refused", nullptr, NIIF_WARNING, 10));
}

TEST_F(TrayRecordTest, WithoutBalloonsNoBalloonReachesTheShell) {
    platform.win2k = false;
    ASSERT_TRUE(Tray().Create(WM_TRAY_NOTIFY, "tip", red.Get(), kIconId, "first balloon",
                              "title", NIIF_WARNING, 10));
    const ShellCall add = OnlyCall();
    EXPECT_EQ(add.record.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(Text(add.record.szInfo), "");

    EXPECT_FALSE(Tray().ShowBalloon("text", "title", NIIF_WARNING, 10));
    EXPECT_EQ(platform.CallCount(), 0u);
    EXPECT_TRUE(Tray().SetTooltipText("tooltip still works"));
}

TEST_F(TrayRecordTest, SetIconSendsOnlyTheIconAndReturnsTheShellsAnswer) {
    ASSERT_TRUE(CreateShown());
    platform.TakeCalls();

    ASSERT_TRUE(Tray().SetIcon(blue.Get()));
    const ShellCall call = OnlyCall();
    EXPECT_EQ(call.message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(call.record.uFlags, static_cast<UINT>(NIF_ICON));
    EXPECT_EQ(call.record.hIcon, blue.Get());
    EXPECT_EQ(Tray().GetIcon(), blue.Get());

    platform.modifyResult = FALSE;
    EXPECT_FALSE(Tray().SetIcon(red.Get()));
    EXPECT_FALSE(Tray().SetTooltipText("refused"));
}

TEST_F(TrayRecordTest, IconResourcesLoadAndStayAliveWhileCurrent) {
    ASSERT_TRUE(CreateShown());
    platform.TakeCalls();

    ASSERT_TRUE(Tray().SetIcon(kRedIconResource));
    const ShellCall call = OnlyCall();
    const HICON loaded = Tray().GetIcon();
    EXPECT_EQ(call.record.hIcon, loaded);
    EXPECT_TRUE(call.iconAlive);
    EXPECT_TRUE(IsLiveIcon(loaded));

    ASSERT_TRUE(Tray().SetIcon(kBlueIconResource));
    const HICON second = Tray().GetIcon();
    EXPECT_TRUE(IsLiveIcon(second));
    EXPECT_FALSE(IsLiveIcon(loaded)) << "a replaced loaded icon is released";

    ASSERT_TRUE(Tray().SetIcon(blue.Get()));
    EXPECT_FALSE(IsLiveIcon(second));
}

TEST_F(TrayRecordTest, MissingIconResourceChangesNothing) {
    ASSERT_TRUE(CreateShown());
    platform.TakeCalls();
    EXPECT_FALSE(Tray().SetIcon(299u));
    EXPECT_EQ(platform.CallCount(), 0u);
    EXPECT_EQ(Tray().GetIcon(), red.Get());
}

TEST_F(TrayRecordTest, ConstructedTrayDoesNothingButRemoveAndBalloon) {
    EXPECT_FALSE(Tray().SetIcon(blue.Get()));
    EXPECT_FALSE(Tray().SetIcon(kRedIconResource));
    EXPECT_FALSE(Tray().SetTooltipText("tip"));
    EXPECT_EQ(Tray().GetIcon(), nullptr);
    EXPECT_TRUE(Tray().RemoveIcon());
    EXPECT_FALSE(Tray().StopAnimation());
    EXPECT_EQ(platform.CallCount(), 0u);

    // The balloon does not look at the state: the shell refuses it.
    platform.modifyResult = FALSE;
    EXPECT_FALSE(Tray().ShowBalloon("text", nullptr, NIIF_WARNING, 10));
    EXPECT_EQ(OnlyCall().message, static_cast<DWORD>(NIM_MODIFY));
}

TEST_F(TrayRecordTest, UnsupportedWindowsLeavesTheTrayInert) {
    platform.majorVersion = 3;
    EXPECT_FALSE(CreateShown());
    EXPECT_EQ(Tray().Handle(), nullptr);
    EXPECT_FALSE(Tray().SetIcon(blue.Get()));
    EXPECT_FALSE(Tray().SetTooltipText("tip"));
    EXPECT_EQ(Tray().GetIcon(), nullptr);
    EXPECT_TRUE(Tray().RemoveIcon());
    EXPECT_EQ(platform.CallCount(), 0u);
}

TEST_F(TrayRecordTest, AfterAFailedAddOnlyTheRecordChanges) {
    platform.addResult = FALSE;
    EXPECT_FALSE(CreateShown());
    EXPECT_EQ(OnlyCall().message, static_cast<DWORD>(NIM_ADD));

    EXPECT_TRUE(Tray().SetIcon(blue.Get()));
    EXPECT_TRUE(Tray().SetTooltipText("kept in the record"));
    EXPECT_EQ(platform.CallCount(), 0u);
    EXPECT_EQ(Tray().GetIcon(), blue.Get());

    platform.modifyResult = FALSE;
    EXPECT_FALSE(Tray().ShowBalloon("balloon", nullptr, NIIF_WARNING, 10));
    const ShellCall balloon = OnlyCall();
    EXPECT_EQ(Text(balloon.record.szTip), "kept in the record");
    EXPECT_EQ(balloon.record.hIcon, blue.Get());

    EXPECT_TRUE(Tray().RemoveIcon());
    EXPECT_EQ(platform.CallCount(), 0u);
}

TEST_F(TrayRecordTest, RemovedIconIsDeletedOnceAndNotTouchedAgain) {
    ASSERT_TRUE(CreateShown());
    platform.TakeCalls();

    ASSERT_TRUE(Tray().RemoveIcon());
    const ShellCall remove = OnlyCall();
    EXPECT_EQ(remove.message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(remove.record.uFlags, 0u);
    EXPECT_EQ(remove.record.uID, kIconId);
    EXPECT_EQ(remove.record.hWnd, Tray().Handle());

    EXPECT_TRUE(Tray().RemoveIcon());
    EXPECT_TRUE(Tray().SetIcon(blue.Get()));
    EXPECT_TRUE(Tray().SetTooltipText("hidden"));
    EXPECT_EQ(platform.CallCount(), 0u);
}

TEST_F(TrayRecordTest, FailedDeleteLeavesTheIconShown) {
    ASSERT_TRUE(CreateShown());
    platform.deleteResult = FALSE;
    EXPECT_FALSE(Tray().RemoveIcon());
    platform.TakeCalls();
    EXPECT_TRUE(Tray().SetTooltipText("still shown"));
    EXPECT_EQ(OnlyCall().message, static_cast<DWORD>(NIM_MODIFY));
}

// The agent restates its icon and tip after every poll: what the shell
// already shows is not sent again, unless a change may not have arrived.
TEST_F(TrayRecordTest, IconAndTipAlreadyShownAreNotSentAgain) {
    ASSERT_TRUE(CreateShown("Kovarentis : online"));
    platform.TakeCalls();
    EXPECT_TRUE(Tray().SetTooltipText("Kovarentis : online"));
    EXPECT_TRUE(Tray().SetIcon(red.Get()));
    EXPECT_EQ(platform.CallCount(), 0u);

    EXPECT_TRUE(Tray().SetIcon(blue.Get()));
    EXPECT_EQ(OnlyCall().record.hIcon, blue.Get());
    EXPECT_TRUE(Tray().SetTooltipText("Kovarentis : away"));
    EXPECT_STREQ(OnlyCall().record.szTip, L"Kovarentis : away");
}

TEST_F(TrayRecordTest, AfterAFailedChangeTheSameIconAndTipAreSentAgain) {
    ASSERT_TRUE(CreateShown("Kovarentis : online"));
    platform.modifyResult = FALSE;
    EXPECT_FALSE(Tray().SetIcon(blue.Get()));
    platform.modifyResult = TRUE;
    platform.TakeCalls();
    EXPECT_TRUE(Tray().SetIcon(blue.Get()));
    EXPECT_EQ(OnlyCall().record.hIcon, blue.Get());
    EXPECT_TRUE(Tray().SetTooltipText("Kovarentis : online"));
    EXPECT_STREQ(OnlyCall().record.szTip, L"Kovarentis : online");
}

TEST_F(TrayRecordTest, DestructionRemovesTheIconAndItsWindow) {
    ASSERT_TRUE(CreateShown());
    const HWND hwnd = Tray().Handle();
    platform.TakeCalls();
    HWND otherWindow = nullptr;
    {
        CSystemTray other(platform);
        ASSERT_TRUE(other.Create(WM_TRAY_NOTIFY, "other", blue.Get(), 102));
        otherWindow = other.Handle();
        platform.TakeCalls();
    }
    const ShellCall remove = OnlyCall();
    EXPECT_EQ(remove.message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(remove.record.uID, 102u);
    EXPECT_FALSE(::IsWindow(otherWindow));
    EXPECT_TRUE(::IsWindow(hwnd));
}

}  // namespace
}  // namespace kov::test
