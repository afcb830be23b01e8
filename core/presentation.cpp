#include "presentation.h"

#include <utility>

#include "agent_core.h"
#include "format_text.h"

namespace kov {
namespace {

// Five frames a second, a full turn of the four pictures in 0.8 s; one a
// second once the outage is long, since each frame is a round trip to the
// shell's process all day if the network is down.
constexpr int kConnectingPeriodMs = 200;
constexpr int kLongOutageFramePeriodMs = 1000;
constexpr int kBlinkPeriodMs = 700;

template <typename... Args>
std::string Format(const char* format, Args... args) {
    return FormatText(format, {FormatArg(args)...});
}

IconView SteadyIcon(TrayIcon icon) {
    IconView view;
    view.icon = icon;
    return view;
}

IconView ConnectingIcon(bool longOutage) {
    IconView view;
    view.frames = connectingFrames;
    view.periodMs = longOutage ? kLongOutageFramePeriodMs : kConnectingPeriodMs;
    return view;
}

// Connecting, or stopped (rejected, signed out). The count already announced
// stays through an outage, so that its return is no news.
Presentation PresentSignedOut(const AgentState& state, const Texts& texts) {
    Presentation p;
    p.killIdleTimer = true;
    p.tray.tooltip = StateTooltip(state.outage && !state.authStopped
                                      ? texts[TextId::NoConnectionSince] + state.outageSince
                                      : texts[TextId::NotSignedIn]);
    if (state.authStopped) {
        p.killPollTimer = true;
        p.tray.icon = SteadyIcon(TrayIcon::Offline);
    } else {
        p.tray.icon = ConnectingIcon(state.outage && state.outageLong);
    }
    p.tray.menu = MenuKind::SignedOut;
    p.shownMessageCount = state.authStopped ? 0 : state.shownMessageCount;
    return p;
}

NewMessageAlert AlertOf(const AgentState& state, const Texts& texts, const AlertRules& rules) {
    NewMessageAlert alert;
    alert.soundWhileBusy = rules.soundWhileBusy;
    if (rules.balloon) {
        alert.balloon = BalloonTip{
            Format(kBalloonCountFormat, texts[TextId::NewMessagesBalloon].c_str(), state.newMessageCount),
            kCaption, BalloonKind::NewMessages, kBalloonSeconds};
    }
    return alert;
}

// Online and Away differ only in their text, icon, frames and check mark.
Presentation PresentOnlineOrAway(const AgentState& state, const Texts& texts, const AlertRules& rules) {
    const bool away = state.status == PresenceStatus::Away;
    Presentation p;
    if (state.newMessageCount != 0) {
        p.tray.tooltip = Format(kTooltipCountFormat, kCaption, texts[TextId::NewMessages].c_str(), state.newMessageCount);
        p.tray.icon.icon = TrayIcon::NewMessage;
        p.tray.icon.frames = away ? awayBlinkFrames : onlineBlinkFrames;
        p.tray.icon.periodMs = kBlinkPeriodMs;
        if (state.newMessageCount > state.shownMessageCount) p.alert = AlertOf(state, texts, rules);
    } else {
        p.tray.tooltip = StateTooltip(texts[away ? TextId::Away : TextId::Online]);
        p.tray.icon = SteadyIcon(away ? TrayIcon::Away : TrayIcon::Online);
    }
    p.shownMessageCount = state.newMessageCount;
    p.tray.menu = MenuKind::Main;
    p.tray.checkedCommand = away ? Command::StatusAway : Command::StatusOnline;
    return p;
}

Presentation PresentOffline(const Texts& texts) {
    Presentation p;
    p.killIdleTimer = true;
    p.killPollTimer = true;
    p.tray.tooltip = StateTooltip(texts[TextId::Offline]);
    p.tray.icon = SteadyIcon(TrayIcon::Offline);
    p.tray.menu = MenuKind::Main;
    p.tray.checkedCommand = Command::StatusOffline;
    p.shownMessageCount = 0;
    return p;
}

}  // namespace

std::string StateTooltip(const std::string& text) {
    return Format(kTooltipFormat, kCaption, text.c_str());
}

Presentation PresentState(const AgentState& state, const Texts& texts, const AlertRules& rules) {
    if (state.signedOut) return PresentSignedOut(state, texts);
    if (state.status == PresenceStatus::Offline) return PresentOffline(texts);
    return PresentOnlineOrAway(state, texts, rules);
}

TrayView ConnectingView() {
    TrayView view;
    view.icon = ConnectingIcon(false);
    view.menu = MenuKind::SignedOut;
    return view;
}

IconView WithoutMotion(IconView view) {
    if (view.frames.empty()) return view;
    return SteadyIcon(view.icon ? *view.icon : view.frames.front());
}

TrayView Announce(TrayView view, const NewMessageAlert& alert, bool consultantBusy) {
    view.playSound = !consultantBusy || alert.soundWhileBusy;
    if (!consultantBusy) view.balloon = alert.balloon;
    return view;
}

// UpdatePresentation: the timers stop and the tray shows the view at once. The busy check is made only when
// there is something to announce.
void AgentCore::UpdatePresentation() {
    const AlertRules rules{settings_.newMessageBalloon != 0, settings_.soundWhileBusy != 0};
    Presentation presentation = PresentState(state_, texts_, rules);
    if (presentation.killIdleTimer) timers_.Stop(IDLE_TIMER);
    if (presentation.killPollTimer) timers_.Stop(POLL_TIMER);
    state_.shownMessageCount = presentation.shownMessageCount;
    NoteStatus();
    if (presentation.alert) {
        presentation.tray = Announce(std::move(presentation.tray), *presentation.alert, platform_->ConsultantBusy());
    }
    ShowTray(std::move(presentation.tray));
}

// The view goes to the tray without motion when the consultant turned the
// system's animations off. It is kept as decided, without its sound and
// balloon, so that a change of that setting shows it again the new way.
void AgentCore::ShowTray(TrayView view) {
    TrayView shown = view;
    if (!platform_->MotionAllowed()) shown.icon = WithoutMotion(std::move(shown.icon));
    platform_->ShowTray(shown);
    view.playSound = false;
    view.balloon.reset();
    shownView_ = std::move(view);
}

void AgentCore::OnMotionSettingChanged() {
    if (!closing_ && shownView_) ShowTray(*shownView_);
}

}  // namespace kov
