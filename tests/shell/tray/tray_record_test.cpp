// What the tray hands to the shell: a record built for each call with only
// that call's part, its texts cut to their fields, and nothing the shell
// already shows.
#include <gtest/gtest.h>

#include <string>

#include "tray_test_support.h"
// Last: its macros would rename the core's constants of the same names.
#include "shell/res/resource.h"

namespace kov::test {
namespace {

using TrayRecordTest = TrayTest;

// The add, then the version-4 callbacks asked for.
TEST_F(TrayRecordTest, CreateAddsTheWholeIconAndBuildsTheMenus) {
    ASSERT_TRUE(CreateTray("Kovarentis : offline"));
    const auto calls = platform.TakeCalls();
    ASSERT_EQ(Messages(calls), (std::vector<DWORD>{NIM_ADD, NIM_SETVERSION}));
    EXPECT_EQ(calls[1].record.uVersion, static_cast<UINT>(NOTIFYICON_VERSION_4));
    EXPECT_EQ(calls[1].record.uID, CSystemTray::kIconId);
    const ShellCall& add = calls[0];
    EXPECT_EQ(add.record.cbSize, kTrayRecordSize);
    EXPECT_EQ(add.record.hWnd, tray.Handle());
    EXPECT_EQ(add.record.uID, CSystemTray::kIconId);
    EXPECT_EQ(add.record.uFlags, kWholeIcon);
    EXPECT_EQ(add.record.uCallbackMessage, kTrayCallback);
    EXPECT_EQ(IconOf(add), IDI_ONLINE);
    EXPECT_EQ(Text(add.record.szTip), "Kovarentis : offline");
    EXPECT_EQ(::GetWindowThreadProcessId(tray.Handle(), nullptr), ::GetCurrentThreadId());
    EXPECT_NE(tray.Menus().mainMenu.Handle(), nullptr);
    EXPECT_EQ(&tray.PopupMenu(), &tray.Menus().signedOutMenu);
}

TEST_F(TrayRecordTest, EachChangeCarriesOnlyItsOwnPart) {
    ASSERT_TRUE(CreateTray());
    platform.TakeCalls();

    TrayView tooltipOnly;
    tooltipOnly.tooltip = "Kovarentis : away";
    tray.Show(tooltipOnly);
    ShellCall call = OnlyCall();
    EXPECT_EQ(call.message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(call.record.uFlags, static_cast<UINT>(NIF_TIP));
    EXPECT_EQ(Text(call.record.szTip), "Kovarentis : away");
    EXPECT_EQ(call.record.hIcon, nullptr);

    tray.Show(SteadyView(TrayIcon::Away));
    call = OnlyCall();
    EXPECT_EQ(call.record.uFlags, static_cast<UINT>(NIF_ICON));
    EXPECT_EQ(IconOf(call), IDI_AWAY);
    EXPECT_EQ(Text(call.record.szTip), "");

    tray.ShowBalloon({"text", "Kovarentis ", BalloonKind::Warning, 10});
    call = OnlyCall();
    EXPECT_EQ(call.record.uFlags, static_cast<UINT>(NIF_INFO));
    EXPECT_EQ(Text(call.record.szInfo), "text");
    EXPECT_EQ(Text(call.record.szInfoTitle), "Kovarentis ");
    EXPECT_EQ(call.record.uTimeout, 10000u);
    EXPECT_EQ(call.record.dwInfoFlags, static_cast<DWORD>(NIIF_WARNING | NIIF_NOSOUND));
    EXPECT_EQ(Text(call.record.szTip), "");
    EXPECT_EQ(call.record.uID, CSystemTray::kIconId);
}

// The record is UTF-16 whatever the system's ANSI code page: the agent's
// Windows-1251 texts arrive as the Russian letters they stand for.
TEST_F(TrayRecordTest, TextsAreCutToTheirFieldsAndReachTheShellAsTheirLetters) {
    ASSERT_TRUE(CreateTray(std::string(200, '\xFF')));  // "я"
    EXPECT_EQ(std::wstring(platform.TakeCalls().front().record.szTip), std::wstring(127, L'я'));

    tray.Show(SteadyView(TrayIcon::Online, "short"));
    const ShellCall tip = OnlyCall();
    EXPECT_EQ(Text(tip.record.szTip), "short");
    for (std::size_t i = 5; i < std::size(tip.record.szTip); ++i) ASSERT_EQ(tip.record.szTip[i], L'\0') << i;

    tray.ShowBalloon({std::string(300, 't'), std::string(100, 'T'), BalloonKind::NewMessages, 10});
    const ShellCall balloon = OnlyCall();
    EXPECT_EQ(Text(balloon.record.szInfo), std::string(255, 't'));
    EXPECT_EQ(Text(balloon.record.szInfoTitle), std::string(63, 'T'));
    tray.ShowBalloon({"\xCE\xF8\xE8\xE1\xEA\xE0", "\xA8\xB8", BalloonKind::Warning, 10});
    const ShellCall cyrillic = OnlyCall();
    EXPECT_STREQ(cyrillic.record.szInfo, L"Ошибка");
    EXPECT_STREQ(cyrillic.record.szInfoTitle, L"Ёё");
}

// The agent restates its view after every poll: what the shell already
// shows is not sent again, unless a refused call leaves that in doubt.
TEST_F(TrayRecordTest, WhatTheShellShowsIsNotSentAgainUntilACallIsRefused) {
    ASSERT_TRUE(CreateTray("Kovarentis : online"));
    platform.TakeCalls();
    tray.Show(SteadyView(TrayIcon::Online, "Kovarentis : online"));
    EXPECT_EQ(platform.CallCount(), 0u);

    platform.modifyResult = FALSE;
    tray.Show(SteadyView(TrayIcon::Away, "Kovarentis : away"));
    EXPECT_EQ(platform.TakeCalls().size(), 2u);
    platform.modifyResult = TRUE;
    tray.Show(SteadyView(TrayIcon::Away, "Kovarentis : away"));
    EXPECT_EQ(platform.TakeCalls().size(), 2u) << "the refused tooltip and icon are sent again";
    tray.Show(SteadyView(TrayIcon::Away, "Kovarentis : away"));
    EXPECT_EQ(platform.CallCount(), 0u);
}

TEST_F(TrayRecordTest, WithoutTheIconInTheShellChangesAreOnlyHeld) {
    platform.addResult = FALSE;
    EXPECT_FALSE(CreateTray());
    EXPECT_EQ(OnlyCall().message, static_cast<DWORD>(NIM_ADD));
    tray.Show(SteadyView(TrayIcon::Away, "held"));
    tray.ShowBalloon({"not shown", "Kovarentis ", BalloonKind::Warning, 10});
    EXPECT_EQ(platform.CallCount(), 0u);
}

TEST_F(TrayRecordTest, TheEndDeletesTheIconAndItsWindow) {
    HWND window = nullptr;
    {
        CSystemTray other(texts, platform);
        ASSERT_TRUE(other.Create({"other", TrayIcon::Away, Command::OpenConsultPage}, owner.Handle()));
        window = other.Handle();
        platform.TakeCalls();
    }
    const ShellCall remove = OnlyCall();
    EXPECT_EQ(remove.message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(remove.record.hWnd, window);
    EXPECT_EQ(remove.record.uID, CSystemTray::kIconId);
    EXPECT_FALSE(::IsWindow(window));
}

}  // namespace
}  // namespace kov::test
