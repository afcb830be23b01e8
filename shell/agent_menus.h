#pragma once
// The agent's two tray menus and the item icons they share: mainMenu while
// signed in, signedOutMenu while signed out. Each opens with the consultant
// page, its default item, and gives every command an access key of its own.
// UI thread only.
#include <windows.h>

#include "core/texts.h"
#include "shell/side_bar_menu.h"

namespace kov {

class AgentMenus {
public:
    // Creates both menus (destroying earlier ones), owner-drawn or plain
    // (for a screen reader), and loads the six item icons from the program's
    // resources. The menus keep copies of the texts. TRUE when both popup
    // menus were created.
    BOOL BuildMenus(const Texts& texts, bool plain = false);
    bool IsPlain() const { return mainMenu.IsPlain(); }
    void SetHighContrast(bool on);

    // Destroyed in reverse order: signedOutMenu, the icons, then mainMenu.
    CSideBarMenu mainMenu;
    MenuIcons menuIcons;
    CSideBarMenu signedOutMenu;
};

}  // namespace kov
