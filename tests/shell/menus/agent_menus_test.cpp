// BuildMenus with the program's real icons: the two menus' items, their data,
// and the shared image list with its six icons in command order.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "menu_test_support.h"
#include "shell/agent_menus.h"
#include "shell/res/resource.h"

namespace kov::test {
namespace {

struct ExpectedItem {
    UINT id;
    const char* text;  // null for a separator
};

MENUITEMINFOA ItemInfo(HMENU menu, int position) {
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_DATA | MIIM_STATE | MIIM_SUBMENU;
    ::GetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, &info);
    return info;
}

void ExpectItems(HMENU menu, const std::vector<ExpectedItem>& expected) {
    ASSERT_EQ(::GetMenuItemCount(menu), static_cast<int>(expected.size()));
    for (std::size_t position = 0; position < expected.size(); ++position) {
        SCOPED_TRACE(position);
        const MENUITEMINFOA info = ItemInfo(menu, static_cast<int>(position));
        const ExpectedItem& item = expected[position];
        EXPECT_EQ(info.wID, item.id);
        EXPECT_TRUE(info.fType & MFT_OWNERDRAW);
        EXPECT_EQ((info.fType & MFT_SEPARATOR) != 0, item.text == nullptr);
        // The system itself marks separators grayed; no command is.
        EXPECT_EQ(info.fState & (MFS_CHECKED | MFS_DEFAULT), 0u);
        if (item.text) {
            EXPECT_EQ(info.fState & MFS_GRAYED, 0u);
        }
        EXPECT_EQ(info.hSubMenu, nullptr);
        const auto* data = reinterpret_cast<const char*>(info.dwItemData);
        ASSERT_NE(data, nullptr);
        if (item.text) {
            EXPECT_EQ(data, item.text) << "the address of the kept text, not a copy";
        } else {
            EXPECT_STREQ(data, "") << "separators carry an empty text";
        }
    }
}

TEST(BuildMenusTest, BuildsBothMenusOverTheKeptTexts) {
    const Texts texts;
    AgentMenus menus;
    ASSERT_EQ(menus.BuildMenus(texts), TRUE);
    auto text = [&texts](TextId id) { return texts[id].c_str(); };
    ExpectItems(menus.mainMenu.Handle(), {
                                             {ID_STATUS_ONLINE, text(TextId::Online)},
                                             {ID_STATUS_AWAY, text(TextId::Away)},
                                             {ID_STATUS_OFFLINE, text(TextId::Offline)},
                                             {0, nullptr},
                                             {ID_ABOUT, text(TextId::About)},
                                             {0, nullptr},
                                             {ID_SIGN_IN_OUT, text(TextId::SignOut)},
                                             {ID_CLOSE, text(TextId::Close)},
                                         });
    ExpectItems(menus.signedOutMenu.Handle(), {
                                                  {ID_ABOUT, text(TextId::About)},
                                                  {0, nullptr},
                                                  {ID_SIGN_IN_OUT, text(TextId::SignIn)},
                                                  {ID_CLOSE, text(TextId::Close)},
                                              });
    EXPECT_STREQ(text(TextId::SignIn), "\xC2\xF5\xEE\xE4");  // "Вход"
    EXPECT_EQ(Menu::FromHandle(menus.mainMenu.Handle()), &menus.mainMenu);
    EXPECT_EQ(Menu::FromHandle(menus.signedOutMenu.Handle()), &menus.signedOutMenu);
}

TEST(BuildMenusTest, BothMenusShareOneSixteenPixelList) {
    const Texts texts;
    AgentMenus menus;
    ASSERT_EQ(menus.BuildMenus(texts), TRUE);
    EXPECT_EQ(menus.mainMenu.imageList(), &menus.menuImages);
    EXPECT_EQ(menus.signedOutMenu.imageList(), &menus.menuImages);
    EXPECT_EQ(menus.mainMenu.sideWidth(), 10);
    EXPECT_EQ(menus.signedOutMenu.sideWidth(), 10);
    ASSERT_EQ(menus.menuImages.Count(), 6);
    int width = 0;
    int height = 0;
    ASSERT_TRUE(::ImageList_GetIconSize(menus.menuImages.Handle(), &width, &height));
    EXPECT_EQ(width, 16);
    EXPECT_EQ(height, 16);
    IMAGEINFO info{};
    ASSERT_TRUE(::ImageList_GetImageInfo(menus.menuImages.Handle(), 0, &info));
    EXPECT_NE(info.hbmMask, nullptr) << "a masked list";
    BITMAP colour{};
    ::GetObjectA(info.hbmImage, sizeof colour, &colour);
    EXPECT_EQ(colour.bmBitsPixel, 32);
}

// One image drawn on a background, as its 256 pixels.
std::vector<COLORREF> Pixels(HIMAGELIST list, int index, COLORREF background) {
    Canvas canvas(16, 16, background);
    ::ImageList_Draw(list, index, canvas.Dc(), 0, 0, ILD_NORMAL);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) pixels.push_back(canvas.Pixel(x, y));
    }
    return pixels;
}

// Image i is the resource icon of command 300 + i, loaded at the list's size
// from the frame drawn for it.
TEST(BuildMenusTest, ImagesFollowTheCommandOrder) {
    const Texts texts;
    AgentMenus menus;
    ASSERT_EQ(menus.BuildMenus(texts), TRUE);
    constexpr std::array<UINT, 6> kIcons = {IDI_ONLINE, IDI_AWAY, IDI_OFFLINE,
                                            IDI_ABOUT, IDI_SIGN_IN_OUT, IDI_CLOSE};
    std::vector<std::vector<COLORREF>> images;
    for (int index = 0; index < 6; ++index) {
        SCOPED_TRACE(index);
        ImageList reference;
        reference.Create(16, 16, ILC_COLOR32 | ILC_MASK, 0, 1);
        const UniqueIcon icon(static_cast<HICON>(::LoadImageW(
            ::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIcons[index]), IMAGE_ICON, 16, 16, 0)));
        ASSERT_EQ(reference.ReplaceIcon(-1, icon.Get()), 0);
        for (const COLORREF background : {RGB(0, 0, 0), RGB(255, 255, 255)}) {
            EXPECT_EQ(Pixels(menus.menuImages.Handle(), index, background),
                      Pixels(reference.Handle(), 0, background));
        }
        images.push_back(Pixels(menus.menuImages.Handle(), index, RGB(1, 2, 3)));
    }
    for (int a = 0; a < 6; ++a) {
        for (int b = a + 1; b < 6; ++b) EXPECT_NE(images[a], images[b]) << a << " vs " << b;
    }
    EXPECT_EQ(images[3], std::vector<COLORREF>(256, RGB(1, 2, 3))) << "About is fully transparent";
}

// With the agent's menus: the icon at item.left + 3, top + 2 (the Online icon
// has transparent corners and an opaque inside), and the About item's square
// left in backColor.
TEST(BuildMenusTest, RealIconsLandInTheSquareAndAboutStaysEmpty) {
    const Texts texts;
    AgentMenus menus;
    ASSERT_EQ(menus.BuildMenus(texts), TRUE);
    constexpr COLORREF kBack = RGB(255, 255, 250);
    constexpr RECT kItem{40, 30, 200, 51};
    Canvas canvas(220, 80, RGB(1, 2, 3));
    menus.mainMenu.DrawItem(DrawRecord(canvas.Dc(), kItem, ID_STATUS_ONLINE,
                                       texts[TextId::Online].c_str(), ODA_DRAWENTIRE, 0));
    const std::vector<COLORREF> online = Pixels(menus.menuImages.Handle(), 0, kBack);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            ASSERT_EQ(canvas.Pixel(kItem.left + 3 + x, kItem.top + 2 + y), online[y * 16 + x])
                << x << ", " << y;
        }
    }
    EXPECT_EQ(online[0], kBack) << "transparent corner";
    EXPECT_NE(online[8 * 16 + 8], kBack) << "opaque middle";

    canvas.Fill(RGB(1, 2, 3));
    menus.signedOutMenu.DrawItem(DrawRecord(canvas.Dc(), kItem, ID_ABOUT,
                                            texts[TextId::About].c_str(), ODA_DRAWENTIRE, 0));
    EXPECT_EQ(canvas.CountOther(RECT{kItem.left + 3, kItem.top + 2, kItem.left + 19, kItem.top + 18}, kBack),
              0);
    menus.signedOutMenu.DrawItem(DrawRecord(canvas.Dc(), kItem, ID_ABOUT,
                                            texts[TextId::About].c_str(), ODA_SELECT, ODS_SELECTED));
    EXPECT_EQ(canvas.CountOther(RECT{kItem.left + 3, kItem.top + 2, kItem.left + 19, kItem.top + 18}, kBack),
              0)
        << "also when selected: the square is not part of the highlight";
}

TEST(BuildMenusTest, RebuildingReplacesTheMenusAndTheirEndDestroysThem) {
    const Texts texts;
    HMENU first = nullptr;
    HMENU rebuilt = nullptr;
    HMENU signedOut = nullptr;
    {
        AgentMenus menus;
        ASSERT_EQ(menus.BuildMenus(texts), TRUE);
        first = menus.mainMenu.Handle();
        ASSERT_EQ(menus.BuildMenus(texts), TRUE);
        rebuilt = menus.mainMenu.Handle();
        signedOut = menus.signedOutMenu.Handle();
        EXPECT_FALSE(::IsMenu(first));
        EXPECT_TRUE(::IsMenu(rebuilt));
        EXPECT_EQ(::GetMenuItemCount(rebuilt), 8);
        EXPECT_EQ(menus.menuImages.Count(), 6) << "a new list, not twelve images";
    }
    EXPECT_FALSE(::IsMenu(rebuilt));
    EXPECT_FALSE(::IsMenu(signedOut));
}

}  // namespace
}  // namespace kov::test
