#pragma once
// What the agent's logic needs from the desktop: the main window's timers, the
// tray icon with its menus, message boxes and dialogs, the cursor and the
// input, whether the consultant is busy, the shell, threads and the update
// download. The Windows side implements it; the core's
// tests use a fake.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "transport.h"

namespace kov {

// Timers on the main window.
constexpr int POLL_TIMER = 1;
constexpr int IDLE_TIMER = 2;

// The commands of the tray menus, and the tray's double click and
// new-message balloon click (OpenConsultPage).
enum class Command { StatusOnline, StatusAway, StatusOffline, About, SignInOut, Close, OpenConsultPage };

// The pictures the tray icon shows.
enum class TrayIcon { Online, Away, Offline, NewMessage, Connecting1, Connecting2, Connecting3, Connecting4 };

// Animation frame lists, in frame order.
inline const std::vector<TrayIcon> onlineBlinkFrames{TrayIcon::Online, TrayIcon::NewMessage};
inline const std::vector<TrayIcon> awayBlinkFrames{TrayIcon::Away, TrayIcon::NewMessage};
inline const std::vector<TrayIcon> connectingFrames{TrayIcon::Connecting1, TrayIcon::Connecting2,
                                                    TrayIcon::Connecting3, TrayIcon::Connecting4};

// The message boxes the agent shows, each with its buttons and icon.
enum class BoxKind {
    Warning,   // OK button, warning icon
    Question,  // Yes and No buttons, question icon
};
// The button that closed a box. A box that could not be shown answers No.
enum class BoxAnswer { Ok, Yes, No };

// What a balloon tip is about, which decides its icon and its click.
enum class BalloonKind {
    // A failure or a rejected sign-in: warning icon; a click does nothing.
    Warning,
    // New messages: information icon, held back by Windows in the user's quiet
    // time; a click opens the consultant page (Command::OpenConsultPage), as
    // the icon's double click does.
    NewMessages,
};
// Balloon tips are shown for 10 seconds.
constexpr int kBalloonSeconds = 10;

enum class MenuKind { Main, SignedOut };

struct BalloonTip {
    std::string text;
    std::string title;
    BalloonKind kind = BalloonKind::Warning;
    int timeoutSec = kBalloonSeconds;
};

// What the tray icon shows first: created visible with the tooltip and the
// icon, its menus built, and the command of a double click.
struct TrayStart {
    std::string tooltip;
    TrayIcon icon = TrayIcon::Online;
    Command defaultCommand = Command::OpenConsultPage;
};

// A steady icon (no frames), or an animation over frames that starts from
// `icon` when there is one. An animation runs until the next view, its
// duration unbounded.
struct IconView {
    std::optional<TrayIcon> icon;
    std::vector<TrayIcon> frames;
    int periodMs = 0;
};

// One whole state of the tray, as the agent decided it, with the
// announcement of a rise of the new-message count already decided (the busy
// check is the core's).
struct TrayView {
    // None leaves the tooltip as it is.
    std::optional<std::string> tooltip;
    IconView icon;
    bool playSound = false;
    std::optional<BalloonTip> balloon;
    MenuKind menu = MenuKind::SignedOut;
    // StatusOnline, StatusAway or StatusOffline gets the only check mark of
    // the three; none leaves the marks as they are.
    std::optional<Command> checkedCommand;
};

// What the check of a downloaded installer found. Only Authentic may start.
enum class InstallerCheck {
    Authentic,            // intact, signed by the running agent's own publisher
    Unsigned,             // no signature at all
    AlteredAfterSigning,  // signed, but the file no longer matches its signature
    OtherPublisher,       // intact, signed by someone else
    AgentUnsigned,        // the running agent has no signer to compare with
    CheckUnavailable,     // Windows could not supply the check itself
};

struct CursorPos {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const CursorPos& other) const { return x == other.x && y == other.y; }
};

// What a confirmed sign-in dialog yields.
struct SignInEntry {
    std::string login;
    std::string password;
    bool remember = true;
};

// All operations may be called from the UI thread and from the agent's worker
// threads. The core keeps the platform alive (shared ownership) as long as any
// worker runs, so a worker may still be inside a modal or network operation
// after the main window is gone; those calls must then return when they can.
class AgentPlatform {
public:
    virtual ~AgentPlatform() = default;

    // --- Short operations. They return promptly and never wait for the UI
    // thread (post to it instead): the core arms and kills timers while it
    // holds its state lock, which the UI thread may be waiting for, and when
    // the owner closes, the UI thread waits for the short calls in progress.
    // The core makes none of them once its owner has started to close.

    // Timers on the main window: arming a running timer restarts its period;
    // killing a timer that does not run is harmless. Effects follow call order.
    virtual void SetMainTimer(int timerId, int periodMs) = 0;
    virtual void KillMainTimer(int timerId) = 0;

    // The tray: created once, then shown one whole view at a time. Both only
    // queue the work for the UI thread, which applies it in call order, so the
    // core calls them under its state lock, in the order its state changed.
    virtual void CreateTray(const TrayStart& start) = 0;
    virtual void ShowTray(const TrayView& view) = 0;
    // A balloon of its own (a failure, a rejected sign-in), in order with the views.
    virtual void ShowBalloon(const BalloonTip& balloon) = 0;

    // True while a top-level window titled exactly "Kovarentis " exists.
    virtual bool IsMessageBoxOpen() = 0;
    virtual CursorPos CursorPosition() = 0;
    // When the system last saw input of any kind (keys, mouse, touch), on a
    // millisecond clock that wraps: only its changes mean anything.
    virtual std::uint32_t LastInputStamp() = 0;
    // True while the consultant should not be disturbed: Windows reports a
    // full-screen program, a presentation or quiet time.
    virtual bool ConsultantBusy() = 0;
    // The shell's "open" of a URL; the result is not looked at.
    virtual void ShellOpen(const std::string& url) = 0;
    virtual void BringSignInDialogForward() = 0;
    // Asks the main window's modal run to end with the result.
    virtual void EndMainDialog(int result) = 0;
    // Runs body once on a worker thread that nobody joins (a parked one that
    // ran an earlier body, or a new one); the implementation does not touch
    // the platform after body returns. False when no thread could run it.
    virtual bool StartThread(std::function<void()> body) = 0;

    // Update download: "KovarentisSetup.exe" in the user's temporary
    // directory (UTF-8), none when that path cannot be had.
    virtual std::optional<std::string> InstallerPath() = 0;

    // --- Long operations: modal windows owned by the main window, downloads
    // and process starts. The core never holds a lock across them and never
    // waits for them when it closes.

    virtual BoxAnswer ShowMessageBox(const std::string& text, const std::string& caption, BoxKind kind) = 0;
    // The sign-in dialog with empty fields and the check box preset; none when
    // it was not confirmed.
    virtual std::optional<SignInEntry> RunSignInDialog(bool remember) = 0;
    virtual void ShowAbout() = 0;
    // Fetches a fresh copy of the URL (http or https, with the system's own
    // certificate checks) into path; true only for a complete HTTP 200 reply.
    // On failure no file is left at path.
    virtual bool DownloadToFile(const std::string& url, const std::string& path) = 0;
    // The Authenticode check of a downloaded file against the running agent's
    // own signature.
    virtual InstallerCheck CheckInstaller(const std::string& path) = 0;
    // Deletes a downloaded file; a file already gone is no failure.
    virtual void RemoveFile(const std::string& path) = 0;
    // The shell's "open" of a file, shown normally; true when it started.
    virtual bool ShellOpenFile(const std::string& path) = 0;
};

}  // namespace kov
