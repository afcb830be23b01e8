#pragma once
// The agent's two tray menus and the item icons they share: mainMenu while
// signed in, signedOutMenu while signed out.
#include <windows.h>

#include "core/texts.h"
#include "shell/side_bar_menu.h"

namespace kov {

class AgentMenus {
public:
    // Creates both menus (destroying earlier ones) and loads the six item
    // icons from the program's resources. Item data points into
    // `texts`, which must outlive the menus and stay unchanged. TRUE when both
    // popup menus were created.
    BOOL BuildMenus(const Texts& texts);

    // Destroyed in reverse order: signedOutMenu, the icons, then mainMenu.
    CSideBarMenu mainMenu;
    MenuIcons menuIcons;
    CSideBarMenu signedOutMenu;
};

}  // namespace kov
