// The poll cycle: report the presence, read the new-message count, and react to
// a rejected token, an outdated agent or a failure. One poll is in flight at a
// time: a hung server costs one worker, not one per timer tick.
#include "agent_core.h"
#include "diagnostic_lines.h"

namespace kov {

void AgentCore::RequestPoll() {
    if (closing_) return;
    if (polls_.inFlight) {
        polls_.again = true;
        return;
    }
    StartPoll();
}

// The first poll of the process asks first whether an update exists, when
// enabled; the poll goes on with its status request unless the installer
// was started.
void AgentCore::StartPoll() {
    if (state_.signedOut) ShowTray(ConnectingView());
    if (firstPoll_ && settings_.testUpdateRequest != 0) {
        firstPoll_ = false;
        polls_.inFlight = Send(RequestKind::UpdateProbe, ProbeObjectName(settings_.prefix));
        return;
    }
    SendPollRequest();
}

void AgentCore::SendPollRequest() { polls_.inFlight = Send(RequestKind::Poll, StatusPath()); }

void AgentCore::OnProbeReply(const ServiceReply& reply) {
    log_->Write(ReplyLine(RequestKind::UpdateProbe, reply));
    if (reply.kind != ReplyKind::Outdated) {
        SendPollRequest();
        return;
    }
    OfferUpdate(reply.installerUrl, [this](UpdateOutcome outcome) {
        if (outcome == UpdateOutcome::Started) return;
        SendPollRequest();
    });
}

// The reply changes the state first; then a poll asked for meanwhile starts,
// before the balloons, boxes, the sign-in dialog or the update offer that the
// reply brings: a box left open does not hold up the polls the timer keeps
// asking for.
void AgentCore::OnPollReply(std::uint64_t epoch, const ServiceReply& reply) {
    log_->Write(ReplyLine(RequestKind::Poll, reply));
    polls_.inFlight = false;
    const bool current = epoch == requestEpoch_;
    if (current) ApplyPollReply(reply);
    if (std::exchange(polls_.again, false)) StartPoll();
    if (current) FollowPollReply(reply);
}

void AgentCore::ApplyPollReply(const ServiceReply& reply) {
    switch (reply.kind) {
        case ReplyKind::Accepted:
            state_.signedOut = false;
            state_.newMessageCount = reply.messageCount;
            reporting_ = true;
            Report();
            EndOutage();
            UpdatePresentation();
            RunPollAndIdleTimers();
            break;
        case ReplyKind::Rejected:
            EndOutage();
            state_.authStopped = true;
            state_.signedOut = true;
            reporting_ = false;
            Report();
            UpdatePresentation();
            polls_.again = false;
            break;
        case ReplyKind::Outdated: break;
        case ReplyKind::Failure:
            // The consultant's status stays: it goes out again once the
            // service answers.
            state_.authStopped = false;
            state_.signedOut = true;
            if (!state_.outage) {
                state_.outage = true;
                state_.outageSince = platform_->LocalTimeText();
                timers_.Start(kLongOutageTimer, kLongOutageMs);
            }
            UpdatePresentation();
            break;
    }
}

// Both timers keep their cadence: restarting the idle check at every reply
// would put it off for good at a poll period under 3 s. Started together, the
// two tick at the same moments where the poll period is a multiple of 3 s, so
// that the UI thread wakes once for both.
void AgentCore::RunPollAndIdleTimers() {
    if (state_.chosen == PresenceStatus::Online && !timers_.Running(IDLE_TIMER)) {
        timers_.Start(IDLE_TIMER, kIdleCheckMs);
        timers_.Start(POLL_TIMER, settings_.requestTimeout);
    } else {
        timers_.Keep(POLL_TIMER, settings_.requestTimeout);
    }
}

void AgentCore::FollowPollReply(const ServiceReply& reply) {
    switch (reply.kind) {
        case ReplyKind::Accepted: break;
        case ReplyKind::Rejected: ReportRejected(); break;
        case ReplyKind::Outdated:
            OfferUpdate(reply.installerUrl, [this](UpdateOutcome outcome) {
                if (outcome == UpdateOutcome::Failed) KeepPolling();
            });
            break;
        case ReplyKind::Failure:
            ReportFailure(reply.unexpectedBytes != 0 ? TextId::UnexpectedError : TextId::ConnectFailed);
            break;
    }
}

// The sign-in is claimed before the box, so that the sign-in command and a
// second start bring this one forward instead of opening another.
void AgentCore::ReportRejected() {
    const bool ownsSignIn = !signIn_;
    if (ownsSignIn) signIn_ = SignInFrom::Running;
    ShowBalloon(texts_[TextId::BadLogin], texts_[TextId::Authorization]);
    ShowBox(texts_[TextId::BadLogin], BoxKind::Warning);
    if (closing_) return;
    if (ownsSignIn) {
        AskForSignIn();
    } else {
        platform_->BringSignInDialogForward();
    }
}

// One balloon and one box per outage, none in the grace period after a
// resume; polling goes on meanwhile, the box left open or not.
void AgentCore::ReportFailure(TextId text) {
    KeepPolling();
    if (inGrace_) return;
    if (!state_.outageTold) {
        state_.outageTold = true;
        ShowBalloon(texts_[text], kCaption);
    }
    const bool showBox = !state_.errorBoxShown && openBoxes_ == 0 && !platform_->IsMessageBoxOpen();
    if (!showBox) return;
    state_.errorBoxShown = true;
    failureBoxText_ = texts_[text];
    ShowBox(texts_[text], BoxKind::Warning);
    failureBoxText_.reset();
}

// The service answers again: the outage's box, if still open, has nothing
// more to say.
void AgentCore::EndOutage() {
    if (state_.outage) timers_.Stop(kLongOutageTimer);
    state_.outage = false;
    state_.outageSince.clear();
    state_.outageLong = false;
    state_.outageTold = false;
    state_.errorBoxShown = false;
    if (failureBoxText_) platform_->CloseMessageBox(*failureBoxText_);
}

// After a failure, or an update that was refused or failed, even when the
// poll that heard it was the first of the run and no poll timer runs yet. A
// sign-out or Offline chosen meanwhile keeps polling stopped.
void AgentCore::KeepPolling() {
    if (!closing_ && !PollingStopped()) timers_.Keep(POLL_TIMER, settings_.requestTimeout);
}

void AgentCore::RequestStatusSend() {
    if (sends_.inFlight) {
        sends_.again = true;
        return;
    }
    sends_.inFlight = Send(RequestKind::OfflineSend, StatusPath());
}

// The reply is only logged.
void AgentCore::OnSendReply(const ServiceReply& reply) {
    log_->Write(ReplyLine(RequestKind::OfflineSend, reply));
    sends_.inFlight = false;
    if (std::exchange(sends_.again, false)) RequestStatusSend();
}

}  // namespace kov
