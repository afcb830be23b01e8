// Measuring items, and what DrawItem leaves behind: the caller's drawing
// context unchanged and no drawing object or icon left over.
#include <gtest/gtest.h>

#include <string>

#include "menu_test_support.h"
#include "shell/side_bar_menu.h"

namespace kov::test {
namespace {

TEST(SideBarMeasureTest, SeparatorIsSixHighAndSideWidthWide) {
    CSideBarMenu menu;
    MEASUREITEMSTRUCT separator = MeasureRecord(0, "");
    menu.MeasureItem(separator);
    EXPECT_EQ(separator.itemHeight, 6u);
    EXPECT_EQ(separator.itemWidth, 0u);

    const MenuIcons icons = MakeIcons({RGB(9, 9, 9)});
    menu.AttachIcons(&icons);
    separator = MeasureRecord(0, "");
    menu.MeasureItem(separator);
    EXPECT_EQ(separator.itemHeight, 6u);
    EXPECT_EQ(separator.itemWidth, 10u);
}

// Commands measure in the screen's drawing context with its own font: text
// height + 5 high, side width + text width wide.
TEST(SideBarMeasureTest, CommandIsTextHeightPlusFiveHigh) {
    for (const char* text : {kOnlineText, kAboutText, "W"}) {
        SCOPED_TRACE(text);
        const SIZE screen = ScreenTextSize(text);
        ASSERT_GT(screen.cx, 0);
        CSideBarMenu menu;
        MEASUREITEMSTRUCT item = MeasureRecord(303, text);
        menu.MeasureItem(item);
        EXPECT_EQ(item.itemHeight, static_cast<UINT>(screen.cy + 5));
        EXPECT_EQ(item.itemWidth, static_cast<UINT>(screen.cx));

        menu.AttachIcons(nullptr);
        item = MeasureRecord(303, text);
        menu.MeasureItem(item);
        EXPECT_EQ(item.itemWidth, static_cast<UINT>(screen.cx + 10));
    }
    EXPECT_GT(ScreenTextSize(kAboutText).cx, ScreenTextSize("W").cx) << "widths follow the text";
}

TEST(SideBarMeasureTest, DefaultStateDoesNotWidenTheItem) {
    CSideBarMenu menu;
    MEASUREITEMSTRUCT plain = MeasureRecord(303, kAboutText);
    MEASUREITEMSTRUCT flagged = MeasureRecord(303, kAboutText);
    flagged.itemWidth = 999;  // whatever the system put there is replaced
    menu.MeasureItem(plain);
    menu.MeasureItem(flagged);
    EXPECT_EQ(flagged.itemWidth, plain.itemWidth);
    EXPECT_EQ(flagged.itemHeight, plain.itemHeight);
}

// Every kind of drawing the class does, in both modes.
struct DrawCase {
    const char* name;
    bool withIcons;
    UINT id;
    const char* text;
    UINT action;
    UINT state;
};

const DrawCase kDrawCases[] = {
    {"plain", true, 301, kOnlineText, ODA_DRAWENTIRE, 0},
    {"selected", true, 302, kOnlineText, ODA_SELECT, ODS_SELECTED},
    {"deselected", true, 302, kOnlineText, ODA_SELECT, 0},
    {"checked", true, 300, kOnlineText, ODA_DRAWENTIRE, ODS_CHECKED | ODS_SELECTED},
    {"separator", true, 0, "", ODA_DRAWENTIRE, 0},
    {"default grayed", true, 303, kAboutText, ODA_DRAWENTIRE, ODS_DEFAULT | ODS_GRAYED},
    {"check mark", false, 300, kOnlineText, ODA_DRAWENTIRE, ODS_CHECKED},
    {"side bar default", false, 303, kAboutText, ODA_DRAWENTIRE, ODS_DEFAULT | ODS_SELECTED},
    {"no-icons separator", false, 0, "", ODA_DRAWENTIRE, 0},
};

class DrawingContextTest : public ::testing::Test {
protected:
    void SetUp() override {
        icons = MakeIcons({RGB(250, 0, 0), RGB(0, 250, 0), RGB(0, 0, 250), RGB(9, 9, 9),
                           RGB(7, 7, 7), RGB(5, 5, 5)});
        withIcons.AttachIcons(&icons);
        withoutIcons.AttachIcons(nullptr);  // width 10: the side bar is painted
    }

    void Draw(const DrawCase& c, HDC dc) {
        CSideBarMenu& menu = c.withIcons ? withIcons : withoutIcons;
        menu.DrawItem(DrawRecord(dc, RECT{5, 20, 180, 42}, c.id, c.text, c.action, c.state));
    }

    MenuIcons icons;
    CSideBarMenu withIcons;
    CSideBarMenu withoutIcons{"Kovarentis"};
};

TEST_F(DrawingContextTest, LeavesTheCallersContextAsItFoundIt) {
    Canvas canvas(200, 80, RGB(1, 2, 3));
    const HDC dc = canvas.Dc();
    const HFONT font = ::CreateFontA(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0,
                                     "Tahoma");
    const HPEN pen = ::CreatePen(PS_DOT, 1, RGB(7, 8, 9));
    const HBRUSH brush = ::CreateSolidBrush(RGB(10, 11, 12));
    const HGDIOBJ oldFont = ::SelectObject(dc, font);
    const HGDIOBJ oldPen = ::SelectObject(dc, pen);
    const HGDIOBJ oldBrush = ::SelectObject(dc, brush);
    const HGDIOBJ bitmap = ::GetCurrentObject(dc, OBJ_BITMAP);
    ::MoveToEx(dc, 17, 19, nullptr);

    for (const DrawCase& c : kDrawCases) {
        SCOPED_TRACE(c.name);
        ::SetTextColor(dc, RGB(13, 14, 15));
        ::SetBkColor(dc, RGB(16, 17, 18));
        ::SetBkMode(dc, OPAQUE);
        Draw(c, dc);
        EXPECT_EQ(::GetTextColor(dc), RGB(13, 14, 15));
        EXPECT_EQ(::GetBkColor(dc), RGB(16, 17, 18));
        EXPECT_EQ(::GetBkMode(dc), TRANSPARENT) << "left transparent";
        EXPECT_EQ(::GetCurrentObject(dc, OBJ_FONT), font);
        EXPECT_EQ(::GetCurrentObject(dc, OBJ_PEN), pen);
        EXPECT_EQ(::GetCurrentObject(dc, OBJ_BRUSH), brush);
        EXPECT_EQ(::GetCurrentObject(dc, OBJ_BITMAP), bitmap);
        POINT position{};
        ::GetCurrentPositionEx(dc, &position);
        EXPECT_EQ(position.x, 17);
        EXPECT_EQ(position.y, 19);
    }

    ::SelectObject(dc, oldFont);
    ::SelectObject(dc, oldPen);
    ::SelectObject(dc, oldBrush);
    ::DeleteObject(font);
    ::DeleteObject(pen);
    ::DeleteObject(brush);
}

TEST_F(DrawingContextTest, ReleasesEveryObjectItCreates) {
    Canvas canvas(200, 80, RGB(1, 2, 3));
    GdiBalance balance;
    ASSERT_TRUE(balance.Hooked()) << "all counted functions are imported";
    constexpr int kRounds = 200;
    for (int round = 0; round < kRounds; ++round) {
        for (const DrawCase& c : kDrawCases) Draw(c, canvas.Dc());
        for (const char* text : {"", kOnlineText}) {
            MEASUREITEMSTRUCT item = MeasureRecord(300, text);
            withIcons.MeasureItem(item);
        }
    }
    EXPECT_EQ(balance.Live(), 0u) << "objects or icons not released";
    EXPECT_EQ(balance.ForeignReleases(), 0u) << "released something it did not create, such as a kept icon";
    // Per round at least: a brush per fill, a pen per separator, two fonts and a memory context per side-bar check-mark draw,
    // and a screen context per measure.
    EXPECT_GE(balance.Created(), static_cast<std::size_t>(kRounds) * 20);
}

// Each call makes its objects anew: nothing is cached from one call to the next.
TEST_F(DrawingContextTest, CreatesItsObjectsAnewOnEveryCall) {
    Canvas canvas(200, 80, RGB(1, 2, 3));
    for (const DrawCase& c : kDrawCases) {
        SCOPED_TRACE(c.name);
        GdiBalance balance;
        Draw(c, canvas.Dc());
        const std::size_t first = balance.Created();
        EXPECT_GT(first, 0u);
        Draw(c, canvas.Dc());
        EXPECT_EQ(balance.Created(), 2 * first);
        EXPECT_EQ(balance.Live(), 0u);
    }
}

}  // namespace
}  // namespace kov::test
