#include "shell/agent_menus.h"

#include <array>
#include <cstddef>
#include <string>

#include "shell/res/resource.h"

namespace kov {
namespace {

struct MenuItem {
    UINT id;  // 0 for a separator
    TextId text;
    // The position of the access key's letter in the text: the texts are
    // shared with the tooltip, so the '&' is put in here, for the menus only.
    std::size_t accessKeyAt;
};
constexpr MenuItem kSeparator{0, TextId::Online, 0};

// Access keys, one letter per menu: Открыть, оНлайн, оТошел, оФфлайн,
// о Программе, Выйти / Вход, Закрыть.
constexpr std::array<MenuItem, 10> kMainItems = {{
    {ID_OPEN_CONSULT_PAGE, TextId::OpenConsultPage, 0},
    kSeparator,
    {ID_STATUS_ONLINE, TextId::Online, 1},
    {ID_STATUS_AWAY, TextId::Away, 1},
    {ID_STATUS_OFFLINE, TextId::Offline, 1},
    kSeparator,
    {ID_ABOUT, TextId::About, 2},
    kSeparator,
    {ID_SIGN_IN_OUT, TextId::SignOut, 0},
    {ID_CLOSE, TextId::Close, 0},
}};

constexpr std::array<MenuItem, 6> kSignedOutItems = {{
    {ID_OPEN_CONSULT_PAGE, TextId::OpenConsultPage, 0},
    kSeparator,
    {ID_ABOUT, TextId::About, 2},
    kSeparator,
    {ID_SIGN_IN_OUT, TextId::SignIn, 0},
    {ID_CLOSE, TextId::Close, 0},
}};

// Icon index = command id - ID_STATUS_ONLINE.
constexpr std::array<UINT, 6> kItemIcons = {
    IDI_ONLINE, IDI_AWAY, IDI_OFFLINE, IDI_ABOUT, IDI_SIGN_IN_OUT, IDI_CLOSE,
};

// A text longer than the position (a shorter translation) goes without a key.
std::string WithAccessKey(std::string text, std::size_t at) {
    if (at < text.size()) text.insert(at, 1, '&');
    return text;
}

template <std::size_t N>
bool CreateMenu(CSideBarMenu& menu, const std::array<MenuItem, N>& items, const Texts& texts, bool plain) {
    if (!menu.Create(plain)) return false;
    for (const MenuItem& item : items) {
        if (item.id == 0) {
            menu.AppendSeparator();
        } else {
            menu.AppendItem(item.id, WithAccessKey(texts[item.text], item.accessKeyAt));
        }
    }
    menu.SetDefaultItem(ID_OPEN_CONSULT_PAGE, false);
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

BOOL AgentMenus::BuildMenus(const Texts& texts, bool plain) {
    if (!CreateMenu(mainMenu, kMainItems, texts, plain)) return FALSE;
    menuIcons = LoadItemIcons();
    mainMenu.AttachIcons(&menuIcons);
    if (!CreateMenu(signedOutMenu, kSignedOutItems, texts, plain)) return FALSE;
    signedOutMenu.AttachIcons(&menuIcons);
    return TRUE;
}

void AgentMenus::SetHighContrast(bool on) {
    mainMenu.SetHighContrast(on);
    signedOutMenu.SetHighContrast(on);
}

}  // namespace kov
