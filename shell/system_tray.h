#pragma once
// The agent's icon in the notification area: icon, tooltip and balloon tips,
// the right-click menu, the double-click and balloon-click commands, the
// frame animation of the icon (a timer on the tray's own window, or a worker
// thread), and the retries of an add that the shell refused (a timer on the
// tray's window).
//
// Texts arrive as Windows-1251 bytes and reach the shell as UTF-16, so they read
// the same whatever the system's ANSI code page.
//
// The object is used from the UI thread, from poll worker threads and from its
// own animation worker. Every operation that writes the notification record
// holds recordLock_ while it writes and while the shell reads the record, so
// no call ever carries one thread's flags with another thread's data.
#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <vector>

#include "net/handles.h"
#include "shell/framework/window.h"

namespace kov {

class Menu;

// Timer id of a timer-mode animation on the tray's window.
constexpr UINT ANIMATION_TIMER = 4567;
// Posted to the tray's window by Animate on another thread: arm the timer.
constexpr UINT WM_ARM_ANIMATION_TIMER = WM_APP + 0x210;
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
    // returns as WaitForSingleObject.
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
    void SetBalloonClickCommand(UINT command) { balloonClickCommand_.store(command); }
    BOOL RemoveIcon();
    // The default item of the popup menu and of a double click: a command id,
    // or a position when byPosition is set.
    BOOL SetMenuDefaultItem(UINT item, BOOL byPosition);

    // The window that owns the popup menu and receives the commands: the
    // application's main window.
    void SetTargetWindow(HWND target) { target_.store(target); }

    // The menu shown on a right click; not owned, set by the agent from any thread.
    std::atomic<Menu*> popupMenu{nullptr};

    // Puts replace(old) wherever an icon of the caller's was (the current
    // icon, the one an animation restores, the frames) and shows the current
    // one at once: the same pictures at another size after a DPI change.
    // The old handles may be destroyed once this returns.
    void ReplaceIcons(const std::function<HICON(HICON)>& replace);

    // Frames for Animate: handles the caller keeps owning, in display order.
    BOOL SetIconList(const HICON* icons, UINT count);
    // Cycles through the frames after stopping any running animation. Timer
    // mode steps every period on the tray's thread until the duration (whole
    // seconds, 0 or 0xFFFFFFFF for no limit) has passed; worker mode steps
    // every 200 ms whatever the period, until stopped. True when a timer was set.
    BOOL Animate(UINT periodMs, DWORD durationSeconds, BOOL useWorker);
    // Shows the next frame.
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

    LRESULT OnTaskbarCreated();
    void OnAddRetryTimer();
    LRESULT ShowPopupMenu(HWND target, UINT iconId, MenuDefault menuDefault);
    void PostDefaultCommand(HWND target, UINT iconId, MenuDefault menuDefault);

    // These expect recordLock_ to be held.
    BOOL Notify(DWORD message);
    BOOL SetIconHeld(HICON icon);
    BOOL ShowWholeRecordHeld();
    void StartAddRetriesHeld();
    void ReleaseUnusedIcons();
    void ArmAnimationTimerHeld();

    void ArmAnimationTimer();
    bool OnWindowThread() const;

    // These expect animationControl_ to be held.
    BOOL StopAnimationHeld();
    void StopWorker();
    void StartWorker();
    static DWORD WINAPI AnimationWorker(LPVOID tray);

    TrayPlatform& platform_;
    std::atomic<HWND> target_{nullptr};
    std::atomic<UINT> callbackMessage_{0};
    // The thread inside a shell call, 0 when none is (written under recordLock_).
    std::atomic<DWORD> notifyingThread_{0};
    // What the shell's callback reads. The callback can arrive on a thread
    // that holds recordLock_ in a shell call (a thread waiting for a sent
    // message takes in the messages sent to it), so these have their own guard.
    std::atomic<UINT> iconId_{0};
    std::atomic<UINT> balloonClickCommand_{0};
    std::mutex menuDefaultLock_;
    UINT defaultItem_ = 0;
    BOOL defaultByPosition_ = TRUE;

    // Guards the record and every field below it up to the animation control.
    std::mutex recordLock_;
    NOTIFYICONDATAW record_;
    BOOL enabled_ = FALSE;
    BOOL hidden_ = TRUE;
    // The shell shows record_'s icon and tip (the last add that carried both
    // succeeded, and no change of either failed since). Then an icon or tip
    // that is already shown is not sent again: under Wine every change is a
    // round trip to the process that draws the tray, and the agent restates
    // its icon and tip after every poll.
    BOOL recordShown_ = FALSE;
    BOOL removed_ = TRUE;
    // The icon belongs in the notification area (Create without RemoveIcon):
    // a new taskbar gets it again.
    bool wanted_ = false;
    // When the add retries began (platform clock); they run while hidden_.
    long long addRetryStart_ = 0;
    const BOOL win2k_;
    std::vector<HICON> frameList_;
    // ANIMATION_TIMER while a timer animation runs (armed, or about to be by
    // the tray's thread), else 0.
    UINT_PTR animationTimerId_ = 0;
    UINT animationPeriodMs_ = 0;
    int frameIndex_ = 0;
    long long animationStart_ = 0;
    DWORD animationDuration_ = 0;
    HICON savedIcon_ = nullptr;
    // Icons loaded by resource id, kept while current or saved.
    std::vector<UniqueIcon> loadedIcons_;

    // Serialises Animate, StopAnimation, SetIconList and the timer handler as
    // whole operations (at most one worker at a time). Taken before
    // recordLock_; the worker never takes it, so a stop may wait for the worker
    // while holding it.
    std::mutex animationControl_;
    UniqueHandle animationWorker_;
    std::atomic<bool> animationRunning_{false};
    // Set to wake the worker from its pause when it is stopped.
    UniqueHandle workerWake_;
};

}  // namespace kov
