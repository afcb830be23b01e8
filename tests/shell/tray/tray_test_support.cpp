#include "tray_test_support.h"

#include <algorithm>
#include <utility>

#include "winsupport/wide_text.h"

namespace kov::test {
namespace {

constexpr char kTargetClass[] = "KovarentisTestTarget";
constexpr UINT_PTR kMenuFailsafeTimer = 77;

}  // namespace

BOOL FakeTrayPlatform::NotifyIcon(DWORD message, const NOTIFYICONDATAW& record) {
    if (inspect) inspect(message, record);
    calls_.push_back({message, record});
    BOOL result = modifyResult;
    if (message == NIM_ADD) result = addResult;
    if (message == NIM_DELETE) result = deleteResult;
    if (message == NIM_SETVERSION) result = setVersionResult;
    if (!result) ::SetLastError(refusalError);
    return result;
}

std::vector<ShellCall> FakeTrayPlatform::TakeCalls() { return std::exchange(calls_, {}); }

std::string Text(const wchar_t* recordText) {
    return NarrowTo1251(recordText).value_or("<not Windows-1251>");
}

std::vector<DWORD> Messages(const std::vector<ShellCall>& calls) {
    std::vector<DWORD> messages;
    for (const ShellCall& call : calls) messages.push_back(call.message);
    return messages;
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
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 10)),
                                    QS_ALLINPUT);
    }
}

void PumpFor(DWORD milliseconds) {
    PumpUntil([] { return false; }, milliseconds);
}

TargetWindow::TargetWindow() {
    RegisterWindowClass(kTargetClass);
    CreateEx(0, kTargetClass, "Kovarentis test target", WS_POPUP, RECT{0, 0, 10, 10}, nullptr, nullptr);
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
        if (wParam == MSGF_MENU) OnMenuIdle(reinterpret_cast<HWND>(lParam));
        break;
    case WM_NULL:
        ++nulls;
        break;
    case CSystemTray::kCommandMessage:
        commands.push_back(static_cast<Command>(wParam));
        break;
    default:
        break;
    }
    return Window::OnMessage(message, wParam, lParam, result);
}

// The keys are posted together: the menu handles them all before it is idle again.
void TargetWindow::OnMenuIdle(HWND popup) {
    ++menusShown;
    ::GetWindowRect(popup, &menuRect);
    shownMenu = TrackedMenu() ? TrackedMenu()->Handle() : nullptr;
    if (typed != 0) {
        ::PostMessageW(Handle(), WM_CHAR, std::exchange(typed, 0), 0);
        return;
    }
    if (downsBeforeEnter == 0) {
        if (escapes) {
            ::PostMessageA(Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
        } else {
            ::EndMenu();
        }
        return;
    }
    for (; downsBeforeEnter > 0; --downsBeforeEnter) ::PostMessageA(Handle(), WM_KEYDOWN, VK_DOWN, 0);
    ::PostMessageA(Handle(), WM_KEYDOWN, VK_RETURN, 0);
}

bool TargetWindow::OnTimer(UINT_PTR timerId) {
    if (timerId != kMenuFailsafeTimer) return false;
    ::EndMenu();
    return true;
}

BOOL TrayTest::CreateTray(const std::string& tooltip, Command defaultCommand) {
    return tray.Create(TrayStart{tooltip, TrayIcon::Online, defaultCommand}, owner.Handle());
}

ShellCall TrayTest::OnlyCall() {
    auto calls = platform.TakeCalls();
    EXPECT_EQ(calls.size(), 1u);
    return calls.empty() ? ShellCall{} : calls.front();
}

void TrayTest::BroadcastTaskbarCreated() {
    ::SendMessageW(tray.Handle(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
}

void TrayTest::Callback(UINT event, UINT iconId, POINT anchor) {
    ::SendMessageW(tray.Handle(), kTrayCallback, MAKEWPARAM(anchor.x, anchor.y), MAKELPARAM(event, iconId));
}

TrayView SteadyView(TrayIcon icon, std::optional<std::string> tooltip) {
    TrayView view;
    view.tooltip = std::move(tooltip);
    view.icon.icon = icon;
    return view;
}

TrayView AnimationView(std::vector<TrayIcon> frames, int periodMs) {
    TrayView view;
    view.icon.frames = std::move(frames);
    view.icon.periodMs = periodMs;
    return view;
}

void RecordingMenu::MeasureItem(MEASUREITEMSTRUCT& item) {
    measured.push_back(item.itemID);
    item.itemWidth = 80;
    item.itemHeight = 18;
}

void RecordingMenu::DrawItem(const DRAWITEMSTRUCT& item) { drawn.push_back(item.itemID); }

}  // namespace kov::test
