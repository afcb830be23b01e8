#include "shell/agent_menus.h"

#include <array>

#include "shell/res/resource.h"

namespace kov {
namespace {

// Separators carry the address of an empty text.
constexpr char kSeparatorText[] = "";

struct MenuItem {
    UINT id;  // 0 for a separator
    TextId text;
};
constexpr MenuItem kSeparator{0, TextId::Online};

constexpr std::array<MenuItem, 8> kMainItems = {{
    {ID_STATUS_ONLINE, TextId::Online},
    {ID_STATUS_AWAY, TextId::Away},
    {ID_STATUS_OFFLINE, TextId::Offline},
    kSeparator,
    {ID_ABOUT, TextId::About},
    kSeparator,
    {ID_SIGN_IN_OUT, TextId::SignOut},
    {ID_CLOSE, TextId::Close},
}};

constexpr std::array<MenuItem, 4> kSignedOutItems = {{
    {ID_ABOUT, TextId::About},
    kSeparator,
    {ID_SIGN_IN_OUT, TextId::SignIn},
    {ID_CLOSE, TextId::Close},
}};

// Icon index = command id - ID_STATUS_ONLINE.
constexpr std::array<UINT, 6> kItemIcons = {
    IDI_ONLINE, IDI_AWAY, IDI_OFFLINE, IDI_ABOUT, IDI_SIGN_IN_OUT, IDI_CLOSE,
};

template <std::size_t N>
bool CreateMenu(CSideBarMenu& menu, const std::array<MenuItem, N>& items, const Texts& texts) {
    if (!menu.CreatePopup()) return false;
    for (const MenuItem& item : items) {
        if (item.id == 0) {
            menu.Append(MF_SEPARATOR | MF_OWNERDRAW, 0, kSeparatorText);
        } else {
            menu.Append(MF_OWNERDRAW, item.id, texts[item.text].c_str());
        }
    }
    return true;
}

// The icons at the small-icon size (16 pixels at 100 %, 24 at 150 %), each
// from the frame drawn for that size. One that cannot be loaded stays empty,
// so the others keep their commands.
MenuIcons LoadItemIcons() {
    const HINSTANCE program = ::GetModuleHandleW(nullptr);
    MenuIcons loaded;
    loaded.size = ::GetSystemMetrics(SM_CXSMICON);
    for (const UINT iconId : kItemIcons) {
        loaded.icons.emplace_back(static_cast<HICON>(::LoadImageW(
            program, MAKEINTRESOURCEW(iconId), IMAGE_ICON, loaded.size, loaded.size, LR_DEFAULTCOLOR)));
    }
    return loaded;
}

}  // namespace

BOOL AgentMenus::BuildMenus(const Texts& texts) {
    if (!CreateMenu(mainMenu, kMainItems, texts)) return FALSE;
    menuIcons = LoadItemIcons();
    mainMenu.AttachIcons(&menuIcons);
    if (!CreateMenu(signedOutMenu, kSignedOutItems, texts)) return FALSE;
    signedOutMenu.AttachIcons(&menuIcons);
    return TRUE;
}

}  // namespace kov
