// The sign-in dialog driven under Wine: OK enabling, Enter, Cancel, limits,
// the remember box, a known login and what the caller gets back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/login_dlg.h"
// After windows.h, which the dialog's header brings.
#include <commctrl.h>
#include "shell/res/resource.h"
#include "tests/shell/dialogs/dialog_driver.h"

namespace kov::test {
namespace {

const std::wstring kCaption = L"Kovarentis - Авторизация";

// Runs a sign-in dialog with the remember box preset, driven by the script.
DialogRun RunLogin(CLoginDlg& dialog, const std::function<void(const Driver&)>& script) {
    return RunDriven([&] { return dialog.RunModal(); }, kCaption, script);
}

bool OkEnabled(HWND dialog) { return IsEnabled(Item(dialog, IDOK)); }

// A stdcall callback: the text of the thread's visible tooltip, if any.
BOOL CALLBACK TakeVisibleTip(HWND window, LPARAM found) {
    wchar_t className[32] = {};
    ::GetClassNameW(window, className, 32);
    if (std::wstring(className) != TOOLTIPS_CLASSW || !::IsWindowVisible(window)) return TRUE;
    wchar_t text[256] = {};
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.lpszText = text;
    if (!::SendMessageW(window, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&tool))) return TRUE;
    *reinterpret_cast<std::wstring*>(found) = text;
    return FALSE;
}

// The tip an edit shows, from the dialog's thread; "" when none shows.
std::wstring ShownTip(HWND dialog) {
    std::wstring tip;
    ::EnumThreadWindows(::GetWindowThreadProcessId(dialog, nullptr), &TakeVisibleTip, reinterpret_cast<LPARAM>(&tip));
    return tip;
}

TEST(LoginDlgTest, StartsEmptyWithOkDisabledAndTheBoxAsPreset) {
    for (const std::int32_t preset : {1, 0}) {
        CLoginDlg dialog;
        dialog.rememberChecked = preset;
        UINT boxState = 99;
        bool okEnabled = true;
        std::wstring login = L"?", password = L"?";
        LONG passwordStyle = 0;
        const DialogRun run = RunLogin(dialog, [&](const Driver& d) {
            boxState = ::IsDlgButtonChecked(d.dialog, IDC_REMEMBER);
            okEnabled = OkEnabled(d.dialog);
            login = Text(Item(d.dialog, IDC_LOGIN));
            password = Text(Item(d.dialog, IDC_PASSWORD));
            passwordStyle = ::GetWindowLongW(Item(d.dialog, IDC_PASSWORD), GWL_STYLE);
            d.Cancel();
        });
        ASSERT_TRUE(run.endedByScript);
        EXPECT_EQ(boxState, preset ? BST_CHECKED : BST_UNCHECKED) << "preset " << preset;
        EXPECT_FALSE(okEnabled);
        EXPECT_EQ(login, L"");
        EXPECT_EQ(password, L"");
        EXPECT_TRUE(passwordStyle & ES_PASSWORD) << "the password is masked";
    }
}

TEST(LoginDlgTest, OkIsEnabledExactlyWhileBothFieldsHoldText) {
    CLoginDlg dialog;
    std::vector<bool> states;
    RunLogin(dialog, [&](const Driver& d) {
        const HWND login = Item(d.dialog, IDC_LOGIN);
        const HWND password = Item(d.dialog, IDC_PASSWORD);
        Type(login, L"a");
        states.push_back(OkEnabled(d.dialog));  // password still empty
        Type(password, L"b");
        states.push_back(OkEnabled(d.dialog));  // the first character of the second field
        Backspace(login);
        states.push_back(OkEnabled(d.dialog));  // the login emptied again
        Type(login, L"c");
        states.push_back(OkEnabled(d.dialog));
        Backspace(password);
        states.push_back(OkEnabled(d.dialog));
        d.Cancel();
    });
    EXPECT_EQ(states, (std::vector<bool>{false, true, false, true, false}));
}

TEST(LoginDlgTest, EnterIsIgnoredUntilBothFieldsAreFilledAndThenConfirms) {
    CLoginDlg dialog;
    dialog.rememberChecked = 1;
    bool openAfterEnter = false;
    bool openAfterOkCommand = false;
    const DialogRun run = RunLogin(dialog, [&](const Driver& d) {
        const HWND login = Item(d.dialog, IDC_LOGIN);
        Type(login, L"consultant");
        d.PressKey(login, VK_RETURN);
        openAfterEnter = ::IsWindow(d.dialog) != FALSE;
        // The OK request itself, as a disabled default button could still send it.
        ::SendMessageW(d.dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                       reinterpret_cast<LPARAM>(Item(d.dialog, IDOK)));
        openAfterOkCommand = ::IsWindow(d.dialog) != FALSE;
        const HWND password = Item(d.dialog, IDC_PASSWORD);
        Type(password, L"secret");
        d.PressKey(password, VK_RETURN);
    });
    EXPECT_TRUE(openAfterEnter);
    EXPECT_TRUE(openAfterOkCommand);
    ASSERT_TRUE(run.endedByScript);
    EXPECT_EQ(run.result, IDOK);
    EXPECT_EQ(dialog.loginText, "consultant");
    EXPECT_EQ(dialog.passwordText, "secret");
    EXPECT_EQ(dialog.rememberChecked, 1);
}

TEST(LoginDlgTest, TheCallerGetsTheTypedTextsAsWindows1251AndTheBoxState) {
    CLoginDlg dialog;
    dialog.rememberChecked = 1;
    const DialogRun run = RunLogin(dialog, [&](const Driver& d) {
        Type(Item(d.dialog, IDC_LOGIN), L"Иван & Co");
        Type(Item(d.dialog, IDC_PASSWORD), L"пароль 1");
        ::SendMessageW(Item(d.dialog, IDC_REMEMBER), BM_CLICK, 0, 0);
        ::SendMessageW(Item(d.dialog, IDOK), BM_CLICK, 0, 0);
    });
    ASSERT_TRUE(run.endedByScript);
    EXPECT_EQ(run.result, IDOK);
    EXPECT_EQ(dialog.loginText, "\xC8\xE2\xE0\xED & Co");               // Иван & Co
    EXPECT_EQ(dialog.passwordText, "\xEF\xE0\xF0\xEE\xEB\xFC 1");       // пароль 1
    EXPECT_EQ(dialog.rememberChecked, 0);
}

struct OwnedSearch {
    HWND owner;
    HWND found;
};

// A stdcall callback: a lambda does not convert to one on 32-bit Windows.
BOOL CALLBACK MatchOwnedWindow(HWND window, LPARAM parameter) {
    auto* s = reinterpret_cast<OwnedSearch*>(parameter);
    if (window == s->owner || ::GetWindow(window, GW_OWNER) != s->owner || !::IsWindowVisible(window)) {
        return TRUE;
    }
    s->found = window;
    return FALSE;
}

// A visible window owned by the dialog (its message box), waiting for it a while.
HWND OwnedWindow(HWND dialog) {
    OwnedSearch search{dialog, nullptr};
    const DWORD thread = ::GetWindowThreadProcessId(dialog, nullptr);
    for (int attempt = 0; attempt < 100 && !search.found; ++attempt) {
        ::EnumThreadWindows(thread, MatchOwnedWindow, reinterpret_cast<LPARAM>(&search));
        if (!search.found) ::Sleep(50);
    }
    return search.found;
}

HWND FocusOf(HWND dialog) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(dialog, nullptr), &info);
    return info.hwndFocus;
}

// "Ł" has no Windows-1251 form: sent as "?" or "L" it would sign in as someone
// else. The dialog stays open with a Russian explanation and the field focused.
TEST(LoginDlgTest, TextsThatWindows1251CannotCarryAreRefusedWithAnExplanation) {
    CLoginDlg dialog;
    std::vector<std::wstring> messages;
    std::vector<bool> focusedField;
    const DialogRun run = RunLogin(dialog, [&](const Driver& d) {
        const HWND login = Item(d.dialog, IDC_LOGIN);
        const HWND password = Item(d.dialog, IDC_PASSWORD);
        auto refused = [&](HWND field) {
            d.PressKey(password, VK_RETURN);
            const HWND box = OwnedWindow(d.dialog);
            if (!box) return;
            messages.push_back(Text(box) + L": " + Text(Item(box, 0xFFFF)));
            ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            d.Settle();
            focusedField.push_back(::IsWindow(d.dialog) && FocusOf(d.dialog) == field);
        };
        Type(login, L"Łukasz");
        Type(password, L"пароль");
        refused(login);
        ::SendMessageW(login, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Lukasz"));
        Type(password, L"€ ≠");  // the euro sign is in Windows-1251, "≠" is not
        refused(password);
        ::SendMessageW(password, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"пароль €"));
        d.PressKey(password, VK_RETURN);
    });
    const std::wstring expected =
        L"Kovarentis - Авторизация: Логин и пароль могут содержать только русские и латинские "
        L"буквы, цифры и знаки препинания";
    EXPECT_EQ(messages, (std::vector<std::wstring>{expected, expected}));
    EXPECT_EQ(focusedField, (std::vector<bool>{true, true}));
    ASSERT_TRUE(run.endedByScript);
    EXPECT_EQ(run.result, IDOK);
    EXPECT_EQ(dialog.loginText, "Lukasz");
    EXPECT_EQ(dialog.passwordText, "\xEF\xE0\xF0\xEE\xEB\xFC \x88");  // пароль €
}

TEST(LoginDlgTest, BothFieldsTakeAtMost32CharactersTypedOrPastedAndATipSaysSo) {
    CLoginDlg dialog;
    const std::wstring forty(40, L'x');
    std::wstring tipBefore = L"?", tipAfter;
    const DialogRun run = RunLogin(dialog, [&](const Driver& d) {
        Paste(Item(d.dialog, IDC_PASSWORD), std::wstring(32, L'x'));
        d.Settle();
        tipBefore = ShownTip(d.dialog);
        Type(Item(d.dialog, IDC_LOGIN), forty);
        Paste(Item(d.dialog, IDC_PASSWORD), forty);
        d.Settle();
        tipAfter = ShownTip(d.dialog);
        ::SendMessageW(Item(d.dialog, IDOK), BM_CLICK, 0, 0);
    });
    ASSERT_TRUE(run.endedByScript);
    EXPECT_EQ(tipBefore, L"") << "32 characters fit without a word";
    EXPECT_EQ(tipAfter, L"Не более 32 символов");
    EXPECT_EQ(dialog.loginText, std::string(32, 'x'));
    EXPECT_EQ(dialog.passwordText, std::string(32, 'x'));
}

TEST(LoginDlgTest, AKnownLoginIsFilledInAndThePasswordHasTheFocus) {
    CLoginDlg dialog;
    dialog.rememberChecked = 1;
    dialog.knownLogin = "\xE8\xE2\xE0\xED";  // иван
    std::wstring login;
    bool passwordFocused = false;
    const DialogRun run = RunLogin(dialog, [&](const Driver& d) {
        login = Text(Item(d.dialog, IDC_LOGIN));
        passwordFocused = FocusOf(d.dialog) == Item(d.dialog, IDC_PASSWORD);
        Type(Item(d.dialog, IDC_PASSWORD), L"pw");
        d.PressKey(Item(d.dialog, IDC_PASSWORD), VK_RETURN);
    });
    ASSERT_TRUE(run.endedByScript);
    EXPECT_EQ(login, L"иван");
    EXPECT_TRUE(passwordFocused);
    EXPECT_EQ(dialog.loginText, dialog.knownLogin);
    EXPECT_EQ(dialog.rememberChecked, 1) << "the preset box is kept";
}

TEST(LoginDlgTest, CancelEscapeAndTheCloseBoxGiveCancelEvenWhenFilled) {
    const std::vector<std::pair<const char*, std::function<void(const Driver&)>>> endings = {
        {"Cancel button", [](const Driver& d) { ::SendMessageW(Item(d.dialog, IDCANCEL), BM_CLICK, 0, 0); }},
        {"Escape", [](const Driver& d) { d.PressKey(Item(d.dialog, IDC_PASSWORD), VK_ESCAPE); }},
        {"close box", [](const Driver& d) { ::PostMessageW(d.dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const auto& [name, end] : endings) {
        CLoginDlg dialog;
        const DialogRun run = RunLogin(dialog, [&](const Driver& d) {
            Type(Item(d.dialog, IDC_LOGIN), L"consultant");
            Type(Item(d.dialog, IDC_PASSWORD), L"secret");
            end(d);
        });
        EXPECT_TRUE(run.endedByScript) << name;
        EXPECT_EQ(run.result, IDCANCEL) << name;
    }
}

TEST(LoginDlgTest, OpensCentredOnTheScreenWithTheAgentIcon) {
    CLoginDlg dialog;
    RECT window{}, area{};
    HICON big = nullptr, small = nullptr;
    RunLogin(dialog, [&](const Driver& d) {
        ::GetWindowRect(d.dialog, &window);
        area = WorkAreaOf(d.dialog);
        big = reinterpret_cast<HICON>(::SendMessageW(d.dialog, WM_GETICON, ICON_BIG, 0));
        small = reinterpret_cast<HICON>(::SendMessageW(d.dialog, WM_GETICON, ICON_SMALL, 0));
        d.Cancel();
    });
    EXPECT_LE(std::abs((window.left + window.right) - (area.left + area.right)), 2);
    EXPECT_LE(std::abs((window.top + window.bottom) - (area.top + area.bottom)), 2);
    const HICON agentIcon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_ONLINE));
    ASSERT_NE(agentIcon, nullptr);
    EXPECT_EQ(big, agentIcon);
    EXPECT_EQ(small, agentIcon);
}

}  // namespace
}  // namespace kov::test
