// The three dialog templates of Kovarentis.exe: read byte by byte, then created
// for real from the same resource.
#include <gtest/gtest.h>

#include <vector>

#include "shell/res/resource.h"
#include "tests/shell/resources/dialog_template.h"
#include "tests/shell/resources/resource_module.h"

namespace kov::test {
namespace {

// Predefined window classes as ordinals in a template.
constexpr uint16_t kButton = 0x80, kEdit = 0x81, kStatic = 0x82;

struct ExpectedControl {
    int32_t id;
    uint16_t windowClass;
    const wchar_t* text;  // null: the title is an icon ordinal, IDI_ONLINE
    uint32_t style;
    int16_t x, y, cx, cy;
};

struct ExpectedDialog {
    int resourceId;
    const wchar_t* caption;
    uint32_t style;
    uint32_t exStyle;
    int16_t cx, cy;
    uint16_t weight;
    std::vector<ExpectedControl> controls;
};

const ExpectedDialog kMain = {
    IDD_MAIN, L"" KOV_SITE_CAPTION, 0x90C800C8, WS_EX_TOOLWINDOW, 10, 9, 0, {}};

const ExpectedDialog kLogin = {
    IDD_LOGIN, L"Kovarentis - Авторизация", 0x80C800C8, 0, 198, 89, 400,
    {
        // Each label just before its field: the field's accessible name, and
        // its access key.
        {-1, kStatic, L"&Логин:", 0x50020000, 7, 9, 46, 9},
        {IDC_LOGIN, kEdit, L"", 0x50810080, 57, 7, 134, 14},
        {-1, kStatic, L"&Пароль:", 0x50020000, 7, 27, 45, 9},
        {IDC_PASSWORD, kEdit, L"", 0x508100A0, 57, 26, 134, 14},
        {IDC_REMEMBER, kButton, L"Запомнить меня", 0x50010003, 57, 46, 85, 10},
        {IDOK, kButton, L"Войти", 0x50010001, 58, 68, 64, 14},
        {IDCANCEL, kButton, L"Отмена", 0x50010000, 127, 68, 64, 14},
        {-1, kStatic, L"", 0x50000010, 7, 61, 185, 1},
    }};

const ExpectedDialog kAbout = {
    IDD_ABOUT, L"Kovarentis - О программе", 0x80C800C8, 0, 143, 58, 400,
    {
        {IDOK, kButton, L"Закрыть", 0x50010001, 62, 37, 74, 14},
        {-1, kStatic, nullptr, 0x50000003, 7, 7, 20, 20},
        {IDC_ABOUT_TEXT, kStatic, L"Агент консультанта\nВерсия %s\n© Kovarentis", 0x50020002, 36, 7, 99, 31},
    }};

const ExpectedDialog* const kDialogs[] = {&kMain, &kLogin, &kAbout};

class AgentDialogs : public ::testing::Test {
protected:
    UniqueModule agent_ = OpenForResources(AgentPath());
    void SetUp() override { ASSERT_TRUE(agent_) << "cannot open the agent executable"; }

    std::optional<std::vector<uint8_t>> TemplateBytes(int id) const {
        return ResourceBytes(agent_.Get(), RT_DIALOG, MAKEINTRESOURCEW(id), kRussian);
    }
};

void ExpectControl(const DialogControl& actual, const ExpectedControl& expected) {
    EXPECT_EQ(actual.id, expected.id);
    EXPECT_EQ(actual.windowClass.ordinal, std::optional<uint16_t>(expected.windowClass));
    if (expected.text) {
        EXPECT_FALSE(actual.title.ordinal.has_value());
        EXPECT_EQ(actual.title.text, expected.text);
    } else {
        EXPECT_EQ(actual.title.ordinal, std::optional<uint16_t>(IDI_ONLINE));
    }
    EXPECT_EQ(actual.style, expected.style);
    EXPECT_EQ(actual.exStyle, 0u);
    EXPECT_EQ(actual.helpId, 0u);
    EXPECT_EQ(actual.extraBytes, 0u);
    EXPECT_EQ((std::vector<int16_t>{actual.x, actual.y, actual.cx, actual.cy}),
              (std::vector<int16_t>{expected.x, expected.y, expected.cx, expected.cy}));
}

TEST_F(AgentDialogs, TemplatesAreExtendedRussianWithTheGivenLayout) {
    for (const ExpectedDialog* expected : kDialogs) {
        SCOPED_TRACE(expected->resourceId);
        EXPECT_EQ(ResourceLanguages(agent_.Get(), RT_DIALOG, MAKEINTRESOURCEW(expected->resourceId)),
                  std::vector<WORD>{kRussian});
        const auto bytes = TemplateBytes(expected->resourceId);
        ASSERT_TRUE(bytes);
        const auto dialog = ParseDialogTemplate(*bytes);
        ASSERT_TRUE(dialog) << "not an extended dialog template";

        EXPECT_EQ(dialog->style, expected->style);
        EXPECT_EQ(dialog->exStyle, expected->exStyle);
        EXPECT_EQ((std::vector<int16_t>{dialog->x, dialog->y, dialog->cx, dialog->cy}),
                  (std::vector<int16_t>{0, 0, expected->cx, expected->cy}));
        EXPECT_EQ(dialog->caption, expected->caption);
        EXPECT_FALSE(dialog->menu.ordinal.has_value());
        EXPECT_EQ(dialog->menu.text, L"");
        EXPECT_FALSE(dialog->windowClass.ordinal.has_value());
        EXPECT_EQ(dialog->windowClass.text, L"");
        EXPECT_EQ(dialog->typeface, L"MS Shell Dlg");
        EXPECT_EQ(dialog->pointSize, 8);
        EXPECT_EQ(dialog->weight, expected->weight);
        EXPECT_EQ(dialog->italic, 0);
        EXPECT_EQ(dialog->charset, DEFAULT_CHARSET);

        ASSERT_EQ(dialog->controls.size(), expected->controls.size());
        for (size_t i = 0; i < expected->controls.size(); ++i) {
            SCOPED_TRACE(i);
            ExpectControl(dialog->controls[i], expected->controls[i]);
        }
    }
}

TEST_F(AgentDialogs, ParserRejectsCutTemplates) {
    auto bytes = TemplateBytes(IDD_LOGIN);
    ASSERT_TRUE(bytes);
    bytes->resize(bytes->size() - 4);
    EXPECT_FALSE(ParseDialogTemplate(*bytes));
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

using UniqueWindow = Owned<HWND, BoolCloser<&::DestroyWindow>>;

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return name;
}

std::wstring TextOf(HWND window) {
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, 256);
    return text;
}

std::vector<HWND> ChildrenOf(HWND dialog) {
    std::vector<HWND> children;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    return children;
}

const wchar_t* ClassName(uint16_t ordinal) {
    return ordinal == kButton ? L"Button" : ordinal == kEdit ? L"Edit" : L"Static";
}

// The system builds each dialog from the resource; its windows match the template.
TEST_F(AgentDialogs, SystemCreatesEveryControl) {
    for (const ExpectedDialog* expected : kDialogs) {
        SCOPED_TRACE(expected->resourceId);
        HRSRC found = ::FindResourceExW(agent_.Get(), RT_DIALOG, MAKEINTRESOURCEW(expected->resourceId),
                                        kRussian);
        ASSERT_TRUE(found);
        const auto* layout = static_cast<const DLGTEMPLATE*>(::LockResource(::LoadResource(agent_.Get(), found)));
        UniqueWindow dialog(::CreateDialogIndirectParamW(agent_.Get(), layout, nullptr, PlainDialogProc, 0));
        ASSERT_TRUE(dialog);
        EXPECT_EQ(TextOf(dialog.Get()), expected->caption);

        const std::vector<HWND> children = ChildrenOf(dialog.Get());
        ASSERT_EQ(children.size(), expected->controls.size());
        for (size_t i = 0; i < children.size(); ++i) {
            const ExpectedControl& control = expected->controls[i];
            SCOPED_TRACE(i);
            EXPECT_EQ(::GetDlgCtrlID(children[i]), control.id);
            EXPECT_EQ(_wcsicmp(ClassOf(children[i]).c_str(), ClassName(control.windowClass)), 0)
                << ClassOf(children[i]);
            if (control.text) {
                EXPECT_EQ(TextOf(children[i]), control.text);
            } else {
                EXPECT_TRUE(::SendMessageW(children[i], STM_GETICON, 0, 0)) << "icon 128 not shown";
            }
        }
    }
}

}  // namespace
}  // namespace kov::test
