// The About box under Wine: its content, where it opens and how it ends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/about_dlg.h"
#include "shell/res/resource.h"
#include "tests/shell/dialogs/dialog_driver.h"

namespace kov::test {
namespace {

const std::wstring kCaption = L"Kovarentis - О программе";

struct Content {
    HICON picture = nullptr;
    std::wstring text;
    LONG textStyle = 0;
    RECT window{};
    RECT area{};
};

BOOL CALLBACK ReadChild(HWND child, LPARAM parameter) {
    auto& content = *reinterpret_cast<Content*>(parameter);
    const LONG style = ::GetWindowLongW(child, GWL_STYLE);
    if ((style & SS_TYPEMASK) == SS_ICON) {
        content.picture = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
    } else if (::GetDlgCtrlID(child) != IDOK) {
        content.text = Text(child);
        content.textStyle = style;
    }
    return TRUE;
}

std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines(1);
    for (const wchar_t c : text) {
        if (c == L'\n') {
            lines.emplace_back();
        } else {
            lines.back() += c;
        }
    }
    return lines;
}

TEST(AboutDlgTest, ShowsTheIconAndThreeRightAlignedLinesCentredOnTheScreen) {
    CAbout about;
    Content content;
    const DialogRun run = RunDriven([&] { return about.RunModal(); }, kCaption, [&](const Driver& d) {
        ::EnumChildWindows(d.dialog, &ReadChild, reinterpret_cast<LPARAM>(&content));
        ::GetWindowRect(d.dialog, &content.window);
        content.area = WorkAreaOf(d.dialog);
        ::SendMessageW(Item(d.dialog, IDOK), BM_CLICK, 0, 0);
    });
    ASSERT_TRUE(run.endedByScript);
    EXPECT_NE(content.picture, nullptr);
    EXPECT_EQ(content.textStyle & SS_TYPEMASK, SS_RIGHT);
    const std::vector<std::wstring> lines = Lines(content.text);
    ASSERT_EQ(lines.size(), 3u) << "text: " << content.text.size() << " characters";
    EXPECT_EQ(lines[0], L"Агент консультанта");
    EXPECT_EQ(lines[1], L"Версия " KOV_TEST_AGENT_VERSION) << "the build's version";
    EXPECT_FALSE(lines[2].empty());
    const RECT& w = content.window;
    const RECT& a = content.area;
    EXPECT_LE(std::abs((w.left + w.right) - (a.left + a.right)), 2);
    EXPECT_LE(std::abs((w.top + w.bottom) - (a.top + a.bottom)), 2);
}

TEST(AboutDlgTest, EnterEscapeAndTheCloseBoxEachEndIt) {
    const std::vector<std::pair<const char*, std::function<void(const Driver&)>>> endings = {
        {"Enter", [](const Driver& d) { d.PressKey(Item(d.dialog, IDOK), VK_RETURN); }},
        {"Escape", [](const Driver& d) { d.PressKey(Item(d.dialog, IDOK), VK_ESCAPE); }},
        {"close box", [](const Driver& d) { ::PostMessageW(d.dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const auto& [name, end] : endings) {
        CAbout about;
        const DialogRun run = RunDriven([&] { return about.RunModal(); }, kCaption, end);
        EXPECT_TRUE(run.endedByScript) << name;
    }
}

}  // namespace
}  // namespace kov::test
