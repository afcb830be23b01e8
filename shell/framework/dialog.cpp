#include "shell/framework/dialog.h"

#include <vector>

#include "shell/framework/common_controls.h"

namespace kov {
namespace {

WideString WindowText(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    if (length <= 0) return {};
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(window, buffer.data(), length + 1);
    return WideString(buffer.data(), static_cast<std::size_t>(copied > 0 ? copied : 0));
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

LRESULT Control::Send(UINT message, WPARAM wParam, LPARAM lParam) const {
    return hwnd_ ? ::SendMessageW(hwnd_, message, wParam, lParam) : 0;
}

void Control::Enable(bool enabled) const {
    if (hwnd_) ::EnableWindow(hwnd_, enabled ? TRUE : FALSE);
}

void Control::FocusAll() const {
    if (!hwnd_) return;
    ::SetFocus(hwnd_);
    Send(EM_SETSEL, 0, -1);
}

void DataExchange::Text(int controlId, WideString& value) const {
    const HWND control = ::GetDlgItem(dialog_, controlId);
    if (!control) return;
    if (direction_ == Direction::FromControls) {
        value = WindowText(control);
    } else if (WindowText(control) != value) {
        ::SetWindowTextW(control, value.c_str());
    }
}

void DataExchange::Check(int controlId, std::int32_t& value) const {
    if (direction_ == Direction::FromControls) {
        value = ::IsDlgButtonChecked(dialog_, controlId) == BST_CHECKED ? 1 : 0;
    } else {
        ::CheckDlgButton(dialog_, controlId, value ? BST_CHECKED : BST_UNCHECKED);
    }
}

void DataExchange::Bind(int controlId, Control& control) const { control.Bind(dialog_, controlId); }

INT_PTR ModalDialog::RunModal(HWND parent) {
    EnsureCommonControls();
    return Dialog::RunModal(parent);
}

BOOL ModalDialog::OnInitDialog() {
    UpdateData(DataExchange::Direction::ToControls);
    return TRUE;
}

void ModalDialog::UpdateData(DataExchange::Direction direction) {
    if (Handle()) DoDataExchange(DataExchange(Handle(), direction));
}

bool ModalDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message != WM_INITDIALOG) return Dialog::OnMessage(message, wParam, lParam, result);
    // The templates sit at 0, 0: left there, a dialog opens in the screen's corner.
    RECT before{};
    ::GetWindowRect(Handle(), &before);
    const bool handled = Dialog::OnMessage(message, wParam, lParam, result);
    RECT after{};
    if (::GetWindowRect(Handle(), &after) && SameRect(before, after)) CentreOnScreen();
    ::SetForegroundWindow(Handle());
    return handled;
}

RECT WorkAreaNearTray() {
    HMONITOR screen = nullptr;
    if (const HWND taskbar = ::FindWindowA("Shell_TrayWnd", nullptr)) {
        screen = ::MonitorFromWindow(taskbar, MONITOR_DEFAULTTOPRIMARY);
    } else {
        POINT cursor{};
        ::GetCursorPos(&cursor);
        screen = ::MonitorFromPoint(cursor, MONITOR_DEFAULTTOPRIMARY);
    }
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!::GetMonitorInfoW(screen, &monitor)) ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &monitor.rcWork, 0);
    return monitor.rcWork;
}

// Centred in the work area near the tray (the taskbar excluded).
void ModalDialog::CentreOnScreen() {
    RECT window{};
    ::GetWindowRect(Handle(), &window);
    const RECT area = WorkAreaNearTray();
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    const int left = area.left + (area.right - area.left - width) / 2;
    const int top = area.top + (area.bottom - area.top - height) / 2;
    ::SetWindowPos(Handle(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace kov
