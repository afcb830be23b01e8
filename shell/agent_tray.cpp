#include "shell/agent_tray.h"

#include <mmsystem.h>

#include <vector>

#include "shell/dpi.h"
#include "shell/notification_style.h"
#include "shell/res/resource.h"
#include "shell/resource_map.h"
#include "winsupport/system_library.h"

namespace kov {
namespace {

// Animations run until the next view.
constexpr DWORD kUnboundedSeconds = 0xFFFFFFFFu;

// Every icon an animation shows, loaded with the tray so that no animation
// waits for a resource.
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
AgentTray::PlaySoundFunction LoadPlaySound() {
    const HMODULE winmm = LoadSystemLibrary(L"winmm.dll");
    if (!winmm) return nullptr;
    return reinterpret_cast<AgentTray::PlaySoundFunction>(
        reinterpret_cast<void (*)()>(::GetProcAddress(winmm, "PlaySoundA")));
}

}  // namespace

const UINT AgentTray::kNotifyMessage = WM_TRAY_NOTIFY;
const UINT AgentTray::kIconId = 101;

AgentTray::AgentTray(const Texts& texts, TrayPlatform& shell)
    : texts_(texts), icons_(LoadFrames(std::make_unique<TrayIconSet>())), tray_(shell) {}

void AgentTray::Create(const TrayStart& start, HWND mainWindow) {
    tray_.SetTargetWindow(mainWindow);
    tray_.Create(kNotifyMessage, start.tooltip.c_str(), Icon(start.icon), kIconId);
    tray_.SetMenuDefaultItem(MenuIdOf(start.defaultCommand), FALSE);
    menus_.BuildMenus(texts_);
}

// Only the signed-in menu has the status items.
void AgentTray::Show(const TrayView& view) {
    if (view.tooltip) tray_.SetTooltipText(view.tooltip->c_str());
    ShowIcon(view.icon);
    if (view.playSound) PlayNewMessageSound();
    if (view.balloon) ShowBalloon(*view.balloon);
    tray_.popupMenu = view.menu == MenuKind::Main ? static_cast<Menu*>(&menus_.mainMenu) : &menus_.signedOutMenu;
    if (view.checkedCommand) {
        for (const Command status : {Command::StatusOnline, Command::StatusAway, Command::StatusOffline}) {
            const bool checked = status == *view.checkedCommand;
            menus_.mainMenu.CheckItem(MenuIdOf(status), MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
        }
    }
}

void AgentTray::ShowBalloon(const BalloonTip& balloon) {
    const BalloonStyle style = StyleOf(balloon.kind);
    tray_.SetBalloonClickCommand(style.clickCommand);
    tray_.ShowBalloon(balloon.text.c_str(), balloon.title.c_str(), style.infoFlags,
                      static_cast<UINT>(balloon.timeoutSec));
}

// The old set goes only after the tray shows the new icons.
void AgentTray::OnDpiChanged(UINT dpi) {
    auto icons = LoadFrames(std::make_unique<TrayIconSet>(SmallIconSizeForDpi(dpi)));
    tray_.ReplaceIcons([&](HICON old) {
        const int iconId = icons_->IdOf(old);
        return iconId != 0 ? icons->Get(iconId) : old;
    });
    icons_ = std::move(icons);
}

HICON AgentTray::Icon(TrayIcon icon) { return icons_->Get(IconResourceOf(icon)); }

void AgentTray::ShowIcon(const IconView& icon) {
    if (icon.frames.empty()) {
        tray_.StopAnimation();
        if (icon.icon) tray_.SetIcon(Icon(*icon.icon));
        return;
    }
    if (icon.icon) tray_.SetIcon(Icon(*icon.icon));
    std::vector<HICON> frames;
    frames.reserve(icon.frames.size());
    for (const TrayIcon frame : icon.frames) frames.push_back(Icon(frame));
    tray_.SetIconList(frames.data(), static_cast<UINT>(frames.size()));
    tray_.Animate(static_cast<UINT>(icon.periodMs), kUnboundedSeconds, FALSE);
}

void AgentTray::PlayNewMessageSound() {
    if (!playSound_) playSound_ = LoadPlaySound();
    if (playSound_) {
        playSound_(MAKEINTRESOURCEA(IDR_NEW_MESSAGE_SOUND), ::GetModuleHandleA(nullptr), SND_RESOURCE | SND_ASYNC);
    }
}

}  // namespace kov
