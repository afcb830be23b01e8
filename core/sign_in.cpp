// The sign-in: the dialog, then its request on a worker, until the service
// accepts the login, offers an update, or the consultant cancels. One sign-in
// at a time: asking for another while one runs brings its dialog forward.
#include "agent_core.h"
#include "diagnostic_lines.h"
#include "wipe.h"

namespace kov {

void AgentCore::OpenSignIn(SignInFrom from) {
    if (signIn_) {
        platform_->BringSignInDialogForward();
        return;
    }
    signIn_ = from;
    AskForSignIn();
}

void AgentCore::AskForSignIn() {
    std::optional<SignInEntry> entry = platform_->RunSignInDialog(settings_.remember != 0, settings_.login);
    if (closing_) return;
    if (!entry) {
        log_->Write(SignInCancelledLine());
        FinishSignIn(false);
        return;
    }
    settings_.login = entry->login;
    settings_.remember = entry->remember ? 1 : 0;
    // Unticked: the registry forgets the old credentials at once.
    if (!entry->remember) settings_.ClearStored(true);
    std::string digest = PasswordDigest(entry->password);
    WipeText(entry->password);
    const bool sent = Send(RequestKind::SignIn, SignInObjectName(settings_.prefix, settings_.login, digest));
    WipeText(digest);
    if (!sent) OnSignInReply(ServiceReply{});
}

void AgentCore::OnSignInReply(const ServiceReply& reply) {
    if (!signIn_) return;
    log_->Write(SignInLine(settings_.login, reply));
    switch (reply.kind) {
        case ReplyKind::Accepted:
            settings_.token = reply.token;
            settings_.Save();
            // Replies to requests made with the old token no longer count.
            ++requestEpoch_;
            FinishSignIn(true);
            return;
        case ReplyKind::Outdated:
            // Whatever the consultant decides, the agent goes on as if signed in.
            OfferUpdate(reply.installerUrl, [this](UpdateOutcome outcome) {
                if (outcome != UpdateOutcome::Started) FinishSignIn(true);
            });
            return;
        case ReplyKind::Rejected:
        case ReplyKind::Failure: break;
    }
    ShowBox(texts_[reply.kind == ReplyKind::Rejected ? TextId::BadLogin : TextId::ConnectFailed], BoxKind::Warning);
    if (!closing_) AskForSignIn();
}

// At start the tray and the polls come only with a sign-in, and a cancelled
// one ends the agent.
void AgentCore::FinishSignIn(bool accepted) {
    const std::optional<SignInFrom> from = std::exchange(signIn_, std::nullopt);
    // Signed in afresh, the consultant is there.
    if (accepted) {
        state_.chosen = PresenceStatus::Online;
        state_.autoAway = false;
        sessionAway_ = false;
    }
    if (from == SignInFrom::Start) {
        if (!accepted) {
            EndAgent(kEndedByAgent);
            return;
        }
        CreateTray();
    }
    if (accepted) RequestPoll();
}

}  // namespace kov
