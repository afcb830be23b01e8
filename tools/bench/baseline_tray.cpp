// The smallest resident tray program there can be: one hidden window, one
// notification-area icon, one timer whose ticks do nothing. resource_bench.sh
// runs it beside the agent, so what it costs is the floor that Windows (here
// Wine) charges any tray program, and the agent is judged against that.
//   baseline_tray.exe [timer period in ms, default 15000]
#include <windows.h>
#include <shellapi.h>

namespace {

constexpr UINT kTrayMessage = WM_APP + 1;
constexpr UINT kTrayIconId = 1;
constexpr UINT_PTR kTimerId = 1;
constexpr UINT kDefaultPeriodMs = 15000;
constexpr char kWindowClass[] = "KovarentisBaselineTray";

LRESULT CALLBACK BaselineWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The window with its icon and timer; all three go away together.
class BaselineTray {
public:
    BaselineTray(HINSTANCE instance, UINT periodMs) {
        window_ = CreateWindowExA(0, kWindowClass, "baseline_tray", WS_POPUP, 0, 0, 0, 0,
                                  nullptr, nullptr, instance, nullptr);
        if (!window_) return;
        NOTIFYICONDATAA data = IconRecord();
        data.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
        data.uCallbackMessage = kTrayMessage;
        data.hIcon = LoadIconA(nullptr, IDI_APPLICATION);  // shared system icon, never freed
        lstrcpynA(data.szTip, "baseline_tray", sizeof data.szTip);
        iconShown_ = Shell_NotifyIconA(NIM_ADD, &data) != FALSE;
        timerSet_ = SetTimer(window_, kTimerId, periodMs, nullptr) != 0;
    }

    ~BaselineTray() {
        if (!window_) return;
        if (timerSet_) KillTimer(window_, kTimerId);
        if (iconShown_) {
            NOTIFYICONDATAA data = IconRecord();
            Shell_NotifyIconA(NIM_DELETE, &data);
        }
        if (IsWindow(window_)) DestroyWindow(window_);
    }

    BaselineTray(const BaselineTray&) = delete;
    BaselineTray& operator=(const BaselineTray&) = delete;

    bool Ready() const { return window_ && iconShown_ && timerSet_; }

private:
    NOTIFYICONDATAA IconRecord() const {
        NOTIFYICONDATAA data{};
        data.cbSize = sizeof data;
        data.hWnd = window_;
        data.uID = kTrayIconId;
        return data;
    }

    HWND window_ = nullptr;
    bool iconShown_ = false;
    bool timerSet_ = false;
};

// Leading decimal digits only; anything else, or 0, gives the default.
UINT PeriodFromCommandLine(const char* commandLine) {
    UINT period = 0;
    for (const char* c = commandLine; *c >= '0' && *c <= '9' && period < 100000000; ++c)
        period = period * 10 + static_cast<UINT>(*c - '0');
    return period > 0 ? period : kDefaultPeriodMs;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = BaselineWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassA(&windowClass)) return 1;

    BaselineTray tray(instance, PeriodFromCommandLine(commandLine));
    if (!tray.Ready()) return 1;

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
