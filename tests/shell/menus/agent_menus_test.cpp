// BuildMenus with the program's real icons: the two menus' items, their
// accessible names, the plain menus for screen readers, and the six shared icons in command order, drawn as the image list the menus
// once held drew them.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <oleacc.h>

#include <array>
#include <string>
#include <vector>

#include "menu_test_support.h"
#include "shell/agent_menus.h"
#include "shell/res/resource.h"

namespace kov::test {
namespace {

struct ExpectedItem {
    UINT id;
    const wchar_t* name;  // null for a separator
};

MENUITEMINFOW ItemInfo(HMENU menu, int position) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_DATA | MIIM_STATE | MIIM_SUBMENU;
    ::GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info);
    return info;
}

// The name a screen reader reads: the MSAAMENUINFO at the item data's address.
std::wstring AccessibleName(ULONG_PTR itemData) {
    const auto* accessible = reinterpret_cast<const MSAAMENUINFO*>(itemData);
    if (!accessible || accessible->dwMSAASignature != MSAA_MENU_SIG) return L"<no MSAAMENUINFO>";
    return std::wstring(accessible->pszWText, accessible->cchWText);
}

// Commands are owner-drawn with their names; the consultant page is the
// default item.
void ExpectItems(HMENU menu, const std::vector<ExpectedItem>& expected) {
    ASSERT_EQ(::GetMenuItemCount(menu), static_cast<int>(expected.size()));
    for (std::size_t position = 0; position < expected.size(); ++position) {
        SCOPED_TRACE(position);
        const MENUITEMINFOW info = ItemInfo(menu, static_cast<int>(position));
        const ExpectedItem& item = expected[position];
        EXPECT_EQ(info.wID, item.id);
        EXPECT_TRUE(info.fType & MFT_OWNERDRAW);
        EXPECT_EQ((info.fType & MFT_SEPARATOR) != 0, item.name == nullptr);
        EXPECT_EQ((info.fState & MFS_DEFAULT) != 0, item.id == ID_OPEN_CONSULT_PAGE);
        EXPECT_EQ(info.fState & MFS_CHECKED, 0u);
        EXPECT_EQ(info.hSubMenu, nullptr);
        EXPECT_EQ(AccessibleName(info.dwItemData), item.name ? item.name : L"");
    }
}

TEST(BuildMenusTest, EveryItemCarriesItsAccessibleNameWithItsAccessKey) {
    const Texts texts;
    AgentMenus menus;
    ASSERT_EQ(menus.BuildMenus(texts), TRUE);
    ExpectItems(menus.mainMenu.Handle(), {
                                             {ID_OPEN_CONSULT_PAGE, L"&Открыть страницу консультаций"},
                                             {0, nullptr},
                                             {ID_STATUS_ONLINE, L"О&нлайн"},
                                             {ID_STATUS_AWAY, L"О&тошел"},
                                             {ID_STATUS_OFFLINE, L"О&ффлайн"},
                                             {0, nullptr},
                                             {ID_ABOUT, L"О &программе..."},
                                             {0, nullptr},
                                             {ID_SIGN_IN_OUT, L"&Выйти"},
                                             {ID_CLOSE, L"&Закрыть"},
                                         });
    ExpectItems(menus.signedOutMenu.Handle(), {
                                                  {ID_OPEN_CONSULT_PAGE, L"&Открыть страницу консультаций"},
                                                  {0, nullptr},
                                                  {ID_ABOUT, L"О &программе..."},
                                                  {0, nullptr},
                                                  {ID_SIGN_IN_OUT, L"&Вход"},
                                                  {ID_CLOSE, L"&Закрыть"},
                                              });
    EXPECT_EQ(Menu::FromHandle(menus.mainMenu.Handle()), &menus.mainMenu);
    EXPECT_EQ(Menu::FromHandle(menus.signedOutMenu.Handle()), &menus.signedOutMenu);
}

// For a screen reader Windows draws the items itself, with their texts.
TEST(BuildMenusTest, PlainMenusAreSystemItemsWithTheirTexts) {
    const Texts texts;
    AgentMenus menus;
    ASSERT_EQ(menus.BuildMenus(texts, true), TRUE);
    EXPECT_TRUE(menus.IsPlain());
    const HMENU menu = menus.signedOutMenu.Handle();
    ASSERT_EQ(::GetMenuItemCount(menu), 6);
    for (const int position : {0, 2, 4, 5}) {
        SCOPED_TRACE(position);
        EXPECT_EQ(ItemInfo(menu, position).fType & (MFT_OWNERDRAW | MFT_SEPARATOR), 0u);
    }
    EXPECT_TRUE(ItemInfo(menu, 1).fType & MFT_SEPARATOR);
    EXPECT_TRUE(ItemInfo(menu, 0).fState & MFS_DEFAULT);
    wchar_t text[64]{};
    ::GetMenuStringW(menu, ID_SIGN_IN_OUT, text, 64, MF_BYCOMMAND);
    EXPECT_STREQ(text, L"&Вход");
}

TEST(BuildMenusTest, BothMenusShareSixSixteenPixelIcons) {
    const Texts texts;
    AgentMenus menus;
    ASSERT_EQ(menus.BuildMenus(texts), TRUE);
    EXPECT_EQ(menus.mainMenu.icons(), &menus.menuIcons);
    EXPECT_EQ(menus.signedOutMenu.icons(), &menus.menuIcons);
    EXPECT_EQ(menus.mainMenu.sideWidth(), 10);
    EXPECT_EQ(menus.signedOutMenu.sideWidth(), 10);
    EXPECT_EQ(menus.menuIcons.size, 16);
    ASSERT_EQ(menus.menuIcons.icons.size(), 6u);
    for (const UniqueIcon& icon : menus.menuIcons.icons) {
        ICONINFO info{};
        ASSERT_TRUE(::GetIconInfo(icon.Get(), &info));
        const UniqueBitmap mask(info.hbmMask);
        const UniqueBitmap colour(info.hbmColor);
        BITMAP size{};
        ::GetObjectA(colour.Get(), sizeof size, &size);
        EXPECT_EQ(size.bmWidth, 16) << "loaded from the 16-pixel frame, not scaled at drawing";
        EXPECT_EQ(size.bmHeight, 16);
    }
}

// An icon drawn at its size on a background, as its pixels.
std::vector<COLORREF> Pixels(HICON icon, int size, COLORREF background) {
    Canvas canvas(size, size, background);
    ::DrawIconEx(canvas.Dc(), 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) pixels.push_back(canvas.Pixel(x, y));
    }
    return pixels;
}

UniqueIcon ResourceIcon(UINT iconId, int size) {
    return UniqueIcon(static_cast<HICON>(
        ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(iconId), IMAGE_ICON, size, size, 0)));
}

// How the menus used to draw an item icon: copied into a masked 32-bit image
// list of the icon size, taken out again as a new icon and drawn at that size.
std::vector<COLORREF> ImageListPixels(UINT iconId, int size, COLORREF background) {
    const HIMAGELIST list = ::ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 0, 1);
    ::ImageList_ReplaceIcon(list, -1, ResourceIcon(iconId, size).Get());
    const UniqueIcon copy(::ImageList_GetIcon(list, 0, 0));
    ::ImageList_Destroy(list);
    return Pixels(copy.Get(), size, background);
}

constexpr std::array<UINT, 6> kIcons = {IDI_ONLINE, IDI_AWAY, IDI_OFFLINE, IDI_ABOUT, IDI_SIGN_IN_OUT, IDI_CLOSE};

// Icon i is the resource icon of command 300 + i, from its 16-pixel frame.
TEST(BuildMenusTest, IconsFollowTheCommandOrder) {
    const Texts texts;
    AgentMenus menus;
    ASSERT_EQ(menus.BuildMenus(texts), TRUE);
    std::vector<std::vector<COLORREF>> drawn;
    for (int index = 0; index < 6; ++index) {
        SCOPED_TRACE(index);
        const HICON icon = menus.menuIcons.icons[index].Get();
        for (const COLORREF background : {RGB(0, 0, 0), RGB(255, 255, 255)}) {
            EXPECT_EQ(Pixels(icon, 16, background), Pixels(ResourceIcon(kIcons[index], 16).Get(), 16, background));
        }
        drawn.push_back(Pixels(icon, 16, RGB(1, 2, 3)));
    }
    for (int a = 0; a < 6; ++a) {
        for (int b = a + 1; b < 6; ++b) EXPECT_NE(drawn[a], drawn[b]) << a << " vs " << b;
    }
    EXPECT_EQ(drawn[3], std::vector<COLORREF>(256, RGB(1, 2, 3))) << "About is fully transparent";
}

constexpr COLORREF kBack = RGB(255, 255, 250);

// The square of an item drawn by the menu, as its pixels.
std::vector<COLORREF> SquarePixels(CSideBarMenu& menu, UINT command, const char* text, int size) {
    constexpr RECT kItem{40, 30, 200, 61};
    Canvas canvas(220, 80, RGB(1, 2, 3));
    menu.DrawItem(DrawRecord(canvas.Dc(), kItem, command, text, ODA_DRAWENTIRE, 0));
    std::vector<COLORREF> pixels;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) pixels.push_back(canvas.Pixel(kItem.left + 3 + x, kItem.top + 2 + y));
    }
    return pixels;
}

// With the agent's menus every item's square holds what the image list used
// to draw there (the Online icon has transparent corners and an opaque
// inside), and the About item's square stays in backColor.
TEST(BuildMenusTest, RealIconsLookAsTheImageListDrewThem) {
    const Texts texts;
    AgentMenus menus;
    ASSERT_EQ(menus.BuildMenus(texts), TRUE);
    for (int index = 0; index < 6; ++index) {
        SCOPED_TRACE(index);
        EXPECT_EQ(SquarePixels(menus.mainMenu, 300 + index, kOnlineText, 16), ImageListPixels(kIcons[index], 16, kBack));
    }
    const std::vector<COLORREF> online = ImageListPixels(IDI_ONLINE, 16, kBack);
    EXPECT_EQ(online[0], kBack) << "transparent corner";
    EXPECT_NE(online[8 * 16 + 8], kBack) << "opaque middle";
    EXPECT_EQ(SquarePixels(menus.signedOutMenu, ID_ABOUT, texts[TextId::About].c_str(), 16),
              std::vector<COLORREF>(256, kBack));
}

// At 150 % the icons come from their 24-pixel frames, PNG images with an alpha
// channel: blended onto the square as the image list blended them.
TEST(BuildMenusTest, TwentyFourPixelFramesLookAsTheImageListDrewThem) {
    MenuIcons icons;
    icons.size = 24;
    for (const UINT iconId : kIcons) icons.icons.push_back(ResourceIcon(iconId, 24));
    CSideBarMenu menu;
    menu.AttachIcons(&icons);
    for (int index = 0; index < 6; ++index) {
        SCOPED_TRACE(index);
        EXPECT_EQ(SquarePixels(menu, 300 + index, kOnlineText, 24), ImageListPixels(kIcons[index], 24, kBack));
    }
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
        EXPECT_EQ(::GetMenuItemCount(rebuilt), 10);
        EXPECT_EQ(menus.menuIcons.icons.size(), 6u) << "loaded anew, not twelve icons";
    }
    EXPECT_FALSE(::IsMenu(rebuilt));
    EXPECT_FALSE(::IsMenu(signedOut));
}

}  // namespace
}  // namespace kov::test
