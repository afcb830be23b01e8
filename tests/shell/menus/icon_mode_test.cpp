// Drawing with icons attached, as in the agent's menus: background,
// selection and accent fills, text colours, the check glyph, the icon square,
// separators, and high contrast.
#include <gtest/gtest.h>

#include <set>

#include "menu_test_support.h"
#include "shell/side_bar_menu.h"

namespace kov::test {
namespace {

constexpr COLORREF kSentinel = RGB(1, 2, 3);
constexpr COLORREF kBack = RGB(255, 255, 250);
constexpr COLORREF kSelect = RGB(120, 135, 60);
constexpr COLORREF kAccent = RGB(200, 210, 170);
constexpr COLORREF kDarkText = RGB(32, 32, 32);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kIconColours[] = {RGB(250, 0, 0), RGB(0, 250, 0), RGB(0, 0, 250),
                                     RGB(250, 250, 0), RGB(0, 250, 250), RGB(250, 0, 250)};

// An item away from the canvas origin, so that positions relative to the item
// and to the drawing context differ.
constexpr RECT kItem{30, 40, 190, 61};

class IconModeTest : public ::testing::Test {
protected:
    void SetUp() override {
        icons = MakeIcons({kIconColours[0], kIconColours[1], kIconColours[2], kIconColours[3],
                           kIconColours[4], kIconColours[5]});
        ASSERT_EQ(icons.icons.size(), 6u);
        menu.AttachIcons(&icons);
    }

    void Draw(UINT id, const char* text, UINT action, UINT state, const RECT& rect = kItem) {
        menu.DrawItem(DrawRecord(canvas.Dc(), rect, id, text, action, state));
    }

    // Highlight rectangle: from item.left + 22; the text from item.left + 25.
    static RECT Highlight() { return RECT{kItem.left + 22, kItem.top, kItem.right, kItem.bottom}; }
    static RECT TextArea() { return RECT{kItem.left + 25, kItem.top, kItem.right, kItem.bottom}; }
    // Where the check glyph goes: the item's last 16 columns.
    static RECT CheckArea() { return RECT{kItem.right - 16, kItem.top, kItem.right, kItem.bottom}; }

    MenuIcons icons;
    CSideBarMenu menu;
    Canvas canvas{220, 100, kSentinel};
};

TEST_F(IconModeTest, AttachingSetsTheSideWidthAndTheIcons) {
    CSideBarMenu fresh;
    EXPECT_EQ(fresh.sideWidth(), 0);
    EXPECT_EQ(fresh.icons(), nullptr);
    EXPECT_EQ(menu.sideWidth(), 10);
    EXPECT_EQ(menu.icons(), &icons);
}

TEST_F(IconModeTest, PlainItemFillsTheItemAndDrawsDarkText) {
    Draw(301, kOnlineText, ODA_DRAWENTIRE, 0);
    EXPECT_EQ(canvas.CountOther(RECT{kItem.left, kItem.top, kItem.left + 3, kItem.bottom}, kBack), 0)
        << "left of the icon square";
    EXPECT_EQ(canvas.Pixel(kItem.right - 1, kItem.bottom - 1), kBack);
    EXPECT_EQ(canvas.Pixel(kItem.left - 1, kItem.top), kSentinel) << "nothing outside the item";
    EXPECT_EQ(canvas.Pixel(kItem.left, kItem.bottom), kSentinel);
    EXPECT_GT(canvas.Count(TextArea(), kDarkText), 0);
    EXPECT_EQ(canvas.Count(TextArea(), kWhite), 0);
    EXPECT_EQ(canvas.CountOther(RECT{kItem.left + 19, kItem.top, kItem.left + 25, kItem.bottom}, kBack), 0)
        << "no text left of the text rectangle";
    EXPECT_EQ(canvas.CountOther(CheckArea(), kBack), 0) << "no check glyph";
}

// Pointing at an item and moving off it again, drawn as the system does: the
// whole item first, then ODA_SELECT with and without ODS_SELECTED.
TEST_F(IconModeTest, OtherItemsSwitchToTheSelectionFillAndBack) {
    const RECT highlight = Highlight();
    Draw(301, kOnlineText, ODA_DRAWENTIRE, 0);
    Draw(301, kOnlineText, ODA_SELECT, ODS_SELECTED);
    EXPECT_EQ(canvas.Pixel(highlight.left, kItem.top), kSelect);
    EXPECT_EQ(canvas.Pixel(highlight.right - 1, kItem.bottom - 1), kSelect);
    EXPECT_EQ(canvas.Pixel(highlight.left - 1, kItem.top), kBack) << "the fill starts at left + 22";
    EXPECT_GT(canvas.Count(TextArea(), kWhite), 0);
    EXPECT_EQ(canvas.Count(TextArea(), kDarkText), 0);

    Draw(301, kOnlineText, ODA_SELECT, 0);
    EXPECT_EQ(canvas.Count(highlight, kSelect), 0);
    EXPECT_EQ(canvas.Pixel(highlight.left, kItem.top), kBack);
    EXPECT_GT(canvas.Count(TextArea(), kDarkText), 0);
    EXPECT_EQ(canvas.Count(TextArea(), kWhite), 0);

    canvas.Fill(kSentinel);
    Draw(301, kOnlineText, ODA_DRAWENTIRE, ODS_SELECTED);
    EXPECT_EQ(canvas.Pixel(highlight.left, kItem.top), kSelect) << "drawn entire while selected";
    EXPECT_GT(canvas.Count(TextArea(), kWhite), 0);
}

TEST_F(IconModeTest, CheckedItemKeepsItsAccentFillAndDarkText) {
    const RECT highlight = Highlight();
    for (const UINT selection : {0u, static_cast<UINT>(ODS_SELECTED), 0u}) {
        SCOPED_TRACE(selection);
        const UINT action = selection ? ODA_SELECT : ODA_DRAWENTIRE;
        Draw(300, kOnlineText, action, ODS_CHECKED | selection);
        EXPECT_EQ(canvas.Pixel(highlight.left, kItem.top), kAccent);
        EXPECT_EQ(canvas.Pixel(highlight.right - 1, kItem.bottom - 1), kAccent);
        EXPECT_EQ(canvas.Count(highlight, kSelect), 0);
        EXPECT_GT(canvas.Count(TextArea(), kDarkText), 0);
        EXPECT_EQ(canvas.Count(TextArea(), kWhite), 0);
        EXPECT_GT(canvas.Count(CheckArea(), kDarkText), 5) << "the check glyph besides the fill";
    }
    Draw(300, kOnlineText, ODA_SELECT, ODS_CHECKED);
    EXPECT_EQ(canvas.Pixel(highlight.left, kItem.top), kAccent) << "deselected";
}

TEST_F(IconModeTest, IconLandsThreeRightAndTwoBelowTheItemCorner) {
    for (UINT id = 300; id <= 305; ++id) {
        SCOPED_TRACE(id);
        canvas.Fill(kSentinel);
        Draw(id, kOnlineText, ODA_DRAWENTIRE, 0);
        const COLORREF icon = kIconColours[id - 300];
        const int left = kItem.left + 3;
        const int top = kItem.top + 2;
        EXPECT_EQ(canvas.Count(RECT{left, top, left + 16, top + 16}, icon), 16 * 16 - 4)
            << "every pixel but the four transparent corners";
        EXPECT_EQ(canvas.Pixel(left, top), kBack) << "transparent corner shows the square";
        EXPECT_EQ(canvas.Pixel(left + 15, top + 15), kBack);
        EXPECT_EQ(canvas.Count(RECT{kItem.left, kItem.top, kItem.right, kItem.bottom}, icon),
                  16 * 16 - 4)
            << "nowhere else";
    }
}

// Moving the pointer repaints only the selection: the icon square is filled
// and the icon drawn again all the same, and outside the item the square's
// strip below a short item gets the background.
TEST_F(IconModeTest, IconIsRedrawnOnSelectionChangesToo) {
    Draw(300, kOnlineText, ODA_SELECT, ODS_SELECTED);
    EXPECT_EQ(canvas.Pixel(kItem.left + 3 + 8, kItem.top + 2 + 8), kIconColours[0]);
    EXPECT_EQ(canvas.Pixel(kItem.left + 3, kItem.top + 2), kBack) << "square filled first";
    EXPECT_EQ(canvas.Pixel(kItem.left + 2, kItem.top + 2), kSentinel)
        << "a selection change paints nothing left of the square";
}

TEST_F(IconModeTest, UnknownIndexLeavesTheSquareEmpty) {
    Draw(306, kOnlineText, ODA_DRAWENTIRE, 0);
    Draw(299, kOnlineText, ODA_DRAWENTIRE, ODS_SELECTED);
    EXPECT_EQ(canvas.CountOther(RECT{kItem.left + 3, kItem.top + 2, kItem.left + 19, kItem.top + 18},
                                kBack),
              0);
}

TEST_F(IconModeTest, SeparatorDrawsOneLineTwoPixelsBelowTheTop) {
    constexpr RECT kSeparatorItem{30, 40, 190, 46};
    constexpr COLORREF kLine = RGB(0, 0, 5);  // 0x00FFFFFF - backColor
    Draw(0, "", ODA_DRAWENTIRE, 0, kSeparatorItem);
    const int lineLeft = kSeparatorItem.left + 22 + 2;
    const int lineRow = kSeparatorItem.top + 2;
    EXPECT_EQ(canvas.Count(RECT{lineLeft, lineRow, kSeparatorItem.right, lineRow + 1}, kLine),
              kSeparatorItem.right - lineLeft)
        << "from two pixels right of the highlight to the right edge";
    EXPECT_EQ(canvas.Count(RECT{0, 0, canvas.Width(), canvas.Height()}, kLine),
              kSeparatorItem.right - lineLeft)
        << "one line and nothing more";
    EXPECT_EQ(canvas.Pixel(lineLeft - 1, lineRow), kBack);
    EXPECT_EQ(canvas.Pixel(kSeparatorItem.right, lineRow), kSentinel) << "end point excluded";
    // The icon square is filled although it reaches 12 pixels below the row.
    EXPECT_EQ(canvas.CountOther(RECT{33, 42, 49, 58}, kBack), 0);
    EXPECT_EQ(canvas.Pixel(32, 50), kSentinel);
    EXPECT_EQ(canvas.Pixel(49, 50), kSentinel);
}

TEST_F(IconModeTest, SeparatorIgnoresCheckedGrayedAndSelectedStates) {
    constexpr RECT kSeparatorItem{30, 40, 190, 46};
    Draw(0, "", ODA_DRAWENTIRE, ODS_CHECKED | ODS_GRAYED, kSeparatorItem);
    EXPECT_EQ(canvas.Count(kSeparatorItem, kAccent), 0) << "no accent fill on separators";
    EXPECT_EQ(canvas.Count(RECT{0, 0, canvas.Width(), canvas.Height()}, RGB(0, 0, 5)),
              kSeparatorItem.right - (kSeparatorItem.left + 24));
    Draw(0, "", ODA_SELECT, ODS_SELECTED, kSeparatorItem);
    EXPECT_EQ(canvas.Pixel(kSeparatorItem.left + 22, kSeparatorItem.top), kSelect)
        << "the selection fill is not tied to the text";
}

// In high contrast every state draws in the system's menu colours alone: no
// icon, accent fill or smoothing; the checked item still has its glyph.
TEST_F(IconModeTest, HighContrastDrawsOnlyInTheSystemColours) {
    const std::set<COLORREF> system = {::GetSysColor(COLOR_MENU), ::GetSysColor(COLOR_MENUTEXT),
                                       ::GetSysColor(COLOR_HIGHLIGHT), ::GetSysColor(COLOR_HIGHLIGHTTEXT),
                                       ::GetSysColor(COLOR_GRAYTEXT)};
    menu.SetHighContrast(true);
    constexpr int kRow = 21;
    const UINT states[] = {0, ODS_SELECTED, ODS_CHECKED, ODS_CHECKED | ODS_SELECTED, ODS_GRAYED, ODS_DEFAULT};
    Canvas rows(190, kRow * 6 + 6, kSentinel);
    for (int row = 0; row < 6; ++row) {
        menu.DrawItem(DrawRecord(rows.Dc(), RECT{0, row * kRow, 190, (row + 1) * kRow}, 300 + row, kAboutText,
                                 ODA_DRAWENTIRE, states[row]));
    }
    menu.DrawItem(DrawRecord(rows.Dc(), RECT{0, 6 * kRow, 190, 6 * kRow + 6}, 0, "", ODA_DRAWENTIRE, 0));
    int others = 0;
    for (int y = 0; y < rows.Height(); ++y) {
        for (int x = 0; x < rows.Width(); ++x) others += system.count(rows.Pixel(x, y)) == 0;
    }
    EXPECT_EQ(others, 0);
    const RECT checkedRow{190 - 16, 2 * kRow, 190, 3 * kRow};
    EXPECT_GT(rows.Count(checkedRow, ::GetSysColor(COLOR_MENUTEXT)), 5) << "the check glyph";
    EXPECT_GT(rows.Count(RECT{0, 0, 190, kRow}, ::GetSysColor(COLOR_MENUTEXT)), 0) << "the text";
}

}  // namespace
}  // namespace kov::test
