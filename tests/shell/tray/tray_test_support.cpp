#include "tray_test_support.h"

#include "winsupport/wide_text.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace kov::test {
namespace {

constexpr char kTargetClass[] = "KovarentisTestTarget";
constexpr UINT_PTR kMenuFailsafeTimer = 77;

}  // namespace

BOOL FakeTrayPlatform::NotifyIcon(DWORD message, const NOTIFYICONDATAW& record) {
    if (inspect) inspect(message, record);
    const bool iconAlive = (record.uFlags & NIF_ICON) != 0 && IsLiveIcon(record.hIcon);
    {
        std::lock_guard<std::mutex> lock(lock_);
        calls_.push_back({message, record, ::GetCurrentThreadId(), iconAlive});
    }
    switch (message) {
    case NIM_ADD:
        return addResult.load();
    case NIM_DELETE:
        return deleteResult.load();
    default:
        return modifyResult.load();
    }
}

DWORD FakeTrayPlatform::WaitBetweenFrames(HANDLE wake, DWORD milliseconds) {
    const DWORD result = TrayPlatform::WaitBetweenFrames(wake, milliseconds);
    std::lock_guard<std::mutex> lock(lock_);
    waits_.push_back({milliseconds, result});
    return result;
}

std::vector<ShellCall> FakeTrayPlatform::Calls() {
    std::lock_guard<std::mutex> lock(lock_);
    return calls_;
}

std::vector<ShellCall> FakeTrayPlatform::TakeCalls() {
    std::lock_guard<std::mutex> lock(lock_);
    return std::exchange(calls_, {});
}

std::size_t FakeTrayPlatform::CallCount() {
    std::lock_guard<std::mutex> lock(lock_);
    return calls_.size();
}

std::string Text(const wchar_t* recordText) {
    return NarrowTo1251(recordText).value_or("<not Windows-1251>");
}

std::vector<FrameWait> FakeTrayPlatform::Waits() {
    std::lock_guard<std::mutex> lock(lock_);
    return waits_;
}

UniqueIcon MakeIcon(COLORREF colour) {
    constexpr int kSize = 16;
    std::vector<DWORD> pixels(kSize * kSize,
                              0xFF000000 | GetRValue(colour) << 16 | GetGValue(colour) << 8 |
                                  GetBValue(colour));
    const std::vector<BYTE> maskBits(kSize * kSize / 8, 0);  // all opaque
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmColor = ::CreateBitmap(kSize, kSize, 1, 32, pixels.data());
    info.hbmMask = ::CreateBitmap(kSize, kSize, 1, 1, maskBits.data());
    UniqueIcon icon(::CreateIconIndirect(&info));
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    return icon;
}

bool IsLiveIcon(HICON icon) {
    ICONINFO info{};
    if (!icon || !::GetIconInfo(icon, &info)) return false;
    if (info.hbmColor) ::DeleteObject(info.hbmColor);
    if (info.hbmMask) ::DeleteObject(info.hbmMask);
    return true;
}

bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
        if (condition()) return true;
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE,
                                    static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 10)),
                                    QS_ALLINPUT);
    }
}

void PumpFor(DWORD milliseconds) {
    PumpUntil([] { return false; }, milliseconds);
}

TargetWindow::TargetWindow() {
    RegisterWindowClass(kTargetClass);
    CreateEx(0, kTargetClass, "Kovarentis test target", WS_POPUP, RECT{0, 0, 10, 10}, nullptr,
             nullptr);
}

std::vector<TargetWindow::Event> TargetWindow::EventsOf(UINT message) const {
    std::vector<Event> found;
    std::copy_if(events.begin(), events.end(), std::back_inserter(found),
                 [message](const Event& event) { return event.message == message; });
    return found;
}

bool TargetWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_ENTERMENULOOP:
        // Should the menu never report idle, it still closes.
        ::SetTimer(Handle(), kMenuFailsafeTimer, 3000, nullptr);
        break;
    case WM_EXITMENULOOP:
        ::KillTimer(Handle(), kMenuFailsafeTimer);
        break;
    case WM_ENTERIDLE:
        if (wParam != MSGF_MENU) break;
        events.push_back({message, wParam, lParam});
        ++menusShown;
        ::GetWindowRect(reinterpret_cast<HWND>(lParam), &menuRect);
        if (chooseFirstItem) {
            ::PostMessageA(Handle(), WM_KEYDOWN, VK_DOWN, 0);
            ::PostMessageA(Handle(), WM_KEYDOWN, VK_RETURN, 0);
            chooseFirstItem = false;
        } else {
            ::EndMenu();
        }
        break;
    case WM_NULL:
    case WM_COMMAND:
        events.push_back({message, wParam, lParam});
        break;
    default:
        break;
    }
    return Window::OnMessage(message, wParam, lParam, result);
}

bool TargetWindow::OnTimer(UINT_PTR timerId) {
    if (timerId != kMenuFailsafeTimer) return false;
    ::EndMenu();
    return true;
}

void RecordingMenu::MeasureItem(MEASUREITEMSTRUCT& item) {
    measured.push_back(item.itemID);
    item.itemWidth = 80;
    item.itemHeight = 18;
}

void RecordingMenu::DrawItem(const DRAWITEMSTRUCT& item) { drawn.push_back(item.itemID); }

}  // namespace kov::test
