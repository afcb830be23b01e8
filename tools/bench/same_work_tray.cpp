// The least a program can spend doing the agent's idle work, for
// resource_bench.sh to judge the agent against: one tray icon with a tooltip,
// the status request sent through WinINet every period on one long-lived
// worker thread with one internet session kept for the process, and the
// cursor read every 3 s on the UI thread. Nothing else.
//   same_work_tray.exe HOST OBJECT_NAME [period in ms, default 15000]
// The request is the agent's: plain HTTP on port 80, HTTP/1.0, its user
// agent, request flags and content-type line. The first one goes out as soon
// as the icon is shown, the next one a period after each answer.
#include <windows.h>
#include <shellapi.h>
#include <wininet.h>

#include <cstdlib>

namespace {

constexpr UINT kTrayMessage = WM_APP + 1;
constexpr UINT kTrayIconId = 1;
constexpr UINT_PTR kCursorTimerId = 1;
constexpr UINT kCursorPeriodMs = 3000;
constexpr DWORD kDefaultPeriodMs = 15000;
constexpr char kWindowClass[] = "KovarentisSameWorkTray";
constexpr char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)";
constexpr char kContentTypeLine[] = "Content-Type: application/x-www-form-urlencoded";
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP |
                                INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS | INTERNET_FLAG_NO_UI |
                                INTERNET_FLAG_PRAGMA_NOCACHE;

struct Poller {
    const char* host;
    const char* objectName;
    DWORD periodMs;
    HINTERNET session;
    HANDLE stop;
};

void ReadAnswer(HINTERNET request) {
    char chunk[1024];
    DWORD count = 0;
    while (InternetReadFile(request, chunk, sizeof chunk, &count) && count != 0) {
    }
}

void SendStatusRequest(const Poller& poller) {
    const HINTERNET connection = InternetConnectA(poller.session, poller.host, INTERNET_DEFAULT_HTTP_PORT,
                                                  nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (!connection) return;
    const HINTERNET request = HttpOpenRequestA(connection, "GET", poller.objectName, "HTTP/1.0", "",
                                               nullptr, kRequestFlags, 0);
    if (request) {
        if (HttpSendRequestA(request, kContentTypeLine, sizeof kContentTypeLine - 1, nullptr, 0)) {
            ReadAnswer(request);
        }
        InternetCloseHandle(request);
    }
    InternetCloseHandle(connection);
}

DWORD WINAPI PollLoop(LPVOID parameter) {
    const Poller& poller = *static_cast<const Poller*>(parameter);
    do {
        SendStatusRequest(poller);
    } while (WaitForSingleObject(poller.stop, poller.periodMs) == WAIT_TIMEOUT);
    return 0;
}

LRESULT CALLBACK SameWorkWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == kCursorTimerId) {
        POINT cursor;
        GetCursorPos(&cursor);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

NOTIFYICONDATAA IconRecord(HWND window) {
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = kTrayIconId;
    return data;
}

bool AddTrayIcon(HWND window) {
    NOTIFYICONDATAA data = IconRecord(window);
    data.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    data.uCallbackMessage = kTrayMessage;
    data.hIcon = LoadIconA(nullptr, IDI_APPLICATION);  // shared system icon, never freed
    lstrcpynA(data.szTip, "same_work_tray", sizeof data.szTip);
    return Shell_NotifyIconA(NIM_ADD, &data) != FALSE;
}

int RunMessageLoop() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

// The tray's window, icon and cursor timer, and the poller's thread and
// session; the poller is told to stop but not waited for, since its request
// may hang (the process ends it).
int Run(HINSTANCE instance, Poller& poller) {
    const HWND window = CreateWindowExA(0, kWindowClass, "same_work_tray", WS_POPUP, 0, 0, 0, 0, nullptr,
                                        nullptr, instance, nullptr);
    if (!window) return 1;
    int result = 1;
    if (AddTrayIcon(window)) {
        SetTimer(window, kCursorTimerId, kCursorPeriodMs, nullptr);
        const HANDLE thread = CreateThread(nullptr, 0, &PollLoop, &poller, 0, nullptr);
        if (thread) {
            result = RunMessageLoop();
            SetEvent(poller.stop);
            CloseHandle(thread);
        }
        KillTimer(window, kCursorTimerId);
        NOTIFYICONDATAA data = IconRecord(window);
        Shell_NotifyIconA(NIM_DELETE, &data);
    }
    if (IsWindow(window)) DestroyWindow(window);
    return result;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (__argc < 3) return 2;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = SameWorkWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassA(&windowClass)) return 1;

    const long period = __argc > 3 ? std::strtol(__argv[3], nullptr, 10) : 0;
    Poller poller{__argv[1], __argv[2], period > 0 ? static_cast<DWORD>(period) : kDefaultPeriodMs,
                  InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0),
                  CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    int result = 1;
    if (poller.session && poller.stop) result = Run(instance, poller);
    // A poller still inside a request keeps using the session and the event;
    // both go with the process.
    return result;
}
