#include "agent_core.h"

#include <utility>

#include "diagnostic_lines.h"

namespace kov {

AgentController::AgentController(std::shared_ptr<AgentPlatform> platform, AgentSettings& settings, Texts texts,
                                 std::shared_ptr<DiagnosticLog> log)
    : core_(std::make_unique<AgentCore>(std::move(platform), settings, std::move(texts), std::move(log))) {}

AgentController::~AgentController() = default;

void AgentController::OnInitDialog() { core_->Start(); }
void AgentController::OnTimer(int timerId) { core_->OnTimer(timerId); }
void AgentController::OnCommand(Command command) { core_->OnCommand(command); }
void AgentController::OnActivateAgent() { core_->OnActivateAgent(); }
void AgentController::OnSessionChange(SessionChange change) { core_->OnSessionChange(change); }
void AgentController::OnSuspend() { core_->OnSuspend(); }
void AgentController::OnResume() { core_->OnResume(); }
void AgentController::OnSessionEnding() { core_->OnSessionEnding(); }
void AgentController::OnReply(const ServiceAnswer& answer) { core_->OnReply(answer); }
void AgentController::OnInstallerFetched(const InstallerFetch& fetch) { core_->OnInstallerFetched(fetch); }
void AgentController::OnMotionSettingChanged() { core_->OnMotionSettingChanged(); }
const AgentState& AgentController::State() const { return core_->State(); }

AgentCore::AgentCore(std::shared_ptr<AgentPlatform> platform, AgentSettings& settings, Texts texts,
                     std::shared_ptr<DiagnosticLog> log)
    : platform_(std::move(platform)),
      timers_(*platform_),
      settings_(settings),
      texts_(std::move(texts)),
      log_(std::move(log)) {}

void AgentCore::Start() {
    if (settings_.login.empty() || settings_.token.empty()) {
        OpenSignIn(SignInFrom::Start);
        return;
    }
    CreateTray();
    RequestPoll();
}

// The icon shows the connecting animation until the first poll has an answer.
void AgentCore::CreateTray() {
    if (closing_) return;
    platform_->CreateTray({StateTooltip(texts_[TextId::Offline]), TrayIcon::Online, Command::OpenConsultPage});
    ShowTray(ConnectingView());
    OfferTrayHint();
}

void AgentCore::OfferTrayHint() {
    if (settings_.trayHintShown != 0 || !platform_->TrayHidesNewIcons()) return;
    ShowBalloon(texts_[TextId::TrayIconHint], kCaption, BalloonKind::Hint);
    settings_.RememberTrayHint();
}

void AgentCore::OnTimer(int timerId) {
    if (closing_) return;
    if (timerId == POLL_TIMER) {
        RequestPoll();
    } else if (timerId == IDLE_TIMER) {
        CheckIdle();
    } else if (timerId == kGraceTimer) {
        timers_.Stop(kGraceTimer);
        inGrace_ = false;
    } else if (timerId == kLongOutageTimer) {
        timers_.Stop(kLongOutageTimer);
        state_.outageLong = true;
        if (state_.outage) UpdatePresentation();
    }
}

void AgentCore::OnCommand(Command command) {
    if (closing_) return;
    switch (command) {
        case Command::OpenConsultPage: platform_->ShellOpen(settings_.consultUrl); break;
        case Command::StatusOnline: OnStatusChosen(PresenceStatus::Online); break;
        case Command::StatusAway: OnStatusChosen(PresenceStatus::Away); break;
        case Command::StatusOffline: OnStatusOffline(); break;
        case Command::About: platform_->ShowAbout(); break;
        case Command::SignInOut: OnSignInOut(); break;
        case Command::Close:
            SendLeaving();
            EndAgent(kClosedByConsultant);
            break;
    }
}

void AgentCore::OnActivateAgent() {
    if (closing_) return;
    if (state_.signedOut) {
        OpenSignIn(SignInFrom::Running);
    } else if (!platform_->ShowTrayMenuAtIcon()) {
        ShowBalloon(texts_[TextId::TrayIconHint], kCaption, BalloonKind::Hint);
    }
}

// A choice ends the automatic Away.
void AgentCore::OnStatusChosen(PresenceStatus status) {
    timers_.Stop(IDLE_TIMER);
    state_.chosen = status;
    state_.autoAway = false;
    sessionAway_ = false;
    reporting_ = true;
    Report();
    RequestPoll();
}

void AgentCore::OnStatusOffline() {
    state_.chosen = PresenceStatus::Offline;
    reporting_ = true;
    Report();
    UpdatePresentation();
    // No further polls until Online or Away is chosen, whatever was pending.
    polls_.again = false;
    ++requestEpoch_;
    RequestStatusSend();
}

void AgentCore::OnSignInOut() {
    if (state_.signedOut) {
        OpenSignIn(SignInFrom::Running);
        return;
    }
    // Sign out: the service hears Offline, then nothing more.
    if (SignedIn() && state_.chosen != PresenceStatus::Offline) {
        Send(RequestKind::OfflineSend, StatusObjectName(settings_.prefix, PresenceStatus::Offline, settings_.login,
                                                        settings_.token));
    }
    log_->Write(SignOutLine(settings_.login));
    state_.authStopped = true;
    settings_.ClearStored(false);
    state_.signedOut = true;
    reporting_ = false;
    Report();
    polls_.again = false;
    ++requestEpoch_;
    UpdatePresentation();
}

// No new request leaves from now on; replies still to come are dropped with
// the main window.
void AgentCore::EndAgent(int result) {
    closing_ = true;
    timers_.Stop(IDLE_TIMER);
    timers_.Stop(POLL_TIMER);
    platform_->EndMainDialog(result);
}

// Stopped (rejected or signed out) and Offline by choice: no poll may be armed.
bool AgentCore::PollingStopped() const {
    if (state_.signedOut) return state_.authStopped;
    return state_.status == PresenceStatus::Offline;
}

bool AgentCore::Send(RequestKind kind, std::string path) {
    if (closing_) return false;
    return platform_->StartRequest({kind, requestEpoch_, settings_.server, std::move(path)});
}

std::string AgentCore::StatusPath() const {
    return StatusObjectName(settings_.prefix, state_.status, settings_.login, settings_.token);
}

std::optional<BoxAnswer> AgentCore::ShowBox(const std::string& text, BoxKind kind) {
    if (closing_) return std::nullopt;
    ++openBoxes_;
    const BoxAnswer answer = platform_->ShowMessageBox(text, kCaption, kind);
    --openBoxes_;
    if (closing_) return std::nullopt;
    return answer;
}

void AgentCore::ShowBalloon(const std::string& text, const std::string& title, BalloonKind kind) {
    if (!closing_) platform_->ShowBalloon({text, title, kind, kBalloonSeconds});
}

void AgentCore::OnReply(const ServiceAnswer& answer) {
    if (closing_) return;
    const ServiceReply reply = ReadReply(answer.reply);
    switch (answer.kind) {
        case RequestKind::SignIn: OnSignInReply(reply); break;
        case RequestKind::UpdateProbe: OnProbeReply(reply); break;
        case RequestKind::Poll: OnPollReply(answer.epoch, reply); break;
        case RequestKind::OfflineSend: OnSendReply(reply); break;
    }
}

}  // namespace kov
