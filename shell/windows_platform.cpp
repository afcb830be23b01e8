#include "shell/windows_platform.h"

#include <shellapi.h>

#include <utility>

#include "core/diagnostic_lines.h"
#include "net/installer_folder.h"
#include "net/update_download.h"
#include "shell/about_dlg.h"
#include "shell/box_style.h"
#include "shell/framework/common_controls.h"
#include "shell/framework/dialog.h"
#include "shell/login_dlg.h"
#include "shell/notification_style.h"
#include "shell/system_facts.h"
#include "winsupport/wide_text.h"

namespace kov {
namespace {

// Kept between polls: the poll's thread. An Offline send beside a poll gets a
// thread that ends after it.
constexpr int kParkedWorkers = 1;

// The static control that holds a message box's text.
constexpr int kBoxTextId = 0xFFFF;

WideString WindowText(HWND window) {
    wchar_t text[512] = {};
    const int length = ::GetWindowTextW(window, text, static_cast<int>(sizeof text / sizeof text[0]));
    return WideString(text, length > 0 ? static_cast<std::size_t>(length) : 0);
}

struct BoxSearch {
    WideString caption;
    WideString text;
};

BOOL CALLBACK AnswerBoxWithOk(HWND window, LPARAM search) {
    const BoxSearch& wanted = *reinterpret_cast<const BoxSearch*>(search);
    if (WindowText(window) != wanted.caption) return TRUE;
    const HWND label = ::GetDlgItem(window, kBoxTextId);
    if (!label || WindowText(label) != wanted.text) return TRUE;
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return FALSE;
}

// On a worker: the result goes to the main window, or is freed when the
// window is gone.
template <typename Result>
void PostResult(HWND mainWindow, UINT message, std::unique_ptr<Result> result) {
    if (::PostMessageW(mainWindow, message, 0, reinterpret_cast<LPARAM>(result.get()))) result.release();
}

// On a worker: the installer is fetched into a folder of the agent's own,
// then checked through a handle that keeps it unchanged. A verified one goes
// to the UI thread with that handle; one that fails its check is deleted at
// once.
std::unique_ptr<WindowsPlatform::PostedInstaller> FetchInstaller(const std::string& url, DiagnosticLog& log) {
    auto posted = std::make_unique<WindowsPlatform::PostedInstaller>();
    const std::optional<std::string> path = PrepareInstallerPath(log);
    if (!path) return posted;
    posted->fetch.path = *path;
    posted->fetch.downloaded = DownloadToFile(url, *path, log);
    if (!posted->fetch.downloaded) return posted;
    HeldInstaller held = OpenAndCheck(*path, log);
    posted->fetch.verdict = held.verdict;
    if (held.verdict == InstallerCheck::Authentic) {
        posted->held = std::move(held.file);
    } else {
        held.file.Reset();
        RemoveFile(*path);
    }
    return posted;
}

// The thread's dialogs, boxes among them, other than the main window.
BOOL CALLBACK EndModalWindow(HWND window, LPARAM mainWindow) {
    wchar_t className[16] = {};
    ::GetClassNameW(window, className, 16);
    if (window != reinterpret_cast<HWND>(mainWindow) && WideString(className) == WideString(L"#32770")) {
        ::EndDialog(window, IDCANCEL);
    }
    return TRUE;
}

}  // namespace

WindowsPlatform::WindowsPlatform(std::shared_ptr<AgentTransport> requests, Texts texts,
                                 std::shared_ptr<DiagnosticLog> log, TrayPlatform& trayShell)
    : requests_(std::move(requests)),
      texts_(std::move(texts)),
      log_(std::move(log)),
      trayShell_(trayShell),
      workers_(kParkedWorkers) {}

void WindowsPlatform::Attach(HWND mainWindow) {
    mainWindow_ = mainWindow;
    tray_ = std::make_unique<CSystemTray>(texts_, trayShell_, log_);
}

void WindowsPlatform::Detach() {
    requests_->Abort();
    tray_.reset();
    mainWindow_ = nullptr;
    MSG posted;
    while (::PeekMessageW(&posted, nullptr, kReplyMessage, kInstallerMessage, PM_REMOVE)) {
        if (posted.message == kReplyMessage) TakeReply(posted.lParam);
        if (posted.message == kInstallerMessage) TakeInstallerFetch(posted.lParam);
    }
    DropHeldInstaller();
}

void WindowsPlatform::OnDpiChanged(UINT dpi) {
    if (tray_) tray_->OnDpiChanged(dpi);
}

std::unique_ptr<ServiceAnswer> WindowsPlatform::TakeReply(LPARAM posted) {
    return std::unique_ptr<ServiceAnswer>(reinterpret_cast<ServiceAnswer*>(posted));
}

InstallerFetch WindowsPlatform::TakeInstallerFetch(LPARAM posted) {
    const std::unique_ptr<PostedInstaller> installer(reinterpret_cast<PostedInstaller*>(posted));
    DropHeldInstaller();
    if (installer->held) {
        heldInstaller_ = std::move(installer->held);
        heldPath_ = installer->fetch.path;
    }
    return installer->fetch;
}

void WindowsPlatform::DropHeldInstaller() {
    if (!heldInstaller_) return;
    heldInstaller_.Reset();
    RemoveFile(heldPath_);
}

void WindowsPlatform::SetMainTimer(int timerId, int periodMs) {
    ::SetTimer(mainWindow_, static_cast<UINT_PTR>(timerId), static_cast<UINT>(periodMs), nullptr);
}

void WindowsPlatform::KillMainTimer(int timerId) { ::KillTimer(mainWindow_, static_cast<UINT_PTR>(timerId)); }

void WindowsPlatform::CreateTray(const TrayStart& start) {
    if (tray_) tray_->Create(start, mainWindow_);
}

void WindowsPlatform::ShowTray(const TrayView& view) {
    if (tray_) tray_->Show(view);
}

void WindowsPlatform::ShowBalloon(const BalloonTip& balloon) {
    if (tray_) tray_->ShowBalloon(balloon);
}

bool WindowsPlatform::IsMessageBoxOpen() { return ::FindWindowA(nullptr, kCaption) != nullptr; }

// The agent's boxes are dialogs of this thread with the agent's caption; the
// one whose text is this one is answered with its OK.
void WindowsPlatform::CloseMessageBox(const std::string& text) {
    BoxSearch search{WideFrom1251(kCaption), WideFrom1251(text)};
    ::EnumThreadWindows(::GetCurrentThreadId(), &AnswerBoxWithOk, reinterpret_cast<LPARAM>(&search));
}

// Locked, or on the secure desktop, Windows gives no cursor position.
std::optional<CursorPos> WindowsPlatform::CursorPosition() {
    POINT point{};
    if (!::GetCursorPos(&point)) return std::nullopt;
    return CursorPos{static_cast<std::int32_t>(point.x), static_cast<std::int32_t>(point.y)};
}

bool WindowsPlatform::ScreenSaverRunning() {
    BOOL running = FALSE;
    return ::SystemParametersInfoW(SPI_GETSCREENSAVERRUNNING, 0, &running, 0) && running;
}

std::string WindowsPlatform::LocalTimeText() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    const char text[] = {static_cast<char>('0' + now.wHour / 10), static_cast<char>('0' + now.wHour % 10), ':',
                         static_cast<char>('0' + now.wMinute / 10), static_cast<char>('0' + now.wMinute % 10)};
    return std::string(text, sizeof text);
}

// Keys, mouse and touch alike; the tick count wraps after 49 days, which the
// core allows for.
std::uint32_t WindowsPlatform::LastInputStamp() {
    LASTINPUTINFO input{};
    input.cbSize = sizeof input;
    return ::GetLastInputInfo(&input) ? input.dwTime : 0;
}

bool WindowsPlatform::ConsultantBusy() { return ShellReportsBusy(); }

bool WindowsPlatform::MotionAllowed() { return SystemAnimationsOn(); }

bool WindowsPlatform::TrayHidesNewIcons() { return TaskbarHidesNewIcons(); }

bool WindowsPlatform::ShowTrayMenuAtIcon() { return tray_ && tray_->ShowMenuAtIcon(); }

void WindowsPlatform::ShellOpen(const std::string& url) {
    ::ShellExecuteW(nullptr, L"open", WideFrom1251(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void WindowsPlatform::BringSignInDialogForward() {
    if (signInDialog_ && signInDialog_->Handle()) ::SetForegroundWindow(signInDialog_->Handle());
}

// A box or dialog still open runs its own loop inside the main window's: it
// is ended first, or the main window's run could not end until someone
// answered it.
void WindowsPlatform::EndMainDialog(int result) {
    ::EnumThreadWindows(::GetCurrentThreadId(), &EndModalWindow, reinterpret_cast<LPARAM>(mainWindow_));
    ::EndDialog(mainWindow_, result);
}

// Its buttons are common controls under the agent's manifest. A box opens
// centred on its owner: the zero-size main window moves first to the middle
// of the screen near the tray.
BoxAnswer WindowsPlatform::ShowMessageBox(const std::string& text, const std::string& caption, BoxKind kind) {
    if (!mainWindow_) return BoxAnswer::No;
    EnsureCommonControls();
    const RECT area = WorkAreaNearTray();
    ::SetWindowPos(mainWindow_, nullptr, (area.left + area.right) / 2, (area.top + area.bottom) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return AnswerOf(
        ::MessageBoxW(mainWindow_, WideFrom1251(text).c_str(), WideFrom1251(caption).c_str(), BoxStyle(kind)));
}

std::optional<SignInEntry> WindowsPlatform::RunSignInDialog(bool remember, const std::string& knownLogin) {
    if (!mainWindow_) return std::nullopt;
    CLoginDlg dialog;
    dialog.rememberChecked = remember ? 1 : 0;
    dialog.knownLogin = knownLogin;
    signInDialog_ = &dialog;
    const INT_PTR result = dialog.RunModal();
    signInDialog_ = nullptr;
    if (result != IDOK) return std::nullopt;
    return SignInEntry{dialog.loginText, dialog.passwordText, dialog.rememberChecked != 0};
}

void WindowsPlatform::ShowAbout() {
    CAbout about;
    about.RunModal();
}

bool WindowsPlatform::StartRequest(const ServiceCall& call) {
    return StartWorker([requests = requests_, call, mainWindow = mainWindow_] {
        auto answer = std::make_unique<ServiceAnswer>(ServiceAnswer{call.kind, call.epoch, {}});
        answer->reply = requests->ServiceRequest(call.server, call.path, "", "");
        PostResult(mainWindow, kReplyMessage, std::move(answer));
    });
}

// The worker hands the reply over through the shared record and its event;
// a reply that comes too late lands in the record, which the worker keeps.
std::optional<std::string> WindowsPlatform::RequestAndWait(const ServiceCall& call, int timeoutMs) {
    struct Handover {
        UniqueHandle done{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
        std::string reply;
    };
    const auto handover = std::make_shared<Handover>();
    if (!handover->done) return std::nullopt;
    const bool started = StartWorker([requests = requests_, call, handover] {
        handover->reply = requests->ServiceRequest(call.server, call.path, "", "");
        ::SetEvent(handover->done.Get());
    });
    if (!started || ::WaitForSingleObject(handover->done.Get(), static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    return handover->reply;
}

bool WindowsPlatform::StartInstallerFetch(const std::string& url) {
    return StartWorker([url, log = log_, mainWindow = mainWindow_] {
        PostResult(mainWindow, kInstallerMessage, FetchInstaller(url, *log));
    });
}

// Only the file verified and still held is started, by the path it was held
// at; the handle goes after the start (the running installer keeps writers out
// from then on) or with the file after a failed one.
bool WindowsPlatform::ShellOpenFile(const std::string& path) {
    if (!heldInstaller_ || path != heldPath_) return false;
    const bool started = StartInstaller(path);
    if (started) heldInstaller_.Reset();
    DropHeldInstaller();
    return started;
}

bool WindowsPlatform::StartWorker(std::function<void()> work) {
    if (!mainWindow_) return false;
    if (workers_.Run(std::move(work))) return true;
    log_->Write(WindowsFailureLine("worker: thread start", ::GetLastError()));
    return false;
}

}  // namespace kov
