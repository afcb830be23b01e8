// Where the tray icon is on the screen, for a menu opened without a click on
// it (a second start of the program). On the UI thread, like the tray.
#include "shell/system_tray.h"
#include "winsupport/system_library.h"

namespace kov {
namespace {

using IconRectFunction = HRESULT(WINAPI*)(const NOTIFYICONIDENTIFIER*, RECT*);

bool Contains(const RECT& outer, POINT point) {
    return point.x >= outer.left && point.x < outer.right && point.y >= outer.top && point.y < outer.bottom;
}

// The icon's centre when it is on the taskbar: an icon behind the overflow
// arrow has a place in the overflow's window, or none while that is closed.
std::optional<POINT> IconCentreOnTaskbar(HWND window, UINT iconId) {
    // Windows 7 and later.
    const auto iconRect = LoadedFunction<IconRectFunction>(L"shell32.dll", "Shell_NotifyIconGetRect");
    if (!iconRect) return std::nullopt;
    NOTIFYICONIDENTIFIER icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = window;
    icon.uID = iconId;
    RECT place{};
    if (FAILED(iconRect(&icon, &place)) || place.right <= place.left || place.bottom <= place.top) return std::nullopt;
    const POINT centre{(place.left + place.right) / 2, (place.top + place.bottom) / 2};
    RECT taskbar{};
    const HWND taskbarWindow = ::FindWindowA("Shell_TrayWnd", nullptr);
    if (taskbarWindow && ::GetWindowRect(taskbarWindow, &taskbar) && !Contains(taskbar, centre)) return std::nullopt;
    return centre;
}

}  // namespace

bool CSystemTray::ShowMenuAtIcon() {
    if (!added_ || !popup_->Handle()) return false;
    const std::optional<POINT> centre = IconCentreOnTaskbar(Handle(), kIconId);
    if (!centre) return false;
    TrackMenu(*centre);
    return true;
}

}  // namespace kov
