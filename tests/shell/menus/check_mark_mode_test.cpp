// Drawing without icons: the check glyph, the gradient side bar
// with its rotated title, and the text colours and fonts of both modes.
#define OEMRESOURCE
#include <gtest/gtest.h>

#include <vector>

#include "menu_test_support.h"
#include "shell/side_bar_menu.h"

namespace kov::test {
namespace {

constexpr COLORREF kSentinel = RGB(1, 2, 3);
constexpr COLORREF kBack = RGB(255, 255, 250);
constexpr COLORREF kSelect = RGB(120, 135, 60);
constexpr COLORREF kDarkText = RGB(32, 32, 32);
constexpr COLORREF kGrey = RGB(160, 160, 160);
constexpr COLORREF kTitle = RGB(255, 255, 250);

class CheckMarkModeTest : public ::testing::Test {
protected:
    void Draw(const char* text, UINT action, UINT state, const RECT& rect) {
        menu.DrawItem(DrawRecord(canvas.Dc(), rect, 300, text, action, state));
    }

    CSideBarMenu menu;
    Canvas canvas{200, 100, kSentinel};
};

// The check glyph stands in the 13 columns left of the text (side width 0),
// in the colour of the text: dark on the background, white on the selection.
TEST_F(CheckMarkModeTest, CheckGlyphStandsLeftOfTheTextInTheTextColour) {
    constexpr RECT kItem{20, 30, 150, 52};
    constexpr RECT kGlyphBox{kItem.left, kItem.top, kItem.left + 13, kItem.bottom};
    for (const UINT selection : {0u, static_cast<UINT>(ODS_SELECTED)}) {
        SCOPED_TRACE(selection);
        const COLORREF fill = selection ? kSelect : kBack;
        const COLORREF glyph = selection ? RGB(255, 255, 255) : kDarkText;
        canvas.Fill(kSentinel);
        Draw(" ", ODA_DRAWENTIRE, ODS_CHECKED | selection, kItem);
        const int glyphPixels = canvas.Count(kGlyphBox, glyph);
        EXPECT_GT(glyphPixels, 5);
        EXPECT_EQ(glyphPixels + canvas.Count(kGlyphBox, fill), 13 * 22) << "unsmoothed, on the fill";
    }
}

TEST_F(CheckMarkModeTest, UncheckedItemsAndSeparatorsGetNoMark) {
    constexpr RECT kItem{20, 30, 150, 52};
    Draw(" ", ODA_DRAWENTIRE, 0, kItem);
    Draw("", ODA_DRAWENTIRE, ODS_CHECKED, RECT{20, 60, 150, 66});
    EXPECT_EQ(canvas.CountOther(RECT{20, 30, 35, 52}, kBack), 0);
    EXPECT_EQ(canvas.Count(RECT{20, 60, 35, 66}, kDarkText), 0) << "no mark on a separator";
}

TEST_F(CheckMarkModeTest, NoSideBarPixelWithTheInitialWidth) {
    constexpr RECT kItem{20, 30, 150, 52};
    Draw(kOnlineText, ODA_DRAWENTIRE, 0, kItem);
    EXPECT_EQ(canvas.CountOther(RECT{0, 0, 20, canvas.Height()}, kSentinel), 0);
    EXPECT_GT(canvas.Count(RECT{35, 30, 150, 52}, kDarkText), 0) << "the item itself is drawn";
}

// With a clip box from row 0 to row 100 (a canvas 100 rows high) each row y
// is sideTop + (accent - sideTop) * y / 100, channel by channel.
TEST_F(CheckMarkModeTest, SideBarGradientRunsOverTheClipBox) {
    menu.AttachIcons(nullptr);  // width 10, still without icons
    constexpr RECT kItem{20, 30, 150, 52};
    Draw(kOnlineText, ODA_DRAWENTIRE, 0, kItem);
    for (const int x : {0, 9}) {
        EXPECT_EQ(canvas.Pixel(x, 0), RGB(200, 0, 0)) << "sideTopColor at row 0";
        EXPECT_EQ(canvas.Pixel(x, 50), RGB(200, 105, 85));
        EXPECT_EQ(canvas.Pixel(x, 99), RGB(200, 207, 168)) << "quotients truncated";
    }
    EXPECT_EQ(canvas.Count(RECT{0, 0, 10, 100}, kSentinel), 0) << "every row, far from the item";
    EXPECT_EQ(canvas.CountOther(RECT{10, 0, 20, 100}, kSentinel), 0) << "ten pixels wide";
}

// Rows count in the drawing context's coordinates, not from the clip top, and
// channel values beyond 255 wrap: with a clip box from row 40 to 60 row 50
// has G = 210 * 50 / 20 = 525 -> 13 and B = 170 * 50 / 20 = 425 -> 169.
TEST_F(CheckMarkModeTest, SideBarRowsCountFromTheContextOriginAndWrap) {
    menu.AttachIcons(nullptr);
    ::IntersectClipRect(canvas.Dc(), 0, 40, canvas.Width(), 60);
    Draw(kOnlineText, ODA_DRAWENTIRE, 0, RECT{20, 40, 150, 60});
    EXPECT_EQ(canvas.Pixel(5, 50), RGB(200, 13, 169));
    EXPECT_EQ(canvas.Pixel(5, 40), RGB(200, 164, 84)) << "row 40: G 420, B 340";
    EXPECT_EQ(canvas.Pixel(5, 39), kSentinel);
    EXPECT_EQ(canvas.Pixel(5, 60), kSentinel);
}

// An empty clip region gives a clip box of zero height: no row is painted and
// no division by that height is made.
TEST_F(CheckMarkModeTest, SideBarWithAZeroHeightClipBoxPaintsNoRow) {
    menu.AttachIcons(nullptr);
    ::IntersectClipRect(canvas.Dc(), 0, 50, canvas.Width(), 50);
    RECT clip{};
    ASSERT_EQ(::GetClipBox(canvas.Dc(), &clip), NULLREGION);
    ASSERT_EQ(clip.bottom - clip.top, 0);
    Draw(kOnlineText, ODA_DRAWENTIRE, 0, RECT{20, 40, 150, 60});
    EXPECT_EQ(canvas.CountOther(RECT{0, 0, canvas.Width(), canvas.Height()}, kSentinel), 0);
}

TEST_F(CheckMarkModeTest, SideBarIsPaintedOnlyWhenDrawnEntire) {
    menu.AttachIcons(nullptr);
    Draw(kOnlineText, ODA_SELECT, ODS_SELECTED, RECT{20, 30, 150, 52});
    EXPECT_EQ(canvas.CountOther(RECT{0, 0, 20, canvas.Height()}, kSentinel), 0);
    EXPECT_EQ(canvas.Pixel(30, 30), kSelect) << "highlight from item.left + 10 without icons";
    EXPECT_EQ(canvas.Pixel(29, 30), kSentinel);
}

// The title runs upwards from the bottom of the clip box, in bold, in its own
// colour; with the default empty title the side bar holds the gradient only.
TEST_F(CheckMarkModeTest, SideBarTitleIsDrawnUpwardsAtTheBottom) {
    Canvas tall(200, 300, kSentinel);
    CSideBarMenu titled("KOVARENTIS");
    titled.AttachIcons(nullptr);
    titled.DrawItem(DrawRecord(tall.Dc(), RECT{30, 10, 150, 32}, 300, kOnlineText, ODA_DRAWENTIRE, 0));

    RECT ink{tall.Width(), tall.Height(), 0, 0};
    for (int y = 0; y < tall.Height(); ++y) {
        for (int x = 0; x < 30; ++x) {
            if (tall.Pixel(x, y) != kTitle) continue;
            ink = RECT{std::min<LONG>(ink.left, x), std::min<LONG>(ink.top, y),
                       std::max<LONG>(ink.right, x + 1), std::max<LONG>(ink.bottom, y + 1)};
        }
    }
    ASSERT_LT(ink.left, ink.right) << "title pixels found";
    EXPECT_GE(ink.left, 3) << "three pixels from the left edge";
    EXPECT_GT(ink.bottom - ink.top, 2 * (ink.right - ink.left)) << "a vertical run of letters";
    EXPECT_GT(ink.top, tall.Height() / 2) << "anchored at the bottom";

    menu.AttachIcons(nullptr);
    canvas.Fill(kSentinel);
    Draw(kOnlineText, ODA_DRAWENTIRE, 0, RECT{30, 10, 150, 32});
    EXPECT_EQ(canvas.Count(RECT{0, 0, 30, canvas.Height()}, kTitle), 0);
}

TEST_F(CheckMarkModeTest, GrayedAndDisabledItemsUseTheDisabledColour) {
    constexpr RECT kText{35, 30, 150, 52};
    for (const UINT state : {static_cast<UINT>(ODS_GRAYED), static_cast<UINT>(ODS_DISABLED),
                             static_cast<UINT>(ODS_GRAYED | ODS_SELECTED)}) {
        SCOPED_TRACE(state);
        canvas.Fill(kSentinel);
        Draw(kOnlineText, ODA_DRAWENTIRE, state, RECT{20, 30, 150, 52});
        EXPECT_GT(canvas.Count(kText, kGrey), 0);
        EXPECT_EQ(canvas.Count(kText, kDarkText), 0);
        EXPECT_EQ(canvas.Count(kText, RGB(255, 255, 255)), 0);
    }
}

// The default item is drawn in the menu font at weight 700; other items in
// whatever font the drawing context has (here the menu font at its own weight).
TEST_F(CheckMarkModeTest, DefaultItemIsBoldInTheMenuFont) {
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = 340;
    ASSERT_TRUE(::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, 340, &metrics, 0));
    metrics.lfMenuFont.lfWeight = FW_NORMAL;
    const HFONT normal = ::CreateFontIndirectA(&metrics.lfMenuFont);
    const HGDIOBJ previous = ::SelectObject(canvas.Dc(), normal);

    constexpr RECT kPlainItem{20, 10, 200, 32};
    constexpr RECT kDefaultItem{20, 50, 200, 72};
    Draw(kAboutText, ODA_DRAWENTIRE, 0, kPlainItem);
    Draw(kAboutText, ODA_DRAWENTIRE, ODS_DEFAULT, kDefaultItem);
    const int plainInk = canvas.CountOther(RECT{35, 10, 200, 32}, kBack);
    const int boldInk = canvas.CountOther(RECT{35, 50, 200, 72}, kBack);
    EXPECT_GT(plainInk, 0);
    EXPECT_GT(boldInk, plainInk + plainInk / 5);
    EXPECT_EQ(::GetCurrentObject(canvas.Dc(), OBJ_FONT), normal);

    ::SelectObject(canvas.Dc(), previous);
    ::DeleteObject(normal);
}

}  // namespace
}  // namespace kov::test
