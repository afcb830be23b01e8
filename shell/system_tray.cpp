// The tray's view: icon, tooltip, animation, menus, balloons and sound, and
// the commands of the icon. The shell calls are in system_tray_shell.cpp.
#include "shell/system_tray.h"

#include <mmsystem.h>
#include <windowsx.h>

#include <utility>

#include "shell/dpi.h"
#include "shell/notification_style.h"
#include "shell/resource_map.h"
#include "winsupport/system_library.h"
// Last: its macros would rename the core's constants of the same names.
#include "shell/res/resource.h"

namespace kov {
namespace {

// Every icon an animation shows, loaded with the tray so that no frame waits
// for a resource.
constexpr TrayIcon kFrameIcons[] = {TrayIcon::Online,      TrayIcon::NewMessage,  TrayIcon::Connecting1,
                                    TrayIcon::Connecting2, TrayIcon::Connecting3, TrayIcon::Connecting4,
                                    TrayIcon::Away};

std::unique_ptr<TrayIconSet> LoadFrames(std::unique_ptr<TrayIconSet> icons) {
    for (const TrayIcon icon : kFrameIcons) icons->Get(IconResourceOf(icon));
    return icons;
}

// The sound library, and the audio stack that it brings along, is loaded
// when the first sound plays rather than at start: most runs never play one.
// It stays for the process, since a sound may still be playing at the end.
CSystemTray::SoundOutput LoadSoundOutput() {
    const HMODULE winmm = LoadSystemLibrary(L"winmm.dll");
    CSystemTray::SoundOutput sound;
    sound.play = ModuleFunction<decltype(sound.play)>(winmm, "PlaySoundA");
    sound.devices = ModuleFunction<decltype(sound.devices)>(winmm, "waveOutGetNumDevs");
    return sound;
}

}  // namespace

CSystemTray::CSystemTray(const Texts& texts, TrayPlatform& shell, std::shared_ptr<DiagnosticLog> log)
    : texts_(texts),
      shell_(shell),
      log_(log ? std::move(log) : std::make_shared<NoDiagnosticLog>()),
      icons_(LoadFrames(std::make_unique<TrayIconSet>())) {}

CSystemTray::~CSystemTray() {
    RemoveIcon();
    Destroy();  // also ends the timers
}

const Menu& CSystemTray::PopupMenu() const { return *popup_; }

void CSystemTray::Show(const TrayView& view) {
    if (view.tooltip) SetTooltipText(WideFrom1251(*view.tooltip));
    ShowIconView(view.icon);
    if (view.playSound) PlayNewMessageSound();
    if (view.balloon) ShowBalloon(*view.balloon);
    ShowMenus(view);
}

void CSystemTray::SetTooltipText(const WideString& tooltip) {
    tooltip_ = tooltip;
    if (added_ && shown_.tooltip != tooltip_) Notify(NIM_MODIFY, Record(NIF_TIP));
}

void CSystemTray::SetIcon(TrayIcon picture) {
    picture_ = picture;
    if (added_ && shown_.icon != icons_->Get(IconResourceOf(picture_))) Notify(NIM_MODIFY, Record(NIF_ICON));
}

// A view that repeats the running animation leaves it running at its pace;
// a steady view, or another animation, stops it and shows the steady icon
// until the new animation's first frame.
void CSystemTray::ShowIconView(const IconView& view) {
    if (view.icon) icon_ = *view.icon;
    if (view.frames.empty() || view.frames != frames_ || view.periodMs != periodMs_) {
        StopAnimation();
        Animate(view.frames, view.periodMs);
    }
    SetIcon(picture_);
}

void CSystemTray::Animate(const std::vector<TrayIcon>& frames, int periodMs) {
    if (frames.empty() || !Handle()) return;
    frames_ = frames;
    periodMs_ = periodMs;
    frameIndex_ = 0;
    ::SetTimer(Handle(), ANIMATION_TIMER, static_cast<UINT>(periodMs), nullptr);
}

// The steady icon is shown by the caller.
void CSystemTray::StopAnimation() {
    if (!frames_.empty()) ::KillTimer(Handle(), ANIMATION_TIMER);
    frames_.clear();
    periodMs_ = 0;
    picture_ = icon_;
}

// Frame 0 is shown last in each cycle: the index moves before the frame shows.
void CSystemTray::OnAnimationTimer() {
    if (frames_.empty()) return;
    frameIndex_ = (frameIndex_ + 1) % frames_.size();
    SetIcon(frames_[frameIndex_]);
}

// Only the signed-in menu has the status items.
void CSystemTray::ShowMenus(const TrayView& view) {
    popup_ = view.menu == MenuKind::Main ? static_cast<Menu*>(&menus_.mainMenu) : &menus_.signedOutMenu;
    if (view.checkedCommand) checked_ = view.checkedCommand;
    ApplyChecks();
}

void CSystemTray::ApplyChecks() {
    if (!checked_) return;
    for (const Command status : {Command::StatusOnline, Command::StatusAway, Command::StatusOffline}) {
        const bool checked = status == *checked_;
        menus_.mainMenu.CheckItem(MenuIdOf(status), MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
    }
}

// A screen reader started or ended since the menus were built: built again,
// plain or owner-drawn, with the check where it was.
void CSystemTray::RefreshMenus() {
    const bool plain = shell_.ScreenReaderOn();
    if (plain == menus_.IsPlain() && menus_.mainMenu.Handle()) return;
    menus_.BuildMenus(texts_, plain);
    ApplyChecks();
}

// Sent only while the shell has the icon: it would refuse the balloon.
void CSystemTray::ShowBalloon(const BalloonTip& balloon) {
    const BalloonStyle style = StyleOf(balloon.kind);
    balloonClick_ = style.clickCommand;
    if (added_) Notify(NIM_MODIFY, BalloonRecord(balloon, style.infoFlags));
}

// The old set goes only after the shell shows an icon of the new one.
void CSystemTray::OnDpiChanged(UINT dpi) {
    const std::unique_ptr<TrayIconSet> old =
        std::exchange(icons_, LoadFrames(std::make_unique<TrayIconSet>(SmallIconSizeForDpi(dpi))));
    SetIcon(picture_);
}

// A computer without a sound output has nothing to hear; asking first also
// keeps Wine's winmm from leaving its device thread behind for the rest of the
// process after an output that fails to open.
void CSystemTray::PlayNewMessageSound() {
    if (!sound_.play) sound_ = LoadSoundOutput();
    if (!sound_.play || !sound_.devices || sound_.devices() == 0) return;
    sound_.play(MAKEINTRESOURCEA(IDR_NEW_MESSAGE_SOUND), ::GetModuleHandleA(nullptr), SND_RESOURCE | SND_ASYNC);
}

// Version 4: the event and the icon's id in lParam, the anchor (the pointer,
// or the icon for the keyboard) in wParam. A right click comes as
// WM_CONTEXTMENU as well as WM_RBUTTONUP, and a single click as NIN_SELECT,
// which opens nothing, as before: only the keyboard's select does.
void CSystemTray::OnTrayNotification(WPARAM wParam, LPARAM lParam) {
    const UINT iconId = version4_ ? HIWORD(lParam) : static_cast<UINT>(wParam);
    if (iconId != kIconId || !owner_) return;
    POINT cursor{};
    switch (LOWORD(lParam)) {
    case WM_CONTEXTMENU:
        TrackMenu(POINT{GET_X_LPARAM(wParam), GET_Y_LPARAM(wParam)});
        break;
    case WM_RBUTTONUP:
        if (!version4_ && ::GetCursorPos(&cursor)) TrackMenu(cursor);
        break;
    case WM_LBUTTONDBLCLK:
        PostCommand(defaultCommand_);
        break;
    case NIN_KEYSELECT:
        PostCommand(Command::OpenConsultPage);
        break;
    case NIN_BALLOONUSERCLICK:
        if (balloonClick_) PostCommand(*balloonClick_);
        break;
    default:
        break;
    }
}

// The owner comes to the foreground first and gets WM_NULL afterwards, so
// that the menu closes when the consultant clicks elsewhere. The owner also
// draws the menu's items. A menu left with Esc gives the focus back to the
// notification area, where the keyboard was.
void CSystemTray::TrackMenu(POINT anchor) {
    RefreshMenus();
    if (!popup_->Handle()) return;
    ::SetForegroundWindow(owner_);
    const BOOL chosen = popup_->TrackPopup(TPM_RIGHTBUTTON | TPM_RETURNCMD, anchor.x, anchor.y, owner_);
    ::PostMessageA(owner_, WM_NULL, 0, 0);
    // The chosen item's id, 0 for none.
    if (const std::optional<Command> command = CommandOfMenuId(static_cast<UINT>(chosen))) {
        PostCommand(*command);
    } else if (popup_->EndedByEscape()) {
        Notify(NIM_SETFOCUS, Record(0));
    }
}

// In the foreground, the owner may bring what the command opens forward.
void CSystemTray::PostCommand(Command command) {
    ::SetForegroundWindow(owner_);
    ::PostMessageA(owner_, kCommandMessage, static_cast<WPARAM>(command), 0);
}

}  // namespace kov
