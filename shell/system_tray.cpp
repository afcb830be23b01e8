#include "shell/system_tray.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "core/diagnostic_lines.h"
#include "shell/framework/menu.h"
#include "winsupport/wide_text.h"

namespace kov {
namespace {

constexpr char kWindowClass[] = "KovarentisTrayWindow";

// Size of the record's tooltip buffer, terminating zero included.
constexpr std::size_t kTooltipLimit = 128;
constexpr std::size_t kBalloonTextLimit = 255;
constexpr std::size_t kBalloonTitleLimit = 63;

// Registered when the program starts, before any tray exists; the shell
// broadcasts it when the notification area has been created anew.
const UINT kTaskbarCreatedMessage = ::RegisterWindowMessageA("TaskbarCreated");

// Copies at most limit characters of the Windows-1251 text (null counts as
// empty) and zeroes the rest of the buffer, so nothing of a longer previous
// text survives. One byte is one character in 1251.
template <std::size_t N>
void CopyCut(wchar_t (&buffer)[N], const char* text, std::size_t limit) {
    std::memset(buffer, 0, sizeof buffer);
    if (!text) return;
    const WideString wide = WideFrom1251({text, ::strnlen(text, std::min(limit, N - 1))});
    std::memcpy(buffer, wide.c_str(), std::min(wide.size(), N - 1) * sizeof(wchar_t));
}

// The first sub-menu of the program's menu resource with the icon's id: the
// menu shown when the agent has set no popupMenu. The program has none.
struct ResourceMenu {
    explicit ResourceMenu(UINT iconId)
        : menu(::LoadMenuA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(iconId))),
          popup(menu ? ::GetSubMenu(menu.Get(), 0) : nullptr) {}
    UniqueMenu menu;
    HMENU popup;
};

}  // namespace

BOOL TrayPlatform::NotifyIcon(DWORD message, const NOTIFYICONDATAW& record) {
    // The shell only reads the record.
    return ::Shell_NotifyIconW(message, const_cast<NOTIFYICONDATAW*>(&record));
}

DWORD TrayPlatform::MajorVersion() { return LOBYTE(LOWORD(::GetVersion())); }

bool TrayPlatform::IsWin2kOrLater() {
    OSVERSIONINFOEXA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version))) return false;
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5;
}

long long TrayPlatform::LocalSeconds() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    FILETIME stamp;
    ::SystemTimeToFileTime(&now, &stamp);
    ULARGE_INTEGER ticks;
    ticks.LowPart = stamp.dwLowDateTime;
    ticks.HighPart = stamp.dwHighDateTime;
    return static_cast<long long>(ticks.QuadPart / 10'000'000);  // 100 ns ticks
}

DWORD TrayPlatform::WaitBetweenFrames(HANDLE wake, DWORD milliseconds) {
    return ::WaitForSingleObject(wake, milliseconds);
}

TrayPlatform& SystemTrayPlatform() {
    static TrayPlatform system;  // stateless
    return system;
}

CSystemTray::CSystemTray(TrayPlatform& platform)
    : platform_(platform), record_{}, win2k_(platform.IsWin2kOrLater() ? TRUE : FALSE) {}

CSystemTray::~CSystemTray() {
    StopWorker();
    RemoveIcon();
    frameList_.clear();
    Destroy();  // also ends an animation timer
}

BOOL CSystemTray::Create(UINT callbackMessage, const char* tooltip, HICON icon, UINT iconId,
                         const char* balloonText, const char* balloonTitle,
                         DWORD balloonIconKind, UINT balloonTimeoutSeconds) {
    enabled_ = platform_.MajorVersion() >= 4 ? TRUE : FALSE;
    if (!enabled_) return FALSE;

    // Without its window the icon still shows; it just cannot call back.
    if (!Handle() && RegisterWindowClass(kWindowClass)) {
        CreateEx(0, kWindowClass, "", WS_POPUP, RECT{0, 0, 0, 0}, nullptr, nullptr);
    }
    callbackMessage_ = callbackMessage;

    record_.cbSize = kTrayRecordSize;
    record_.hWnd = Handle();
    record_.uID = iconId;
    record_.hIcon = icon;
    record_.uCallbackMessage = callbackMessage;
    record_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    CopyCut(record_.szTip, tooltip, kTooltipLimit - 1);
    const bool withBalloon = win2k_ && balloonText;
    if (withBalloon) {
        record_.uFlags |= NIF_INFO;
        CopyCut(record_.szInfo, balloonText, kBalloonTextLimit);
        CopyCut(record_.szInfoTitle, balloonTitle, kBalloonTitleLimit);
        record_.uTimeout = balloonTimeoutSeconds * 1000;
        record_.dwInfoFlags = balloonIconKind;
    }
    const BOOL added = Notify(NIM_ADD);
    hidden_ = removed_ = !added;
    wanted_ = true;
    // A balloon is shown once: later changes must not bring it back.
    if (withBalloon) CopyCut(record_.szInfo, nullptr, 0);
    ReleaseUnusedIcons();
    if (!added) StartAddRetries();
    return added;
}

BOOL CSystemTray::SetIcon(HICON icon) {
    const BOOL result = ShowIcon(icon);
    ReleaseUnusedIcons();
    return result;
}

BOOL CSystemTray::SetIcon(UINT resourceId) {
    const auto loaded = static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr),
                                                        MAKEINTRESOURCEA(resourceId), IMAGE_ICON,
                                                        0, 0, LR_DEFAULTCOLOR));
    if (!loaded) return FALSE;
    loadedIcons_.emplace_back(loaded);
    const BOOL result = ShowIcon(loaded);
    ReleaseUnusedIcons();
    return result;
}

BOOL CSystemTray::ShowIcon(HICON icon) {
    if (!enabled_) return FALSE;
    if (icon == record_.hIcon && recordShown_ && !workerFramesShown_) return TRUE;
    record_.uFlags = NIF_ICON;
    record_.hIcon = icon;
    if (hidden_) return TRUE;
    workerFramesShown_ = false;
    return Notify(NIM_MODIFY);
}

void CSystemTray::ReleaseUnusedIcons() {
    loadedIcons_.erase(std::remove_if(loadedIcons_.begin(), loadedIcons_.end(),
                                      [this](const UniqueIcon& icon) {
                                          return icon.Get() != record_.hIcon &&
                                                 icon.Get() != savedIcon_;
                                      }),
                       loadedIcons_.end());
}

HICON CSystemTray::GetIcon() {
    return enabled_ ? record_.hIcon : nullptr;
}

BOOL CSystemTray::SetTooltipText(const char* text) {
    if (!enabled_) return FALSE;
    wchar_t tip[kTooltipLimit] = {};
    CopyCut(tip, text, kTooltipLimit - 1);
    if (recordShown_ && std::wcscmp(tip, record_.szTip) == 0) return TRUE;
    record_.uFlags = NIF_TIP;
    std::memcpy(record_.szTip, tip, sizeof tip);
    if (hidden_) return TRUE;
    return Notify(NIM_MODIFY);
}

BOOL CSystemTray::ShowBalloon(const char* text, const char* title, DWORD iconKind,
                              UINT timeoutSeconds) {
    if (!win2k_) return FALSE;
    record_.uFlags = NIF_INFO;
    CopyCut(record_.szInfo, text, kBalloonTextLimit);
    CopyCut(record_.szInfoTitle, title, kBalloonTitleLimit);
    record_.dwInfoFlags = iconKind;
    record_.uTimeout = timeoutSeconds * 1000;
    // Sent even while the icon is not shown: the shell then refuses it.
    const BOOL result = Notify(NIM_MODIFY);
    CopyCut(record_.szInfo, nullptr, 0);
    return result;
}

BOOL CSystemTray::RemoveIcon() {
    if (!enabled_) return TRUE;
    wanted_ = false;
    if (removed_) return TRUE;
    record_.uFlags = 0;
    if (Notify(NIM_DELETE)) hidden_ = removed_ = TRUE;
    return removed_;
}

BOOL CSystemTray::SetMenuDefaultItem(UINT item, BOOL byPosition) {
    if (item == defaultItem_ && byPosition == defaultByPosition_) return TRUE;
    defaultItem_ = item;
    defaultByPosition_ = byPosition;
    if (popupMenu) {
        popupMenu->SetDefaultItem(item, byPosition != FALSE);
        return TRUE;
    }
    const ResourceMenu resource(record_.uID);
    if (!resource.popup) return FALSE;
    ::SetMenuDefaultItem(resource.popup, item, byPosition);
    return TRUE;
}

// The shell call is a message sent to the notification area. While this
// thread waits for it, Windows hands it the messages sent to its own windows,
// the shell's callbacks among them; those must not run here, in the middle of
// a change of the record.
BOOL CSystemTray::Notify(DWORD message) {
    inShellCall_ = true;
    const BOOL result = platform_.NotifyIcon(message, record_);
    inShellCall_ = false;
    const DWORD shownParts = NIF_ICON | NIF_TIP;
    if (!result && (record_.uFlags & shownParts) != 0) {
        recordShown_ = FALSE;
    } else if (result && (record_.uFlags & shownParts) == shownParts) {
        recordShown_ = message != NIM_DELETE;
    }
    return result;
}

bool CSystemTray::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    const bool isCallback = callbackMessage_ != 0 && message == callbackMessage_;
    const bool isTaskbarCreated = kTaskbarCreatedMessage != 0 && message == kTaskbarCreatedMessage;
    if (!isCallback && !isTaskbarCreated) return Window::OnMessage(message, wParam, lParam, result);

    if (inShellCall_) {
        // Handled again from the message loop, once the shell call is over.
        ::PostMessageA(Handle(), message, wParam, lParam);
        result = 0;
        return true;
    }
    result = isCallback ? OnTrayNotification(wParam, lParam) : OnTaskbarCreated();
    return true;
}

bool CSystemTray::OnTimer(UINT_PTR timerId) {
    if (timerId == ADD_RETRY_TIMER) {
        OnAddRetryTimer();
    } else {
        OnAnimationTimer(timerId);
    }
    return true;
}

// A new notification area knows no icons: add ours again with the current
// record, as the shell asks of every program. The shell also broadcasts the
// message while it still shows the icon (on a DPI change, in a reconnected
// session), and then refuses the add.
LRESULT CSystemTray::OnTaskbarCreated() {
    if (!enabled_ || !wanted_) return 0;
    if (!ShowWholeRecord()) StartAddRetries();
    return 0;
}

// Icon, tooltip and callback as the record holds them now: added, or modified
// when the shell still knows the icon, or as a last resort deleted and added
// afresh. The icon counts as hidden only when all of that failed.
BOOL CSystemTray::ShowWholeRecord() {
    constexpr UINT kWholeRecord = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record_.uFlags = kWholeRecord;
    BOOL shown = Notify(NIM_ADD) || Notify(NIM_MODIFY);
    if (!shown) {
        record_.uFlags = 0;
        Notify(NIM_DELETE);
        record_.uFlags = kWholeRecord;
        shown = Notify(NIM_ADD);
        if (shown) log_->Write(TrayFailureLine(TrayFailure::AddedAfresh));
    }
    hidden_ = removed_ = !shown;
    return shown;
}

void CSystemTray::StartAddRetries() {
    if (!Handle()) return;
    log_->Write(TrayFailureLine(TrayFailure::AddRefused));
    addRetryStart_ = platform_.LocalSeconds();
    ::SetTimer(Handle(), ADD_RETRY_TIMER, kAddRetryPeriodMs, nullptr);
}

// The changes made meanwhile are in the record, so one successful add shows
// the icon as it is now. Removed, shown by a broadcast or out of time: the
// retries end.
void CSystemTray::OnAddRetryTimer() {
    const long long elapsed = platform_.LocalSeconds() - addRetryStart_;
    const bool retry = enabled_ && wanted_ && hidden_ && elapsed >= 0 && elapsed <= kAddRetrySeconds;
    if (retry && !ShowWholeRecord()) return;
    if (!retry && enabled_ && wanted_ && hidden_) log_->Write(TrayFailureLine(TrayFailure::RetriesGivenUp));
    ::KillTimer(Handle(), ADD_RETRY_TIMER);
}

LRESULT CSystemTray::OnTrayNotification(WPARAM iconId, LPARAM mouseMessage) {
    const UINT ownId = record_.uID;
    const MenuDefault menuDefault{defaultItem_, defaultByPosition_};
    if (iconId != ownId) return 0;
    const HWND target = target_;
    if (!target) return 0;

    switch (LOWORD(mouseMessage)) {
    case WM_RBUTTONUP:
        return ShowPopupMenu(target, ownId, menuDefault);
    case WM_LBUTTONDBLCLK:
        PostDefaultCommand(target, ownId, menuDefault);
        return 1;
    case NIN_BALLOONUSERCLICK:
        if (const UINT command = balloonClickCommand_) {
            ::SetForegroundWindow(target);
            ::PostMessageA(target, WM_COMMAND, command, 0);
        }
        return 1;
    default:
        return 1;
    }
}

// The target comes to the foreground first and gets WM_NULL afterwards, so
// that the menu closes when the consultant clicks elsewhere.
LRESULT CSystemTray::ShowPopupMenu(HWND target, UINT iconId, MenuDefault menuDefault) {
    POINT cursor{};
    Menu* menu = popupMenu;
    if (menu && menu->Handle()) {
        ::GetCursorPos(&cursor);
        menu->SetDefaultItem(menuDefault.item, menuDefault.byPosition != FALSE);
        ::SetForegroundWindow(target);
        menu->TrackPopup(TPM_RIGHTBUTTON, cursor.x, cursor.y, target);
        ::PostMessageA(target, WM_NULL, 0, 0);
        return 1;
    }
    const ResourceMenu resource(iconId);
    if (!resource.popup) return 0;
    ::SetMenuDefaultItem(resource.popup, menuDefault.item, menuDefault.byPosition);
    PrepareMenu(resource.popup);
    ::GetCursorPos(&cursor);
    ::SetForegroundWindow(target);
    ::TrackPopupMenu(resource.popup, 0, cursor.x, cursor.y, 0, target, nullptr);
    ::PostMessageA(target, WM_NULL, 0, 0);
    return 1;
}

void CSystemTray::PostDefaultCommand(HWND target, UINT iconId, MenuDefault menuDefault) {
    ::SetForegroundWindow(target);
    UINT command = menuDefault.item;
    if (menuDefault.byPosition) {
        Menu* menu = popupMenu;
        if (menu && menu->Handle()) {
            command = menu->ItemId(static_cast<int>(menuDefault.item));
        } else {
            const ResourceMenu resource(iconId);
            if (!resource.popup) return;
            command = ::GetMenuItemID(resource.popup, static_cast<int>(menuDefault.item));
        }
    }
    ::PostMessageA(target, WM_COMMAND, command, 0);
}

}  // namespace kov
