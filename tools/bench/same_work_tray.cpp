// The least a program can spend doing what the agent visibly does in one of
// its states, for resource_bench.sh and soak.sh to judge the agent against.
//   same_work_tray.exe MODE HOST OBJECT_NAME [period in ms, default 15000]
// Every mode: one tray icon with a tooltip, the status request through
// WinINet every period on one long-lived worker thread with one internet
// session kept for the process, and every 3 s on the UI thread what the
// agent's away check reads (the cursor, the last input, the screen saver).
// The modes add:
//   idle        nothing (plain HTTP, port 80)
//   https       the request over TLS, port 443, retried once without the
//               authority check on an unknown authority, as the agent does
//   blinking    two pictures every 700 ms, the sound once, a balloon once
//   connecting  four pictures every 200 ms, every 1000 ms after a minute; on
//               the first failed request a warning balloon and one message
//               box, with the common controls of the manifest, left open
// The request is the agent's: HTTP/1.0, its user agent, flag words and
// content-type line. The first goes out as soon as the icon is shown, the
// next a period after each answer. The pictures are shared system icons.
#include <windows.h>
#include <shellapi.h>
#include <wininet.h>

#include <cstdlib>
#include <cstring>

#include "same_work_tray.h"

namespace {

constexpr UINT kTrayMessage = WM_APP + 1;
constexpr UINT kFailedMessage = WM_APP + 2;
constexpr UINT kTrayIconId = 1;
constexpr UINT_PTR kAwayTimerId = 1;
constexpr UINT_PTR kFrameTimerId = 2;
constexpr UINT kAwayPeriodMs = 3000;
constexpr UINT kBlinkPeriodMs = 700;
constexpr UINT kConnectingPeriodMs = 200;
constexpr UINT kLongOutageFramePeriodMs = 1000;
constexpr DWORD kLongOutageMs = 60000;
constexpr DWORD kDefaultPeriodMs = 15000;
constexpr char kWindowClass[] = "KovarentisSameWorkTray";
constexpr char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)";
constexpr char kContentTypeLine[] = "Content-Type: application/x-www-form-urlencoded";
constexpr DWORD kHttpFlags = 0x8404C300;
constexpr DWORD kHttpsFlags = 0x8484EF05;
constexpr DWORD kErrorInvalidCa = 12045;
const LPCSTR kBlinkPictures[] = {IDI_APPLICATION, IDI_INFORMATION};
const LPCSTR kConnectingPictures[] = {IDI_APPLICATION, IDI_WARNING, IDI_ERROR, IDI_INFORMATION};

enum class Mode { Idle, Https, Blinking, Connecting };

struct Poller {
    const char* host;
    const char* objectName;
    DWORD periodMs;
    bool tls;
    HINTERNET session;
    HANDLE stop;
    HWND window;
};

struct Tray {
    Mode mode;
    const LPCSTR* pictures;
    UINT pictureCount;
    UINT frame;
    DWORD animationStart;
    bool slowed;
    bool failureTold;
};

bool ModeNamed(const char* name, Mode& mode) {
    const struct { const char* name; Mode mode; } modes[] = {
        {"idle", Mode::Idle}, {"https", Mode::Https}, {"blinking", Mode::Blinking}, {"connecting", Mode::Connecting}};
    for (const auto& known : modes) {
        if (std::strcmp(known.name, name) == 0) {
            mode = known.mode;
            return true;
        }
    }
    return false;
}

void ReadAnswer(HINTERNET request) {
    char chunk[1024];
    DWORD count = 0;
    while (InternetReadFile(request, chunk, sizeof chunk, &count) && count != 0) {
    }
}

bool Send(HINTERNET request) {
    return HttpSendRequestA(request, kContentTypeLine, sizeof kContentTypeLine - 1, nullptr, 0) != FALSE;
}

bool SendOverTls(HINTERNET request) {
    if (Send(request)) return true;
    if (GetLastError() != kErrorInvalidCa) return false;
    DWORD flags = 0;
    DWORD length = sizeof flags;
    InternetQueryOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, &length);
    flags |= SECURITY_FLAG_IGNORE_UNKNOWN_CA;
    InternetSetOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, sizeof flags);
    return Send(request);
}

bool SendStatusRequest(const Poller& poller) {
    const INTERNET_PORT port = poller.tls ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
    const HINTERNET connection =
        InternetConnectA(poller.session, poller.host, port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (!connection) return false;
    const HINTERNET request = HttpOpenRequestA(connection, "GET", poller.objectName, "HTTP/1.0", "", nullptr,
                                               poller.tls ? kHttpsFlags : kHttpFlags, 0);
    bool answered = false;
    if (request) {
        answered = poller.tls ? SendOverTls(request) : Send(request);
        if (answered) ReadAnswer(request);
        InternetCloseHandle(request);
    }
    InternetCloseHandle(connection);
    return answered;
}

DWORD WINAPI PollLoop(LPVOID parameter) {
    const Poller& poller = *static_cast<const Poller*>(parameter);
    do {
        if (!SendStatusRequest(poller)) PostMessageA(poller.window, kFailedMessage, 0, 0);
    } while (WaitForSingleObject(poller.stop, poller.periodMs) == WAIT_TIMEOUT);
    return 0;
}

NOTIFYICONDATAA IconRecord(HWND window) {
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = kTrayIconId;
    return data;
}

void ShowPicture(HWND window, LPCSTR picture) {
    NOTIFYICONDATAA data = IconRecord(window);
    data.uFlags = NIF_ICON;
    data.hIcon = LoadIconA(nullptr, picture);  // shared system icon, never freed
    Shell_NotifyIconA(NIM_MODIFY, &data);
}

void ShowBalloon(HWND window, DWORD infoFlags, const char* text) {
    NOTIFYICONDATAA data = IconRecord(window);
    data.uFlags = NIF_INFO;
    data.dwInfoFlags = infoFlags;
    data.uTimeout = 10000;
    lstrcpynA(data.szInfoTitle, "same_work_tray", sizeof data.szInfoTitle);
    lstrcpynA(data.szInfo, text, sizeof data.szInfo);
    Shell_NotifyIconA(NIM_MODIFY, &data);
}

// After a minute the connecting pictures step once a second, as the agent's do.
void StepFrame(HWND window, Tray& tray) {
    tray.frame = (tray.frame + 1) % tray.pictureCount;
    ShowPicture(window, tray.pictures[tray.frame]);
    if (tray.mode == Mode::Connecting && !tray.slowed && GetTickCount() - tray.animationStart >= kLongOutageMs) {
        tray.slowed = true;
        SetTimer(window, kFrameTimerId, kLongOutageFramePeriodMs, nullptr);
    }
}

// The first failure's balloon and box; the box stays open, its modal loop
// keeping the timers and the polls' messages going.
void TellFailure(HWND window, Tray& tray) {
    if (tray.failureTold) return;
    tray.failureTold = true;
    ShowBalloon(window, NIIF_WARNING, "no connection");
    LoadLibraryW(L"comctl32.dll");  // stays for the process, as the agent's does
    MessageBoxW(window, L"no connection", L"same_work_tray", MB_OK | MB_ICONWARNING);
}

// What the agent's away check reads: the cursor, the last input the system
// saw and whether the screen saver runs.
void CheckAway() {
    POINT cursor;
    GetCursorPos(&cursor);
    LASTINPUTINFO input{sizeof input, 0};
    GetLastInputInfo(&input);
    BOOL screenSaverRunning = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &screenSaverRunning, 0);
}

// The tray's state is the UI thread's, reached through the window.
Tray& TrayOf(HWND window) { return *reinterpret_cast<Tray*>(GetWindowLongPtrA(window, GWLP_USERDATA)); }

LRESULT CALLBACK SameWorkWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == kAwayTimerId) {
        CheckAway();
        return 0;
    }
    if (message == WM_TIMER && wParam == kFrameTimerId) {
        StepFrame(window, TrayOf(window));
        return 0;
    }
    if (message == kFailedMessage && TrayOf(window).mode == Mode::Connecting) {
        TellFailure(window, TrayOf(window));
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool AddTrayIcon(HWND window) {
    NOTIFYICONDATAA data = IconRecord(window);
    data.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    data.uCallbackMessage = kTrayMessage;
    data.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    lstrcpynA(data.szTip, "same_work_tray", sizeof data.szTip);
    return Shell_NotifyIconA(NIM_ADD, &data) != FALSE;
}

using PlaySoundFunction = BOOL(WINAPI*)(LPCSTR, HMODULE, DWORD);
using OutputDevicesFunction = UINT(WINAPI*)();

template <typename Function>
Function WinmmFunction(HMODULE winmm, const char* name) {
    return winmm ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(winmm, name))) : nullptr;
}

// The sound library is loaded for the one sound, and stays, as the agent's
// does; like the agent, it plays nothing where there is no sound output.
void PlayNewMessageSound() {
    const HMODULE winmm = LoadLibraryW(L"winmm.dll");
    const auto play = WinmmFunction<PlaySoundFunction>(winmm, "PlaySoundA");
    const auto devices = WinmmFunction<OutputDevicesFunction>(winmm, "waveOutGetNumDevs");
    if (!play || !devices || devices() == 0) return;
    play(MAKEINTRESOURCEA(IDR_SAME_WORK_SOUND), GetModuleHandleA(nullptr), SND_RESOURCE | SND_ASYNC);
}

void StartAnimation(HWND window, Tray& tray) {
    const bool blinking = tray.mode == Mode::Blinking;
    tray.pictures = blinking ? kBlinkPictures : kConnectingPictures;
    tray.pictureCount = blinking ? 2 : 4;
    tray.animationStart = GetTickCount();
    SetTimer(window, kFrameTimerId, blinking ? kBlinkPeriodMs : kConnectingPeriodMs, nullptr);
    if (!blinking) return;
    PlayNewMessageSound();
    ShowBalloon(window, NIIF_INFO, "new messages");
}

int RunMessageLoop() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

// The tray's window, icon and timers, and the poller's thread and session;
// the poller is told to stop but not waited for, since its request may hang
// (the process ends it).
int Run(Poller& poller, Tray& tray) {
    int result = 1;
    if (AddTrayIcon(poller.window)) {
        SetTimer(poller.window, kAwayTimerId, kAwayPeriodMs, nullptr);
        if (tray.mode == Mode::Blinking || tray.mode == Mode::Connecting) StartAnimation(poller.window, tray);
        const HANDLE thread = CreateThread(nullptr, 0, &PollLoop, &poller, 0, nullptr);
        if (thread) {
            result = RunMessageLoop();
            SetEvent(poller.stop);
            CloseHandle(thread);
        }
        NOTIFYICONDATAA data = IconRecord(poller.window);
        Shell_NotifyIconA(NIM_DELETE, &data);
    }
    if (IsWindow(poller.window)) DestroyWindow(poller.window);
    return result;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    Tray tray{};
    if (__argc < 4 || !ModeNamed(__argv[1], tray.mode)) return 2;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = SameWorkWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassA(&windowClass)) return 1;

    const long period = __argc > 4 ? std::strtol(__argv[4], nullptr, 10) : 0;
    Poller poller{__argv[2], __argv[3], period > 0 ? static_cast<DWORD>(period) : kDefaultPeriodMs,
                  tray.mode == Mode::Https,
                  InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0),
                  CreateEventA(nullptr, TRUE, FALSE, nullptr),
                  CreateWindowExA(0, kWindowClass, "same_work_tray", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  instance, nullptr)};
    int result = 1;
    if (poller.session && poller.stop && poller.window) {
        SetWindowLongPtrA(poller.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&tray));
        result = Run(poller, tray);
    }
    // A poller still inside a request keeps using the session and the event;
    // both go with the process.
    return result;
}
