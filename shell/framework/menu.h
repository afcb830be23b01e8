#pragma once
// A popup menu that owns its menu handle. Derived menus draw their own items:
// while the menu is tracked, its owner window routes the owner-draw requests
// to MeasureItem and DrawItem (see Window).
#include <windows.h>

#include "winsupport/handles.h"

namespace kov {

class Menu {
public:
    Menu() = default;
    // Destroys the menu handle.
    virtual ~Menu();

    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    HMENU Handle() const { return menu_.Get(); }

    // The Menu object that owns a menu handle, or null.
    static Menu* FromHandle(HMENU menu);

    // Replaces the menu handle (if any) with a new, empty popup menu.
    bool CreatePopup();
    void Destroy();

    // As AppendMenu: with MF_OWNERDRAW, item is the item data (the address of
    // the item's Windows-1251 text in this program), otherwise the text, which
    // the menu gets as Unicode.
    bool Append(UINT flags, UINT_PTR id, const char* item);
    // As CheckMenuItem: the previous check state, or (DWORD)-1 without such an item.
    DWORD CheckItem(UINT item, UINT flags);
    bool SetDefaultItem(UINT item, bool byPosition);
    // The command id of the item at a position; (UINT)-1 for none.
    UINT ItemId(int position) const;

    // Shows the menu as TrackPopupMenu does and returns its result. While it is
    // open, the owner (when it is a Window) routes owner-draw requests here.
    BOOL TrackPopup(UINT flags, int x, int y, HWND owner);
    // The last TrackPopup ended with Esc, which Windows reports as no choice.
    bool EndedByEscape() const { return endedByEscape_; }

    // This menu, or the sub-menu of it, that holds an item with the given
    // command id (separators have id 0); null when none does.
    Menu* FindMenuHolding(UINT itemId);

    // Owner-draw handlers; the plain menu draws nothing itself.
    virtual void MeasureItem(MEASUREITEMSTRUCT& /*item*/) {}
    virtual void DrawItem(const DRAWITEMSTRUCT& /*item*/) {}
    // A typed character while the menu is open (WM_MENUCHAR); false leaves it
    // to Windows, which matches only the texts of plain items.
    virtual bool MenuChar(wchar_t /*key*/, LRESULT& /*result*/) { return false; }

private:
    UniqueMenu menu_;
    bool endedByEscape_ = false;
};

}  // namespace kov
