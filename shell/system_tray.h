#pragma once
// The agent's icon in the notification area: icon, tooltip and balloon tips,
// the right-click menu, the double-click and balloon-click commands, the
// frame animation of the icon (a timer on the tray's own window, handed to a
// worker thread while the window's thread is blocked), and the retries of an add that the shell refused (a timer on the
// tray's window).
//
// Texts arrive as Windows-1251 bytes and reach the shell as UTF-16, so they read
// the same whatever the system's ANSI code page.
//
// The object and its window belong to the thread that calls Create (the UI
// thread); every operation is called there. The one exception is the worker
// that steps a worker-mode animation during KeepAnimatingDuring: it steps over
// a copy of the frames with a record of its own and shares nothing with the
// window's thread but the event that stops it, so no lock is needed.
#include <windows.h>
#include <shellapi.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "core/diagnostic_log.h"
#include "winsupport/handles.h"
#include "shell/framework/window.h"

namespace kov {

class Menu;

// Timer id of a timer-mode animation on the tray's window.
constexpr UINT ANIMATION_TIMER = 4567;
// Timer id of the retries of an add that the shell refused.
constexpr UINT ADD_RETRY_TIMER = 4568;
// How often and for how long a refused add is tried again: the shell may not
// be ready yet when the agent starts at logon.
constexpr UINT kAddRetryPeriodMs = 2000;
constexpr long long kAddRetrySeconds = 5 * 60;

// The record is handed to the shell in the layout that ends with guidItem
// (no balloon-icon handle): 952 bytes on 32-bit Windows.
constexpr DWORD kTrayRecordSize = offsetof(NOTIFYICONDATAW, guidItem) + sizeof(GUID);
#ifndef _WIN64
static_assert(kTrayRecordSize == 952, "the 32-bit notification record is 952 bytes");
#endif

// What the tray needs from the system. Each default calls the system; tests
// derive from it to watch the shell calls, set the version and the clock.
class TrayPlatform {
public:
    virtual ~TrayPlatform() = default;
    // Shell_NotifyIconW.
    virtual BOOL NotifyIcon(DWORD message, const NOTIFYICONDATAW& record);
    // The low byte of GetVersion.
    virtual DWORD MajorVersion();
    // Windows NT of major version 5 or later: balloon tips exist.
    virtual bool IsWin2kOrLater();
    // Local date and time, counted in whole seconds.
    virtual long long LocalSeconds();
    // The animation worker's pause: waits for the wake event or the time-out,
    // returns as WaitForSingleObject. Called on the worker's thread, as is
    // NotifyIcon for its steps.
    virtual DWORD WaitBetweenFrames(HANDLE wake, DWORD milliseconds);
};

// The platform that talks to the real system.
TrayPlatform& SystemTrayPlatform();

class CSystemTray : public Window {
public:
    explicit CSystemTray(TrayPlatform& platform = SystemTrayPlatform());
    // Removes the icon, ends the animation and destroys the hidden window; call
    // it on the thread that called Create.
    ~CSystemTray() override;

    // Creates the hidden window on the calling thread and adds the icon. The
    // balloon text and title may be null (no first balloon, empty title).
    // When the shell refuses the add, the tray's thread tries again every
    // kAddRetryPeriodMs for kAddRetrySeconds, with the record as it is then.
    BOOL Create(UINT callbackMessage, const char* tooltip, HICON icon, UINT iconId,
                const char* balloonText = nullptr, const char* balloonTitle = nullptr,
                DWORD balloonIconKind = NIIF_NONE, UINT balloonTimeoutSeconds = 10);

    // Shows an icon that the caller keeps owning.
    BOOL SetIcon(HICON icon);
    // Shows an icon resource of the program; the loaded icon lives as long as
    // it is the current or the saved icon.
    BOOL SetIcon(UINT resourceId);
    HICON GetIcon();
    // Cut to 127 characters.
    BOOL SetTooltipText(const char* text);
    // Text cut to 255 characters, title (may be null) to 63; iconKind is the
    // record's balloon flags (icon, quiet time); timeout in seconds.
    BOOL ShowBalloon(const char* text, const char* title, DWORD iconKind, UINT timeoutSeconds);
    // The command a click on the balloons shown from now on posts to the
    // target window; 0 (the start) for none.
    void SetBalloonClickCommand(UINT command) { balloonClickCommand_ = command; }
    BOOL RemoveIcon();
    // The default item of the popup menu and of a double click: a command id,
    // or a position when byPosition is set.
    BOOL SetMenuDefaultItem(UINT item, BOOL byPosition);

    // The window that owns the popup menu and receives the commands: the
    // application's main window.
    void SetTargetWindow(HWND target) { target_ = target; }

    // Where the shell's refusals are noted; set before Create.
    void SetDiagnosticLog(std::shared_ptr<DiagnosticLog> log) { log_ = std::move(log); }

    // The menu shown on a right click; not owned.
    Menu* popupMenu = nullptr;

    // Puts replace(old) wherever an icon of the caller's was (the current
    // icon, the one an animation restores, the frames) and shows the current
    // one at once: the same pictures at another size after a DPI change.
    // The old handles may be destroyed once this returns.
    void ReplaceIcons(const std::function<HICON(HICON)>& replace);

    // Frames for Animate: handles the caller keeps owning, in display order. A
    // running worker goes on with the frames it started with.
    BOOL SetIconList(const HICON* icons, UINT count);
    // Cycles through the frames after stopping any running animation. Timer
    // mode steps every period on the tray's thread until the duration (whole
    // seconds, 0 or 0xFFFFFFFF for no limit) has passed; worker mode steps
    // every 200 ms whatever the period, until stopped, and keeps stepping
    // while the tray's thread is blocked in KeepAnimatingDuring. True when a
    // timer was set.
    BOOL Animate(UINT periodMs, DWORD durationSeconds, BOOL useWorker);
    // Runs a call that blocks the tray's thread (a network exchange) while a
    // worker thread steps a worker-mode animation in the timer's stead; the
    // timer takes over again when the call returns. Other animations, which
    // step only on the timer, wait. On the tray's thread.
    void KeepAnimatingDuring(const std::function<void()>& blockingCall);
    // Shows the next frame of the list (a timer-mode step).
    BOOL StepAnimation();
    // Stops the animation and shows the icon that was current when it began;
    // on return the worker has ended. True when a timer was killed.
    BOOL StopAnimation();
    // WM_TIMER of the tray's window.
    void OnAnimationTimer(UINT_PTR timerId);

    // The shell's callback for the icon: iconId from wParam, the mouse message
    // or balloon notification from lParam.
    virtual LRESULT OnTrayNotification(WPARAM iconId, LPARAM mouseMessage);
    // Called with a menu loaded from the program's menu resources just before
    // it is shown.
    virtual void PrepareMenu(HMENU /*menu*/) {}

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    bool OnTimer(UINT_PTR timerId) override;

private:
    struct MenuDefault {
        UINT item;
        BOOL byPosition;
    };
    struct Worker;

    LRESULT OnTaskbarCreated();
    void OnAddRetryTimer();
    LRESULT ShowPopupMenu(HWND target, UINT iconId, MenuDefault menuDefault);
    void PostDefaultCommand(HWND target, UINT iconId, MenuDefault menuDefault);

    BOOL Notify(DWORD message);
    BOOL ShowIcon(HICON icon);
    BOOL ShowWholeRecord();
    void StartAddRetries();
    void ReleaseUnusedIcons();

    BOOL StartAnimationTimer(UINT periodMs);
    // The worker of a worker-mode animation, starting after frame `index`;
    // StopWorker returns once it has ended, with the index it got to.
    void StartWorker(int index);
    int StopWorker();
    static DWORD WINAPI RunWorker(LPVOID worker);

    TrayPlatform& platform_;
    std::shared_ptr<DiagnosticLog> log_ = std::make_shared<NoDiagnosticLog>();
    HWND target_ = nullptr;
    UINT callbackMessage_ = 0;
    // The window's thread is inside a shell call.
    bool inShellCall_ = false;
    UINT balloonClickCommand_ = 0;
    UINT defaultItem_ = 0;
    BOOL defaultByPosition_ = TRUE;

    NOTIFYICONDATAW record_;
    BOOL enabled_ = FALSE;
    BOOL hidden_ = TRUE;
    // The shell shows record_'s icon and tip (the last add that carried both
    // succeeded, and no change of either failed since). Then an icon or tip
    // that is already shown is not sent again: under Wine every change is a
    // round trip to the process that draws the tray, and the agent restates
    // its icon and tip after every poll.
    BOOL recordShown_ = FALSE;
    // A worker has shown its frames since the record's icon was last sent.
    bool workerFramesShown_ = false;
    BOOL removed_ = TRUE;
    // The icon belongs in the notification area (Create without RemoveIcon):
    // a new taskbar gets it again.
    bool wanted_ = false;
    // When the add retries began (platform clock); they run while hidden_.
    long long addRetryStart_ = 0;
    const BOOL win2k_;
    std::vector<HICON> frameList_;
    // ANIMATION_TIMER while the animation steps on the window's timer, else 0.
    UINT_PTR animationTimerId_ = 0;
    int frameIndex_ = 0;
    // The running animation keeps the worker's pace and goes on while the
    // thread is blocked.
    bool workerMode_ = false;
    long long animationStart_ = 0;
    DWORD animationDuration_ = 0;
    HICON savedIcon_ = nullptr;
    // Icons loaded by resource id, kept while current or saved.
    std::vector<UniqueIcon> loadedIcons_;
    std::unique_ptr<Worker> worker_;
};

// What a worker-mode animation's thread uses: set up before it starts, then
// touched by that thread alone until the window's thread has waited for it.
struct CSystemTray::Worker {
    TrayPlatform& platform;
    NOTIFYICONDATAW record;  // the tray's record as it was, NIF_ICON
    std::vector<HICON> frames;
    int frameIndex;
    UniqueHandle wake;  // set to end the worker
    UniqueHandle thread;
};

}  // namespace kov
