#pragma once
// Shared pieces of the tray tests: a platform that records every shell call,
// icons made on the spot, a window that records what the tray sends it, and
// message pumping for the UI thread (the test's main thread).
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "winsupport/handles.h"
#include "shell/framework/menu.h"
#include "shell/framework/window.h"
#include "shell/system_tray.h"

namespace kov::test {

constexpr UINT WM_TRAY_NOTIFY = 0x8001;
constexpr UINT kIconId = 101;
constexpr UINT kRedIconResource = 201;
constexpr UINT kBlueIconResource = 202;
// An icon id that also names a menu resource of the test program.
constexpr UINT kIconIdWithMenu = 301;

struct ShellCall {
    DWORD message;
    NOTIFYICONDATAW record;
    DWORD thread;
    // For calls that carry NIF_ICON: the handle was a live icon at the call.
    bool iconAlive;
};

struct FrameWait {
    DWORD milliseconds;
    DWORD result;
};

class FakeTrayPlatform : public TrayPlatform {
public:
    BOOL NotifyIcon(DWORD message, const NOTIFYICONDATAW& record) override;
    DWORD MajorVersion() override { return majorVersion; }
    bool IsWin2kOrLater() override { return win2k; }
    long long LocalSeconds() override { return clock.load(); }
    DWORD WaitBetweenFrames(HANDLE wake, DWORD milliseconds) override;

    std::vector<ShellCall> Calls();
    std::vector<ShellCall> TakeCalls();
    std::size_t CallCount();
    std::vector<FrameWait> Waits();

    DWORD majorVersion = 6;
    bool win2k = true;
    std::atomic<BOOL> addResult{TRUE};
    std::atomic<BOOL> modifyResult{TRUE};
    std::atomic<BOOL> deleteResult{TRUE};
    std::atomic<long long> clock{1'000'000};
    // Runs inside each shell call, on the calling thread.
    std::function<void(DWORD message, const NOTIFYICONDATAW& record)> inspect;

private:
    std::mutex lock_;
    std::vector<ShellCall> calls_;
    std::vector<FrameWait> waits_;
};

// A text of the record as the Windows-1251 bytes it was given as.
std::string Text(const wchar_t* recordText);

// A 16x16 opaque icon of one colour.
UniqueIcon MakeIcon(COLORREF colour);
bool IsLiveIcon(HICON icon);

// Dispatches the UI thread's messages until the condition holds or the time
// is up; returns the condition.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs);
void PumpFor(DWORD milliseconds);

// The application's main window as the tray sees it: it records WM_NULL and
// WM_COMMAND, and closes each popup menu as soon as the menu is idle (or
// chooses its first item when asked to).
class TargetWindow : public Window {
public:
    TargetWindow();

    struct Event {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::vector<Event> events;
    int menusShown = 0;
    RECT menuRect{};
    bool chooseFirstItem = false;

    std::vector<Event> EventsOf(UINT message) const;

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    bool OnTimer(UINT_PTR timerId) override;
};

// A menu that records the owner-draw requests routed to it.
class RecordingMenu : public Menu {
public:
    std::vector<UINT> measured;
    std::vector<UINT> drawn;
    void MeasureItem(MEASUREITEMSTRUCT& item) override;
    void DrawItem(const DRAWITEMSTRUCT& item) override;
};

}  // namespace kov::test
