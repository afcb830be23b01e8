// The tray's calls to the shell: the records, the refusals and their log
// lines, the icon added again for a new taskbar and the retries of a refused
// add. Same thread and lifetimes as the rest of CSystemTray.
#include "shell/system_tray.h"

#include <algorithm>
#include <cstring>

#include "core/diagnostic_lines.h"
#include "shell/resource_map.h"
// Last: its macros would rename the core's constants of the same names.
#include "shell/res/resource.h"

namespace kov {
namespace {

constexpr char kWindowClass[] = "KovarentisTrayWindow";
constexpr UINT kWholeIcon = NIF_MESSAGE | NIF_ICON | NIF_TIP;

// Registered when the program starts, before any tray exists; the shell
// broadcasts it when the notification area has been created anew.
const UINT kTaskbarCreatedMessage = ::RegisterWindowMessageA("TaskbarCreated");

// A text cut to the field (tooltip 127 characters, balloon text 255, title
// 63); the rest of the field stays zero.
template <std::size_t N>
void CopyText(wchar_t (&field)[N], const WideString& text) {
    std::memcpy(field, text.data(), std::min(text.size(), N - 1) * sizeof(wchar_t));
}

const char* OperationOf(DWORD message) {
    switch (message) {
    case NIM_ADD: return "tray: Shell_NotifyIcon NIM_ADD";
    case NIM_DELETE: return "tray: Shell_NotifyIcon NIM_DELETE";
    case NIM_SETFOCUS: return "tray: Shell_NotifyIcon NIM_SETFOCUS";
    case NIM_SETVERSION: return "tray: Shell_NotifyIcon NIM_SETVERSION";
    default: return "tray: Shell_NotifyIcon NIM_MODIFY";
    }
}

}  // namespace

BOOL TrayPlatform::NotifyIcon(DWORD message, const NOTIFYICONDATAW& record) {
    // The shell only reads the record.
    return ::Shell_NotifyIconW(message, const_cast<NOTIFYICONDATAW*>(&record));
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

bool TrayPlatform::ScreenReaderOn() {
    BOOL running = FALSE;
    return ::SystemParametersInfoW(SPI_GETSCREENREADER, 0, &running, 0) && running;
}

bool TrayPlatform::HighContrastOn() {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof contrast;
    return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

TrayPlatform& SystemTrayPlatform() {
    static TrayPlatform system;  // stateless
    return system;
}

// Without its window the icon could not call back: nothing is added then.
BOOL CSystemTray::Create(const TrayStart& start, HWND owner) {
    owner_ = owner;
    defaultCommand_ = start.defaultCommand;
    icon_ = picture_ = start.icon;
    tooltip_ = WideFrom1251(start.tooltip);
    menus_.BuildMenus(texts_, shell_.ScreenReaderOn());
    menus_.SetHighContrast(shell_.HighContrastOn());
    if (!RegisterWindowClass(kWindowClass) ||
        !CreateEx(0, kWindowClass, "", WS_POPUP, RECT{0, 0, 0, 0}, nullptr, nullptr)) {
        return FALSE;
    }
    added_ = AddIcon(Record(kWholeIcon));
    if (!added_) StartAddRetries();
    return added_ ? TRUE : FALSE;
}

NOTIFYICONDATAW CSystemTray::Record(UINT flags) {
    NOTIFYICONDATAW record{};
    record.cbSize = kTrayRecordSize;
    record.hWnd = Handle();
    record.uID = kIconId;
    record.uFlags = flags;
    if (flags & NIF_MESSAGE) record.uCallbackMessage = WM_TRAY_NOTIFY;
    if (flags & NIF_ICON) record.hIcon = icons_->Get(IconResourceOf(picture_));
    if (flags & NIF_TIP) CopyText(record.szTip, tooltip_);
    return record;
}

NOTIFYICONDATAW CSystemTray::BalloonRecord(const BalloonTip& balloon, DWORD infoFlags) {
    NOTIFYICONDATAW record = Record(NIF_INFO);
    CopyText(record.szInfo, WideFrom1251(balloon.text));
    CopyText(record.szInfoTitle, WideFrom1251(balloon.title));
    record.uTimeout = static_cast<UINT>(balloon.timeoutSec) * 1000;
    record.dwInfoFlags = infoFlags;
    return record;
}

// What the shell shows is known again only from the parts an accepted call
// carried. While this thread waits in the call, Windows hands it the messages
// sent to its windows; OnMessage puts the tray's own off until it returns.
BOOL CSystemTray::Notify(DWORD message, const NOTIFYICONDATAW& record) {
    inShellCall_ = true;
    const BOOL accepted = shell_.NotifyIcon(message, record);
    const DWORD error = accepted ? ERROR_SUCCESS : ::GetLastError();
    inShellCall_ = false;
    // The version and the focus leave the icon as it was.
    const bool aboutTheIcon = message == NIM_ADD || message == NIM_MODIFY || message == NIM_DELETE;
    if ((!accepted && aboutTheIcon) || message == NIM_DELETE) shown_ = {};
    if (!accepted) {
        // A shell without version 4 is older, not failing.
        if (message != NIM_SETVERSION) NoteRefusal(message, error);
        return FALSE;
    }
    refusalsLogged_ = 0;
    if (message != NIM_DELETE && (record.uFlags & NIF_ICON)) shown_.icon = record.hIcon;
    if (message != NIM_DELETE && (record.uFlags & NIF_TIP)) shown_.tooltip = tooltip_;
    return TRUE;
}

// Every add asks for the version-4 callbacks, which the keyboard needs; the
// shell forgets the version with the icon. Refused, the first form stays.
BOOL CSystemTray::AddIcon(const NOTIFYICONDATAW& whole) {
    if (!Notify(NIM_ADD, whole)) return FALSE;
    NOTIFYICONDATAW version = Record(0);
    version.uVersion = NOTIFYICON_VERSION_4;
    version4_ = Notify(NIM_SETVERSION, version) != FALSE;
    return TRUE;
}

// Retries every 2 s for 5 minutes would fill the log: within them each
// operation's refusal is written once.
void CSystemTray::NoteRefusal(DWORD message, DWORD error) {
    const unsigned operation = 1u << message;
    const bool repeated = (refusalsLogged_ & operation) != 0;
    refusalsLogged_ |= operation;
    if (!repeated || !retriesSince_) log_->Write(WindowsFailureLine(OperationOf(message), error));
}

bool CSystemTray::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == WM_SYSCOLORCHANGE || message == WM_SETTINGCHANGE) {
        menus_.SetHighContrast(shell_.HighContrastOn());
        return Window::OnMessage(message, wParam, lParam, result);
    }
    const bool isCallback = message == WM_TRAY_NOTIFY;
    const bool isTaskbarCreated = kTaskbarCreatedMessage != 0 && message == kTaskbarCreatedMessage;
    if (!isCallback && !isTaskbarCreated) return Window::OnMessage(message, wParam, lParam, result);
    result = 0;
    if (inShellCall_) {
        // Handled again from the message loop, once the shell call is over.
        ::PostMessageA(Handle(), message, wParam, lParam);
    } else if (isCallback) {
        OnTrayNotification(wParam, lParam);
    } else {
        OnTaskbarCreated();
    }
    return true;
}

bool CSystemTray::OnTimer(UINT_PTR timerId) {
    if (timerId == ANIMATION_TIMER) {
        OnAnimationTimer();
    } else if (timerId == kAddRetryTimer) {
        OnAddRetryTimer();
    } else {
        return false;
    }
    return true;
}

// A new notification area knows no icons: add ours again from what the tray
// holds, as the shell asks of every program. The shell also broadcasts the
// message while it still shows the icon (on a DPI change, in a reconnected
// session), and then refuses the add.
void CSystemTray::OnTaskbarCreated() {
    if (!ShowWholeIcon()) StartAddRetries();
}

// Added, or modified when the shell still knows the icon, or as a last
// resort deleted and added afresh. The icon counts as not added only when
// all of that failed.
BOOL CSystemTray::ShowWholeIcon() {
    const NOTIFYICONDATAW whole = Record(kWholeIcon);
    added_ = AddIcon(whole) || Notify(NIM_MODIFY, whole);
    if (!added_) {
        Notify(NIM_DELETE, Record(0));
        added_ = AddIcon(whole);
        if (added_) log_->Write(TrayFailureLine(TrayFailure::AddedAfresh));
    }
    return added_ ? TRUE : FALSE;
}

void CSystemTray::StartAddRetries() {
    log_->Write(TrayFailureLine(TrayFailure::AddRefused));
    retriesSince_ = shell_.LocalSeconds();
    ::SetTimer(Handle(), kAddRetryTimer, kAddRetryPeriodMs, nullptr);
}

// One accepted add shows the icon as the tray holds it by then. Shown (by a
// retry or a broadcast) or out of time: the retries end.
void CSystemTray::OnAddRetryTimer() {
    const long long elapsed = shell_.LocalSeconds() - retriesSince_.value_or(0);
    const bool inTime = elapsed >= 0 && elapsed <= kAddRetrySeconds;
    if (!added_ && inTime && !ShowWholeIcon()) return;
    if (!added_) log_->Write(TrayFailureLine(TrayFailure::RetriesGivenUp));
    ::KillTimer(Handle(), kAddRetryTimer);
    retriesSince_.reset();
}

void CSystemTray::RemoveIcon() {
    if (added_ && Notify(NIM_DELETE, Record(0))) added_ = false;
}

}  // namespace kov
