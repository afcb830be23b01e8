#include "tests/shell/dialogs/dialog_driver.h"

#include <cstring>
#include <thread>

namespace kov::test {
namespace {

constexpr DWORD kShowTimeoutMs = 10000;
constexpr DWORD kEndTimeoutMs = 3000;
constexpr DWORD kSettleTimeoutMs = 5000;
constexpr UINT kMarkerMessage = WM_APP + 1;
constexpr wchar_t kMarkerClass[] = L"KovarentisDialogTestMarker";

// The marker sets the event it is given: the queue has been worked through.
LRESULT CALLBACK MarkerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kMarkerMessage) {
        ::SetEvent(reinterpret_cast<HANDLE>(lParam));
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateMarker() {
    WNDCLASSW markerClass{};
    markerClass.lpfnWndProc = &MarkerProcedure;
    markerClass.hInstance = ::GetModuleHandleW(nullptr);
    markerClass.lpszClassName = kMarkerClass;
    ::RegisterClassW(&markerClass);  // fails harmlessly once registered
    return ::CreateWindowExW(0, kMarkerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
}

HWND WaitForDialog(const std::wstring& caption) {
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < kShowTimeoutMs) {
        const HWND dialog = ::FindWindowW(L"#32770", caption.c_str());
        if (dialog && ::IsWindowVisible(dialog)) return dialog;
        ::Sleep(10);
    }
    return nullptr;
}

bool WaitGone(HWND window, DWORD milliseconds) {
    const DWORD start = ::GetTickCount();
    while (::IsWindow(window)) {
        if (::GetTickCount() - start >= milliseconds) return false;
        ::Sleep(10);
    }
    return true;
}

}  // namespace

// A dialog that ended meanwhile leaves the marker unread: its loop is over.
void Driver::Settle() const {
    const HANDLE handled = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (::PostMessageW(marker_, kMarkerMessage, 0, reinterpret_cast<LPARAM>(handled))) {
        const DWORD start = ::GetTickCount();
        while (::WaitForSingleObject(handled, 10) == WAIT_TIMEOUT && ::IsWindow(dialog) &&
               ::GetTickCount() - start < kSettleTimeoutMs) {
        }
    }
    ::CloseHandle(handled);
}

void Driver::PressKey(HWND control, UINT virtualKey) const {
    ::PostMessageW(control, WM_KEYDOWN, virtualKey, 1);
    ::PostMessageW(control, WM_KEYUP, virtualKey, 0xC0000001);
    Settle();
}

DialogRun RunDriven(const std::function<INT_PTR()>& runModal, const std::wstring& caption,
                    const std::function<void(const Driver&)>& script) {
    const HWND marker = CreateMarker();
    DialogRun run;
    std::thread driver([&] {
        const HWND dialog = WaitForDialog(caption);
        if (!dialog) return;
        script(Driver(dialog, marker));
        run.endedByScript = WaitGone(dialog, kEndTimeoutMs);
        if (!run.endedByScript) Driver(dialog, marker).Cancel();
    });
    run.result = runModal();
    driver.join();
    ::DestroyWindow(marker);
    return run;
}

HWND Item(HWND dialog, int id) { return ::GetDlgItem(dialog, id); }

void Type(HWND control, const std::wstring& text) {
    for (const wchar_t c : text) ::SendMessageW(control, WM_CHAR, c, 1);
}

void Backspace(HWND control) { ::SendMessageW(control, WM_CHAR, L'\b', 1); }

void Paste(HWND control, const std::wstring& text) {
    if (!::OpenClipboard(nullptr)) return;
    ::EmptyClipboard();
    const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        std::memcpy(::GlobalLock(memory), text.c_str(), bytes);
        ::GlobalUnlock(memory);
        if (!::SetClipboardData(CF_UNICODETEXT, memory)) ::GlobalFree(memory);
    }
    ::CloseClipboard();
    ::SendMessageW(control, WM_PASTE, 0, 0);
}

std::wstring Text(HWND window) {
    wchar_t text[512] = {};
    ::SendMessageW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    return text;
}

bool IsEnabled(HWND window) { return ::IsWindowEnabled(window) != FALSE; }

RECT WorkAreaOf(HWND window) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    return monitor.rcWork;
}

}  // namespace kov::test
