#pragma once
// The agent's icon in the notification area, with its two menus, its
// animation, its balloons and the new-message sound. It holds the last view
// it was given and hands the shell only what changed: each Shell_NotifyIcon
// call gets a record built from what the tray holds, with the flags of that
// call alone. The icon speaks the shell's version-4 callbacks, so the keyboard
// reaches it too. The commands of the icon (a menu item, the double click,
// Enter or Space on the icon, a click on a new-message balloon) reach the owner
// window as kCommandMessage.
//
// Texts arrive as Windows-1251 bytes and reach the shell as UTF-16, so they
// read the same whatever the system's ANSI code page.
//
// The object, its hidden window and its timers (the animation, the retries of
// a refused add) belong to the thread that calls Create, the UI thread, which
// alone calls it. The owner window outlives the tray.
#include <windows.h>
#include <shellapi.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "core/diagnostic_log.h"
#include "core/platform.h"
#include "core/texts.h"
#include "shell/agent_menus.h"
#include "shell/framework/window.h"
#include "shell/tray_icons.h"
#include "winsupport/wide_text.h"

namespace kov {

// Timer id of the animation on the tray's window.
constexpr UINT ANIMATION_TIMER = 4567;
// Timer id of the retries of an add that the shell refused.
constexpr UINT kAddRetryTimer = 4568;
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
// derive from it to watch the shell calls, to set the clock and the
// accessibility settings.
class TrayPlatform {
public:
    virtual ~TrayPlatform() = default;
    // Shell_NotifyIconW; a refusal leaves its reason in GetLastError.
    virtual BOOL NotifyIcon(DWORD message, const NOTIFYICONDATAW& record);
    // Local date and time, counted in whole seconds.
    virtual long long LocalSeconds();
    // A screen reader runs (SPI_GETSCREENREADER).
    virtual bool ScreenReaderOn();
    // High contrast is on (SPI_GETHIGHCONTRAST, HCF_HIGHCONTRASTON).
    virtual bool HighContrastOn();
};

// The platform that talks to the real system.
TrayPlatform& SystemTrayPlatform();

class CSystemTray : public Window {
public:
    // Posted to the owner window for every command of the tray: a menu item, the
    // double click, Enter or Space on the icon, a click on a new-message
    // balloon. wParam is the kov::Command.
    static constexpr UINT kCommandMessage = WM_APP + 0x101;
    // The icon's id in the shell.
    static constexpr UINT kIconId = 101;

    // The menus' texts must outlive the tray and stay unchanged; refusals of
    // the shell are noted in the log when there is one.
    explicit CSystemTray(const Texts& texts, TrayPlatform& shell = SystemTrayPlatform(),
                         std::shared_ptr<DiagnosticLog> log = nullptr);
    // Removes the icon and destroys the hidden window.
    ~CSystemTray() override;

    // Creates the hidden window, adds the icon and builds the menus; TRUE when
    // the shell took the icon. A refused add is tried again every
    // kAddRetryPeriodMs for kAddRetrySeconds with the view as it is then.
    BOOL Create(const TrayStart& start, HWND owner);
    // A whole view, as the core decided it.
    void Show(const TrayView& view);
    void ShowBalloon(const BalloonTip& balloon);
    // The icons again at the small-icon size of the new DPI; an animation goes on.
    void OnDpiChanged(UINT dpi);
    // The menu at the icon, as a right click there would show it; false, with
    // nothing shown, when the shell does not say where the icon is or it is
    // not on the taskbar (behind the overflow arrow).
    bool ShowMenuAtIcon();

    const AgentMenus& Menus() const { return menus_; }
    // The menu a right click shows.
    const Menu& PopupMenu() const;
    // The icons the tray shows, at their current size.
    const TrayIconSet& Icons() const { return *icons_; }

    // The sound library's functions that the agent uses.
    struct SoundOutput {
        BOOL(WINAPI* play)(LPCSTR sound, HMODULE module, DWORD flags) = nullptr;
        UINT(WINAPI* devices)() = nullptr;
    };

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    bool OnTimer(UINT_PTR timerId) override;

private:
    // The parts of the icon that the shell is known to show; empty when
    // unknown (after a refused call or a delete).
    struct ShellShows {
        std::optional<HICON> icon;
        std::optional<WideString> tooltip;
    };

    void SetIcon(TrayIcon picture);
    void SetTooltipText(const WideString& tooltip);
    void ShowIconView(const IconView& view);
    void Animate(const std::vector<TrayIcon>& frames, int periodMs);
    void StopAnimation();
    void OnAnimationTimer();
    void ShowMenus(const TrayView& view);
    void PlayNewMessageSound();

    void OnTrayNotification(WPARAM wParam, LPARAM lParam);
    void TrackMenu(POINT anchor);
    void RefreshMenus();
    void ApplyChecks();
    void PostCommand(Command command);

    // The record of one shell call: the fixed fields and those of `flags`.
    NOTIFYICONDATAW Record(UINT flags);
    NOTIFYICONDATAW BalloonRecord(const BalloonTip& balloon, DWORD infoFlags);
    BOOL Notify(DWORD message, const NOTIFYICONDATAW& record);
    BOOL AddIcon(const NOTIFYICONDATAW& whole);
    void NoteRefusal(DWORD message, DWORD error);
    void OnTaskbarCreated();
    BOOL ShowWholeIcon();
    void StartAddRetries();
    void OnAddRetryTimer();
    void RemoveIcon();

    const Texts& texts_;
    TrayPlatform& shell_;
    const std::shared_ptr<DiagnosticLog> log_;
    HWND owner_ = nullptr;
    Command defaultCommand_ = Command::OpenConsultPage;

    std::unique_ptr<TrayIconSet> icons_;
    AgentMenus menus_;
    // The menu of the view held, and its checked status.
    Menu* popup_ = &menus_.signedOutMenu;
    std::optional<Command> checked_;

    // The view held: the steady icon, the picture shown now (a frame while
    // animating), the tooltip, the animation's frames and period.
    TrayIcon icon_ = TrayIcon::Online;
    TrayIcon picture_ = TrayIcon::Online;
    WideString tooltip_;
    std::vector<TrayIcon> frames_;
    int periodMs_ = 0;
    std::size_t frameIndex_ = 0;
    // What a click on the balloon shown last posts.
    std::optional<Command> balloonClick_;

    ShellShows shown_;
    // The shell has the icon: the last add, or the modify standing in for it,
    // was accepted.
    bool added_ = false;
    // The window's thread is inside a shell call.
    bool inShellCall_ = false;
    // The shell took the version-4 callbacks. An older one (Wine 8 among
    // them) keeps the first form: the icon's id in wParam, the mouse event in
    // lParam, nothing from the keyboard.
    bool version4_ = false;
    // When the add retries began (platform clock), while they run.
    std::optional<long long> retriesSince_;
    // The operations (bit NIM_x) whose refusal was logged since the shell
    // last accepted a call: during retries, each is logged once.
    unsigned refusalsLogged_ = 0;
    // Loaded by the first sound.
    SoundOutput sound_;
};

}  // namespace kov
