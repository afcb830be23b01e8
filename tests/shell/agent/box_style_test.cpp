// The core's message-box words on Windows: each kind of box shown for real
// with the buttons and icon it stands for, and the button pressed read back as
// the core's answer.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "shell/box_style.h"

namespace kov::test {
namespace {

constexpr wchar_t kTestCaption[] = L"Kovarentis box style test";

// A callback, not a lambda: on 32-bit Windows it must be stdcall.
BOOL CALLBACK TakeIconOfStatic(HWND child, LPARAM found) {
    if ((::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) return TRUE;
    *reinterpret_cast<HICON*>(found) = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
    return FALSE;
}

// The icon a box shows: its one static control with an icon.
HICON BoxIcon(HWND box) {
    HICON icon = nullptr;
    ::EnumChildWindows(box, TakeIconOfStatic, reinterpret_cast<LPARAM>(&icon));
    return icon;
}

struct SeenBox {
    std::vector<int> buttons;  // of IDOK, IDCANCEL, IDYES, IDNO, in that order
    HICON icon = nullptr;
    BoxAnswer answer = BoxAnswer::Ok;
};

// Shows a box of the kind on a thread of its own, looks at it, presses `press`.
SeenBox ShowAndPress(BoxKind kind, int press) {
    std::atomic<int> result{-1};
    std::thread shower([&] { result = ::MessageBoxW(nullptr, L"text", kTestCaption, BoxStyle(kind)); });
    // The box is shown once it has set itself up (its caption comes earlier,
    // while the buttons it does not use are still there).
    HWND box = nullptr;
    for (int tries = 0; tries < 1000 && !(box && ::IsWindowVisible(box)); ++tries) {
        ::Sleep(10);
        box = ::FindWindowW(nullptr, kTestCaption);
    }
    SeenBox seen;
    if (box) {
        for (const int id : {IDOK, IDCANCEL, IDYES, IDNO}) {
            const HWND button = ::GetDlgItem(box, id);
            if (button && ::IsWindowVisible(button)) seen.buttons.push_back(id);
        }
        seen.icon = BoxIcon(box);
        ::PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(press), 0);
    }
    shower.join();
    seen.answer = AnswerOf(result);
    return seen;
}

TEST(BoxStyle, AWarningHasOnlyOkAndTheWarningIcon) {
    const SeenBox seen = ShowAndPress(BoxKind::Warning, IDOK);
    EXPECT_EQ(seen.buttons, (std::vector<int>{IDOK}));
    ASSERT_NE(seen.icon, nullptr);
    EXPECT_EQ(seen.icon, ::LoadIconA(nullptr, IDI_WARNING));
    EXPECT_EQ(seen.answer, BoxAnswer::Ok);
}

TEST(BoxStyle, AQuestionHasYesAndNoAndTheQuestionIconAndTellsThemApart) {
    for (const auto& [press, answer] : {std::pair{IDYES, BoxAnswer::Yes}, std::pair{IDNO, BoxAnswer::No}}) {
        const SeenBox seen = ShowAndPress(BoxKind::Question, press);
        EXPECT_EQ(seen.buttons, (std::vector<int>{IDYES, IDNO}));
        ASSERT_NE(seen.icon, nullptr);
        EXPECT_EQ(seen.icon, ::LoadIconA(nullptr, IDI_QUESTION));
        EXPECT_EQ(seen.answer, answer) << press;
    }
}

TEST(BoxStyle, ABoxThatFailedOrEndedOtherwiseIsNo) {
    EXPECT_EQ(AnswerOf(0), BoxAnswer::No);
    EXPECT_EQ(AnswerOf(IDCANCEL), BoxAnswer::No);
}

}  // namespace
}  // namespace kov::test
