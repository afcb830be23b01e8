#include "presentation.h"

#include <cstdio>
#include <utility>

#include "agent_core.h"

namespace kov {
namespace {

constexpr int kConnectingPeriodMs = 500;
constexpr int kBlinkPeriodMs = 700;

// printf-style formatting into a string of the exact length.
template <typename... Args>
std::string Format(const char* format, Args... args) {
    const int size = std::snprintf(nullptr, 0, format, args...);
    if (size <= 0) return std::string();
    std::string text(static_cast<std::size_t>(size) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, args...);
    text.resize(static_cast<std::size_t>(size));
    return text;
}

IconView SteadyIcon(int icon) {
    IconView view;
    view.icon = icon;
    return view;
}

IconView ConnectingIcon() {
    IconView view;
    view.frames = connectingFrames;
    view.periodMs = kConnectingPeriodMs;
    view.workerMode = true;
    return view;
}

Presentation PresentSignedOut(const AgentState& state, const Texts& texts) {
    Presentation p;
    p.killIdleTimer = true;
    p.tray.tooltip = StateTooltip(texts[TextId::NotSignedIn]);
    if (state.authStopped) {
        p.killPollTimer = true;
        p.tray.icon = SteadyIcon(icons::kOffline);
    } else {
        p.tray.icon = ConnectingIcon();
    }
    p.tray.menu = MenuKind::SignedOut;
    p.shownMessageCount = 0;
    return p;
}

// Online and Away differ only in their text, icon, frames and check mark.
Presentation PresentOnlineOrAway(const AgentState& state, const Texts& texts, const AlertRules& rules) {
    const bool away = state.status == PresenceStatus::Away;
    Presentation p;
    if (state.newMessageCount != 0) {
        p.tray.tooltip = Format(kTooltipCountFormat, kCaption, texts[TextId::NewMessages].c_str(), state.newMessageCount);
        p.tray.icon.icon = icons::kNewMessage;
        p.tray.icon.frames = away ? awayBlinkFrames : onlineBlinkFrames;
        p.tray.icon.periodMs = kBlinkPeriodMs;
        p.tray.icon.workerMode = false;
        p.tray.newMessageAlert = state.newMessageCount > state.shownMessageCount;
        p.tray.soundWhileBusy = rules.soundWhileBusy;
        if (rules.balloon) {
            p.tray.messageBalloon =
                Format(kBalloonCountFormat, texts[TextId::NewMessagesBalloon].c_str(), state.newMessageCount);
        }
    } else {
        p.tray.tooltip = StateTooltip(texts[away ? TextId::Away : TextId::Online]);
        p.tray.icon = SteadyIcon(away ? icons::kAway : icons::kOnline);
    }
    p.shownMessageCount = state.newMessageCount;
    p.tray.menu = MenuKind::Main;
    p.tray.checkedCommand = away ? ID_STATUS_AWAY : ID_STATUS_ONLINE;
    return p;
}

Presentation PresentOffline(const Texts& texts) {
    Presentation p;
    p.killIdleTimer = true;
    p.killPollTimer = true;
    p.tray.tooltip = StateTooltip(texts[TextId::Offline]);
    p.tray.icon = SteadyIcon(icons::kOffline);
    p.tray.menu = MenuKind::Main;
    p.tray.checkedCommand = ID_STATUS_OFFLINE;
    p.shownMessageCount = 0;
    return p;
}

void ShowIcon(AgentPlatform& platform, const IconView& icon) {
    if (icon.frames.empty()) {
        platform.StopAnimation();
        platform.SetIcon(icon.icon);
        return;
    }
    if (icon.icon != 0) platform.SetIcon(icon.icon);
    platform.SetIconList(icon.frames);
    platform.Animate(icon.periodMs, kUnboundedDuration, icon.workerMode);
}

// Nothing disturbs a busy consultant but a sound that is to play always; the
// tooltip and the blinking tell of the messages all the same.
void AnnounceNewMessages(AgentPlatform& platform, const TrayView& view) {
    const bool busy = platform.ConsultantBusy();
    if (!busy || view.soundWhileBusy) platform.PlayNewMessageSound();
    if (!busy && !view.messageBalloon.empty()) {
        platform.ShowBalloon(view.messageBalloon, kCaption, BalloonKind::NewMessages, kBalloonSeconds);
    }
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
    view.icon = ConnectingIcon();
    view.menu = MenuKind::SignedOut;
    return view;
}

TrayView MergeTrayViews(const TrayView& earlier, TrayView later) {
    if (!later.tooltip) later.tooltip = earlier.tooltip;
    if (!later.checkedCommand) later.checkedCommand = earlier.checkedCommand;
    later.newMessageAlert = later.newMessageAlert || (earlier.newMessageAlert && later.icon.Blinking());
    return later;
}

void ShowTrayView(AgentPlatform& platform, const TrayView& view) {
    if (view.tooltip) platform.SetTooltipText(*view.tooltip);
    ShowIcon(platform, view.icon);
    if (view.newMessageAlert) AnnounceNewMessages(platform, view);
    platform.SetPopupMenu(view.menu);
    if (view.checkedCommand) {
        for (int command : {ID_STATUS_ONLINE, ID_STATUS_AWAY, ID_STATUS_OFFLINE}) {
            platform.SetMenuCheck(command, command == *view.checkedCommand);
        }
    }
}

// UpdatePresentation: the timers stop at once, in order with the state
// change; the tray follows outside the lock.
void AgentCore::UpdatePresentationLocked() {
    const AlertRules rules{settings_.newMessageBalloon != 0, settings_.soundWhileBusy != 0};
    Presentation presentation = PresentState(state_, texts_, rules);
    if (presentation.killIdleTimer) platform_->KillMainTimer(IDLE_TIMER);
    if (presentation.killPollTimer) platform_->KillMainTimer(POLL_TIMER);
    state_.shownMessageCount = presentation.shownMessageCount;
    QueueViewLocked(std::move(presentation.tray));
}

void AgentCore::QueueViewLocked(TrayView view) {
    queuedView_ = queuedView_ ? MergeTrayViews(*queuedView_, std::move(view)) : std::move(view);
}

// Shows queued views until none is left. A thread that finds another one
// showing leaves its view to that thread, so views reach the tray in the order
// the state changed and no lock is held across the tray calls.
void AgentCore::ShowQueuedViews() {
    Lock lock(mutex_);
    if (showingViews_) return;
    showingViews_ = true;
    // Closing happens under the state lock, so the gate cannot refuse here.
    while (queuedView_ && gate_.Enter()) {
        const TrayView view = std::move(*queuedView_);
        queuedView_.reset();
        lock.unlock();
        ShowTrayView(*platform_, view);
        gate_.Leave();
        lock.lock();
    }
    showingViews_ = false;
}

}  // namespace kov
