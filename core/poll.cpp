// The poll cycle: report the presence, read the new-message count, and react to
// a rejected token, an outdated agent or a failure. Polls run on workers, one
// at a time: a hung server costs one thread, not one per timer tick.
#include "agent_core.h"
#include "diagnostic_lines.h"

namespace kov {

void AgentCore::RequestPoll() {
    if (gate_.IsClosing()) return;
    polls_.Request([this] { return StartWorker(&AgentCore::RunPolls); });
}

// Runs polls while more are requested. Balloons, boxes, the sign-in dialog and
// the update offer come after the poll has given up its slot, so that a box
// left open does not hold up the polls the timer keeps asking for; a poll
// requested meanwhile then gets a worker of its own.
void AgentCore::RunPolls() {
    for (;;) {
        const PollFollowUp followUp = Poll();
        const bool again = polls_.TakeRequest();
        if (again && followUp.kind == PollFollowUp::Kind::None) continue;
        if (again) polls_.PassOn([this] { return StartWorker(&AgentCore::RunPolls); });
        FollowUp(followUp);
        return;
    }
}

AgentCore::PollFollowUp AgentCore::Poll() {
    {
        Lock lock(mutex_);
        if (gate_.IsClosing()) return {};
        if (state_.signedOut) platform_->ShowTray(ConnectingView());
    }
    if (ProbeForUpdate()) return {};

    Request request;
    {
        Lock lock(mutex_);
        if (gate_.IsClosing()) return {};
        request = StatusRequestLocked();
    }
    const std::string reply = transport_->ServiceRequest(request.server, request.path, "", "");
    log_->Write(ReplyLine(RequestKind::Poll, reply));
    PollFollowUp followUp;
    {
        Lock lock(mutex_);
        if (gate_.IsClosing() || request.epoch != requestEpoch_) return {};
        followUp = ApplyReplyLocked(reply);
    }
    return followUp;
}

// The update probe of the first poll of the process, when enabled. True when
// it found an update and the installer was started: the poll ends there.
bool AgentCore::ProbeForUpdate() {
    Request request;
    {
        Lock lock(mutex_);
        if (gate_.IsClosing() || !firstPoll_ || settings_.testUpdateRequest == 0) return false;
        firstPoll_ = false;
        request = {settings_.server, ProbeObjectName(settings_.prefix), requestEpoch_};
    }
    const std::string reply = transport_->ServiceRequest(request.server, request.path, "", "");
    log_->Write(ReplyLine(RequestKind::UpdateProbe, reply));
    return ReplyCode(reply) == '2' && DownloadUpdate(ReplyInstallerUrl(reply)) == UpdateOutcome::Started;
}

AgentCore::Request AgentCore::StatusRequestLocked() const {
    return {settings_.server,
            StatusObjectName(settings_.prefix, state_.status, settings_.login, settings_.token),
            requestEpoch_};
}

AgentCore::PollFollowUp AgentCore::ApplyReplyLocked(const std::string& reply) {
    PollFollowUp followUp;
    const std::optional<char> code = ReplyCode(reply);
    if (code == '0') {
        state_.errorBoxShown = false;
        if (state_.status != PresenceStatus::Away) state_.status = PresenceStatus::Online;
        state_.signedOut = false;
        state_.newMessageCount = ReplyMessageCount(reply);
        UpdatePresentationLocked();
        if (state_.status == PresenceStatus::Online) platform_->SetMainTimer(IDLE_TIMER, kIdleCheckMs);
        platform_->SetMainTimer(POLL_TIMER, settings_.requestTimeout);
        return followUp;
    }
    if (code == '1') {
        state_.errorBoxShown = false;
        state_.authStopped = true;
        state_.status = PresenceStatus::Offline;
        state_.signedOut = true;
        UpdatePresentationLocked();
        polls_.DropRequest();
        // The sign-in dialog is claimed now, so that command 304 and a second
        // start bring this one forward instead of opening another.
        followUp.kind = PollFollowUp::Kind::Rejected;
        followUp.ownsSignIn = !signInOpen_;
        signInOpen_ = true;
        return followUp;
    }
    if (code == '2') {
        followUp.kind = PollFollowUp::Kind::Update;
        followUp.installerUrl = ReplyInstallerUrl(reply);
        return followUp;
    }
    state_.authStopped = false;
    state_.status = PresenceStatus::Offline;
    state_.signedOut = true;
    UpdatePresentationLocked();
    followUp.kind = PollFollowUp::Kind::Failure;
    followUp.failureText = code ? TextId::UnexpectedError : TextId::ConnectFailed;
    return followUp;
}

void AgentCore::FollowUp(const PollFollowUp& followUp) {
    switch (followUp.kind) {
        case PollFollowUp::Kind::None: break;
        case PollFollowUp::Kind::Failure: ReportFailure(followUp.failureText); break;
        case PollFollowUp::Kind::Rejected: ReportRejected(followUp.ownsSignIn); break;
        case PollFollowUp::Kind::Update:
            if (DownloadUpdate(followUp.installerUrl) == UpdateOutcome::Failed) KeepPolling();
            break;
    }
}

// After a failure, or an update that was refused or failed, even when the
// poll that heard it was the first of the run and no poll timer runs yet. A
// sign-out or Offline chosen meanwhile keeps polling stopped.
void AgentCore::KeepPolling() {
    Lock lock(mutex_);
    if (!gate_.IsClosing() && !PollingStoppedLocked()) {
        platform_->SetMainTimer(POLL_TIMER, settings_.requestTimeout);
    }
}

// A balloon for every failure, one box per run of failures, and polling goes on.
void AgentCore::ReportFailure(TextId text) {
    ShowBalloon(texts_[text], kCaption);
    bool boxOpen = false;
    if (!Gated([&] { boxOpen = platform_->IsMessageBoxOpen(); })) return;
    bool showBox = false;
    {
        Lock lock(mutex_);
        if (gate_.IsClosing()) return;
        showBox = !state_.errorBoxShown && !boxOpen && openBoxes_ == 0;
        if (showBox) state_.errorBoxShown = true;
    }
    if (showBox) ShowBox(texts_[text], BoxKind::Warning);
    KeepPolling();
}

void AgentCore::ReportRejected(bool ownsSignIn) {
    ShowBalloon(texts_[TextId::BadLogin], texts_[TextId::Authorization]);
    ShowBox(texts_[TextId::BadLogin], BoxKind::Warning);
    if (!ownsSignIn) {
        Gated([&] { platform_->BringSignInDialogForward(); });
        return;
    }
    const int result = SignIn();
    ReleaseSignIn();
    if (result == 0) RequestPoll();
}

void AgentCore::RequestStatusSend() {
    if (gate_.IsClosing()) return;
    sends_.Request([this] { return StartWorker(&AgentCore::RunStatusSends); });
}

// SendStatusOnce, repeated while more sends were asked for.
void AgentCore::RunStatusSends() {
    do {
        SendStatusOnce();
    } while (sends_.TakeRequest());
}

// The reply is only logged.
void AgentCore::SendStatusOnce() {
    Request request;
    {
        Lock lock(mutex_);
        if (gate_.IsClosing()) return;
        request = StatusRequestLocked();
    }
    const std::string reply = transport_->ServiceRequest(request.server, request.path, "", "");
    log_->Write(ReplyLine(RequestKind::OfflineSend, reply));
}

}  // namespace kov
