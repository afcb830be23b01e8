#pragma once
// An owner-drawn popup menu in the agent's own colours.
//
// Every item's data is the address of its text (Windows-1251, NUL-terminated,
// kept alive by the caller as long as the menu exists); an empty text makes
// the item a separator. With icons attached each command shows the icon at
// index (command id - 300) and a checked item gets an accent fill. Without
// them a checked item gets the system check mark, and each item drawn entire
// repaints a vertical gradient side bar with a rotated title along the left
// edge of the drawing context.
#include <windows.h>

#include <string>
#include <vector>

#include "winsupport/handles.h"
#include "shell/framework/menu.h"

namespace kov {

// The icons shown left of a menu's commands: entry i for command 300 + i, each
// drawn `size` pixels square. An empty entry leaves its square empty.
struct MenuIcons {
    int size = 0;
    std::vector<UniqueIcon> icons;
};

class CSideBarMenu : public Menu {
public:
    // The title is drawn upwards in the side bar; the agent leaves it empty.
    explicit CSideBarMenu(std::string sideTitle = {});

    // Width 10 and the given icons, which the menu does not own. Null keeps
    // the check-mark and side-bar mode with the 10-pixel side bar.
    void AttachIcons(const MenuIcons* icons);

    // Item width and height for the platform's WM_MEASUREITEM request.
    void MeasureItem(MEASUREITEMSTRUCT& item) override;
    // Paints one item for WM_DRAWITEM. The drawing context keeps its text
    // colour, background colour and selected objects; its background mode is
    // left transparent.
    void DrawItem(const DRAWITEMSTRUCT& item) override;

    int sideWidth() const { return sideWidth_; }
    const MenuIcons* icons() const { return icons_; }

    // Colours are COLORREF values, 0x00BBGGRR.
    const std::string sideTitle;
    const COLORREF sideTitleColor = RGB(255, 255, 250);
    // Bottom of the side-bar gradient; fill of checked items with icons.
    const COLORREF accentColor = RGB(200, 210, 170);
    // Row 0 of the side-bar gradient.
    const COLORREF sideTopColor = RGB(200, 0, 0);
    // Item background and the icon square.
    const COLORREF backColor = RGB(255, 255, 250);
    const COLORREF selectColor = RGB(120, 135, 60);
    const COLORREF textColor = RGB(32, 32, 32);
    const COLORREF selectTextColor = RGB(255, 255, 255);
    const COLORREF disabledTextColor = RGB(160, 160, 160);

private:
    COLORREF PaintFills(const DRAWITEMSTRUCT& item, const RECT& highlight) const;
    void PaintSideBar(HDC dc) const;
    void DrawItemIcon(HDC dc, UINT itemId, int textLeft, int itemTop) const;

    int sideWidth_ = 0;
    const MenuIcons* icons_ = nullptr;
};

}  // namespace kov
