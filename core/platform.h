#pragma once
// What the agent's logic needs from the desktop: the main window's timers, the
// tray icon with its menus, message boxes and dialogs, the cursor and the
// input, whether the consultant is busy, the shell, and the work that runs on
// workers (service requests, the update's download and check). The Windows
// side implements it; the core's tests use a fake.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "protocol.h"

namespace kov {

// Timers on the main window.
constexpr int POLL_TIMER = 1;
constexpr int IDLE_TIMER = 2;
// Once, when the network's grace period after a resume from sleep is over.
constexpr int kGraceTimer = 3;
// Once, when an outage has lasted kLongOutageMs: the connecting animation slows.
constexpr int kLongOutageTimer = 4;

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
    // Where the icon is, on a Windows that hides new icons: information icon;
    // a click does nothing.
    Hint,
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
    Authentic,            // a newer installer, intact, signed by the running agent's own publisher
    Unsigned,             // no signature at all
    AlteredAfterSigning,  // signed, but the file no longer matches its signature
    OtherPublisher,       // intact, signed by someone else
    AgentUnsigned,        // the running agent has no signer to compare with
    CheckUnavailable,     // Windows could not supply the check itself
    Expired,              // the certificate was not valid when it signed (no timestamp)
    Revoked,              // a certificate of the chain is revoked
    NotForCodeSigning,    // the certificate is not for code signing
    SignatureInvalid,     // any other failure of the signature or its chain
    AmbiguousSigner,      // another certificate with the signer's issuer and serial
    OtherAuthority,       // trusted, but under another root than the agent's
    NotAnInstaller,       // signed by the publisher, but not the agent's installer
    Uninstaller,          // the agent's uninstaller
    NotNewer,             // an installer of this or an older version
};

struct CursorPos {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const CursorPos& other) const { return x == other.x && y == other.y; }
};

// A request to the service as a worker carries it: a copy that shares nothing
// with the agent. The epoch comes back with the reply, so that the agent can
// tell a reply to a request made before a sign-out or a new sign-in.
struct ServiceCall {
    RequestKind kind = RequestKind::Poll;
    std::uint64_t epoch = 0;
    std::string server;
    std::string path;
};

// The reply to a ServiceCall, as it comes back to the UI thread: the body, or
// "" when the request failed.
struct ServiceAnswer {
    RequestKind kind = RequestKind::Poll;
    std::uint64_t epoch = 0;
    std::string reply;
};

// The downloaded installer as it comes back to the UI thread. A file that
// failed its check has already been deleted.
struct InstallerFetch {
    bool downloaded = false;
    InstallerCheck verdict = InstallerCheck::CheckUnavailable;
    std::string path;  // UTF-8
};

// What Windows says of the consultant's session.
enum class SessionChange { Locked, Unlocked, Disconnected, Reconnected };

// What a confirmed sign-in dialog yields.
struct SignInEntry {
    std::string login;
    std::string password;
    bool remember = true;
};

// Every operation is called on the UI thread, the main window's, and returns
// there. The work that waits on the network runs on workers: its result comes
// back to the UI thread as a posted message, which the main window hands to
// AgentController::OnReply or OnInstallerFetched. A worker holds only its
// copy of the work and the window to post to, so a result that comes after
// the main window has gone is dropped.
class AgentPlatform {
public:
    virtual ~AgentPlatform() = default;

    // Timers on the main window: arming a running timer restarts its period;
    // killing a timer that does not run is harmless.
    virtual void SetMainTimer(int timerId, int periodMs) = 0;
    virtual void KillMainTimer(int timerId) = 0;

    // The tray: created once, then shown one whole view at a time.
    virtual void CreateTray(const TrayStart& start) = 0;
    virtual void ShowTray(const TrayView& view) = 0;
    // A balloon of its own (a failure, a rejected sign-in).
    virtual void ShowBalloon(const BalloonTip& balloon) = 0;

    // True while a top-level window titled exactly "Kovarentis " exists.
    virtual bool IsMessageBoxOpen() = 0;
    // Closes the agent's open message box with this text, as its OK would.
    virtual void CloseMessageBox(const std::string& text) = 0;
    // None when Windows cannot tell (a locked session, the secure desktop).
    virtual std::optional<CursorPos> CursorPosition() = 0;
    virtual bool ScreenSaverRunning() = 0;
    // The local time of day as "HH:MM".
    virtual std::string LocalTimeText() = 0;
    // When the system last saw input of any kind (keys, mouse, touch), on a
    // millisecond clock that wraps: only its changes mean anything.
    virtual std::uint32_t LastInputStamp() = 0;
    // True while the consultant should not be disturbed: Windows reports a
    // full-screen program, a presentation or quiet time.
    virtual bool ConsultantBusy() = 0;
    // False while the consultant has turned the system's animations off: the
    // icon then neither blinks nor steps through frames.
    virtual bool MotionAllowed() = 0;
    // True on a Windows that puts a program's new icon behind the overflow
    // arrow instead of on the taskbar.
    virtual bool TrayHidesNewIcons() = 0;
    // Opens the tray menu at the icon; false, with nothing shown, when the
    // icon is not where the consultant can see it (hidden in the overflow).
    virtual bool ShowTrayMenuAtIcon() = 0;
    // The shell's "open" of a URL; the result is not looked at.
    virtual void ShellOpen(const std::string& url) = 0;
    virtual void BringSignInDialogForward() = 0;
    // Asks the main window's modal run to end with the result.
    virtual void EndMainDialog(int result) = 0;

    // Modal windows owned by the main window. Each runs a message loop of its
    // own until it closes, so timers, tray commands and posted results reach
    // the agent meanwhile.
    virtual BoxAnswer ShowMessageBox(const std::string& text, const std::string& caption, BoxKind kind) = 0;
    // The sign-in dialog with the check box preset and the login filled in
    // when one is known ("" leaves it empty); none when it was not confirmed.
    virtual std::optional<SignInEntry> RunSignInDialog(bool remember, const std::string& knownLogin) = 0;
    virtual void ShowAbout() = 0;

    // Work on a worker. False when no worker could take it; nothing comes
    // back then.
    virtual bool StartRequest(const ServiceCall& call) = 0;
    // The one request the UI thread waits for, when the agent leaves (closes,
    // the session ends, the machine sleeps): its reply, or none when it did
    // not come within the time.
    virtual std::optional<std::string> RequestAndWait(const ServiceCall& call, int timeoutMs) = 0;
    // Downloads a fresh copy of the URL (http or https, with the system's own
    // certificate checks) into a folder of the agent's own and checks the
    // file's signature and version record against the running agent's own.
    virtual bool StartInstallerFetch(const std::string& url) = 0;
    // Starts the installer that the last fetch verified, shown normally; true
    // when it started. Any other path is refused.
    virtual bool ShellOpenFile(const std::string& path) = 0;
};

}  // namespace kov
