#pragma once
// An owner-drawn popup menu in the agent's own colours, or in the system's
// colours while high contrast is on; a plain system menu for screen readers.
//
// Every owner-drawn item's data is an OwnerDrawnItem that the menu owns (its
// accessible name and its text); an empty text makes the item a separator.
// Texts are measured and drawn in the system's menu font. With icons attached
// each command shows the icon at index (command id - 300) and a checked item
// gets an accent fill and a check glyph at its right end. Without them a
// checked item gets the check glyph left of its text, and each item drawn
// entire repaints a vertical gradient side bar with a rotated title along the
// left edge of the drawing context. In high contrast there is no icon, fill
// or side bar: only the system's menu colours and the check glyph.
//
// UI thread only, like the menu handle it owns.
#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "winsupport/handles.h"
#include "shell/framework/menu.h"
#include "shell/menu_item_data.h"

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

    // A new, empty popup: owner-drawn items, or plain system items (text and
    // check marks drawn by Windows) for a screen reader.
    bool Create(bool plain);
    bool IsPlain() const { return plain_; }
    // A command with a Windows-1251 text that may mark its access key with '&'.
    bool AppendItem(UINT id, std::string_view text);
    bool AppendSeparator();

    // The system's colours only, for high contrast.
    void SetHighContrast(bool on) { highContrast_ = on; }
    bool HighContrast() const { return highContrast_; }

    // Item width and height for the platform's WM_MEASUREITEM request.
    void MeasureItem(MEASUREITEMSTRUCT& item) override;
    // Paints one item for WM_DRAWITEM. The drawing context keeps its text
    // colour, background colour and selected objects; its background mode is
    // left transparent.
    void DrawItem(const DRAWITEMSTRUCT& item) override;
    // WM_MENUCHAR: the item whose access key was typed runs.
    bool MenuChar(wchar_t key, LRESULT& result) override;

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
    struct Palette {
        COLORREF back, text, select, selectText, disabled, line;
    };
    Palette Colours() const;
    COLORREF PaintFills(const DRAWITEMSTRUCT& item, const RECT& highlight, const Palette& colours) const;
    void PaintCheck(const DRAWITEMSTRUCT& item, const RECT& highlight, int textLeft, COLORREF& colour) const;
    void PaintSideBar(HDC dc) const;
    void DrawItemIcon(HDC dc, UINT itemId, int textLeft, int itemTop) const;

    int sideWidth_ = 0;
    const MenuIcons* icons_ = nullptr;
    bool plain_ = false;
    bool highContrast_ = false;
    // The data of the owner-drawn items, at fixed addresses.
    std::vector<std::unique_ptr<OwnerDrawnItem>> items_;
};

}  // namespace kov
