// SignIn: the sign-in dialog until the service accepts the login, offers an
// update, or the consultant cancels. One run at a time: a second request while
// the dialog is open brings that dialog forward.
#include "agent_core.h"
#include "diagnostic_lines.h"

namespace kov {

AgentCore::SignInOutcome AgentCore::RunSignIn() {
    bool alreadyOpen = false;
    {
        Lock lock(mutex_);
        if (gate_.IsClosing()) return SignInOutcome::Cancelled;
        alreadyOpen = signInOpen_;
        signInOpen_ = true;
    }
    if (alreadyOpen) {
        Gated([&] { platform_->BringSignInDialogForward(); });
        return SignInOutcome::AlreadyOpen;
    }
    const int result = SignIn();
    ReleaseSignIn();
    return result == 0 ? SignInOutcome::Accepted : SignInOutcome::Cancelled;
}

void AgentCore::ReleaseSignIn() {
    Lock lock(mutex_);
    signInOpen_ = false;
}

// 0: signed in (the new token is in the settings) or an update was offered;
// -1: the dialog was cancelled (or the agent is closing).
int AgentCore::SignIn() {
    for (;;) {
        bool remember = true;
        {
            Lock lock(mutex_);
            if (gate_.IsClosing()) return -1;
            remember = settings_.remember != 0;
        }
        const std::optional<SignInEntry> entry = platform_->RunSignInDialog(remember);
        if (!entry) {
            log_->Write(SignInCancelledLine());
            return -1;
        }

        const std::string digest = PasswordDigest(entry->password);
        Request request;
        {
            Lock lock(mutex_);
            if (gate_.IsClosing()) return -1;
            settings_.login = entry->login;
            settings_.remember = entry->remember ? 1 : 0;
            // Unticked: the registry forgets the old credentials at once.
            if (!entry->remember) settings_.ClearStored(true);
            request = {settings_.server, SignInObjectName(settings_.prefix, settings_.login, digest),
                       requestEpoch_};
        }
        const std::string reply = transport_->ServiceRequest(request.server, request.path, "", "");
        log_->Write(SignInLine(entry->login, reply));
        const std::optional<char> code = ReplyCode(reply);
        if (code == '0') {
            Lock lock(mutex_);
            if (gate_.IsClosing()) return -1;
            settings_.token = ReplyToken(reply);
            settings_.Save();
            // Replies to requests made with the old token no longer count.
            ++requestEpoch_;
            return 0;
        }
        if (code == '2') {
            DownloadUpdate(ReplyInstallerUrl(reply));
            return 0;
        }
        ShowBox(texts_[code == '1' ? TextId::BadLogin : TextId::ConnectFailed], BoxKind::Warning);
    }
}

}  // namespace kov
