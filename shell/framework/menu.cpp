#include "shell/framework/menu.h"

#include <utility>

#include "shell/framework/window.h"
#include "winsupport/wide_text.h"

namespace kov {
namespace {

// The menu's own data field leads back from a handle to its Menu object.
void BindObject(HMENU menu, Menu* object) {
    MENUINFO info{};
    info.cbSize = sizeof info;
    info.fMask = MIM_MENUDATA;
    info.dwMenuData = reinterpret_cast<ULONG_PTR>(object);
    ::SetMenuInfo(menu, &info);
}

// The menu loop hands its messages to the thread's message filter, the one
// place where the Esc that closes a menu can be seen. A hook procedure gets no
// context of its own: the thread's flag stands in for it while a menu is open.
thread_local bool tEscapeInMenu = false;

LRESULT CALLBACK WatchMenuKeys(int code, WPARAM wParam, LPARAM lParam) {
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    if (code == MSGF_MENU && message->message == WM_KEYDOWN && message->wParam == VK_ESCAPE) {
        tEscapeInMenu = true;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

bool HoldsItem(HMENU menu, UINT itemId) {
    const int count = ::GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        if (!::GetSubMenu(menu, position) && ::GetMenuItemID(menu, position) == itemId) return true;
    }
    return false;
}

}  // namespace

Menu::~Menu() { Destroy(); }

Menu* Menu::FromHandle(HMENU menu) {
    if (!menu) return nullptr;
    MENUINFO info{};
    info.cbSize = sizeof info;
    info.fMask = MIM_MENUDATA;
    if (!::GetMenuInfo(menu, &info)) return nullptr;
    return reinterpret_cast<Menu*>(info.dwMenuData);
}

bool Menu::CreatePopup() {
    Destroy();
    menu_.Reset(::CreatePopupMenu());
    if (!menu_) return false;
    BindObject(menu_.Get(), this);
    return true;
}

void Menu::Destroy() {
    if (!menu_) return;
    BindObject(menu_.Get(), nullptr);
    menu_.Reset();
}

bool Menu::Append(UINT flags, UINT_PTR id, const char* item) {
    if (!menu_) return false;
    // Owner-drawn items and separators carry no text of the menu's own.
    if ((flags & (MF_OWNERDRAW | MF_SEPARATOR | MF_BITMAP)) != 0 || !item) {
        return ::AppendMenuW(menu_.Get(), flags, id, reinterpret_cast<LPCWSTR>(item)) != FALSE;
    }
    return ::AppendMenuW(menu_.Get(), flags, id, WideFrom1251(item).c_str()) != FALSE;
}

DWORD Menu::CheckItem(UINT item, UINT flags) {
    return menu_ ? ::CheckMenuItem(menu_.Get(), item, flags) : static_cast<DWORD>(-1);
}

bool Menu::SetDefaultItem(UINT item, bool byPosition) {
    return menu_ && ::SetMenuDefaultItem(menu_.Get(), item, byPosition ? TRUE : FALSE);
}

UINT Menu::ItemId(int position) const {
    return menu_ ? ::GetMenuItemID(menu_.Get(), position) : static_cast<UINT>(-1);
}

BOOL Menu::TrackPopup(UINT flags, int x, int y, HWND owner) {
    if (!menu_) return FALSE;
    // The owner's measure requests name no menu: it learns which one is open here.
    Window* window = Window::FromHandle(owner);
    Menu* previous = nullptr;
    if (window) previous = std::exchange(window->trackedMenu_, this);
    tEscapeInMenu = false;
    BOOL result = FALSE;
    {
        const UniqueHook watch(::SetWindowsHookExW(WH_MSGFILTER, &WatchMenuKeys, nullptr, ::GetCurrentThreadId()));
        result = ::TrackPopupMenu(menu_.Get(), flags, x, y, 0, owner, nullptr);
    }
    endedByEscape_ = tEscapeInMenu;
    if (window) window->trackedMenu_ = previous;
    return result;
}

Menu* Menu::FindMenuHolding(UINT itemId) {
    if (!menu_) return nullptr;
    if (HoldsItem(menu_.Get(), itemId)) return this;
    const int count = ::GetMenuItemCount(menu_.Get());
    for (int position = 0; position < count; ++position) {
        Menu* sub = FromHandle(::GetSubMenu(menu_.Get(), position));
        Menu* holder = sub ? sub->FindMenuHolding(itemId) : nullptr;
        if (holder) return holder;
    }
    return nullptr;
}

}  // namespace kov
