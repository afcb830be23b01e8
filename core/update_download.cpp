// The update offer: check the offered URL, ask, have a worker download the
// installer and verify its signature, start it on the UI thread and end the
// agent. One offer at a time: polls that keep hearing "outdated" while the
// question is open do not stack further questions. An offer refused for its
// URL or its signature is not made again during this run.
#include "agent_core.h"
#include "diagnostic_lines.h"
#include "update_check.h"

namespace kov {

void AgentCore::OfferUpdate(const std::string& installerPayload, AfterUpdate then) {
    const std::optional<std::string> url = InstallerUrlToFetch(installerPayload);
    const std::string& offer = url ? *url : installerPayload;
    if (closing_ || updateOffer_) return then(UpdateOutcome::Declined);
    if (refusedUpdates_.count(offer) != 0) return then(UpdateOutcome::Failed);
    log_->Write(UpdateOfferedLine(offer));
    updateOffer_ = std::move(then);
    offeredUrl_ = offer;
    if (!url) {
        RefuseUpdate(offer, std::nullopt);
        return;
    }
    AskAndFetch(*url);
}

void AgentCore::AskAndFetch(const std::string& url) {
    const std::optional<BoxAnswer> answer = ShowBox(kUpdateQuestion, BoxKind::Question);
    if (closing_) return;
    if (answer != BoxAnswer::Yes) {
        log_->Write(UpdateDeclinedLine());
        EndOffer(UpdateOutcome::Declined);
        return;
    }
    if (!platform_->StartInstallerFetch(url)) EndOffer(UpdateOutcome::Failed);
}

void AgentCore::OnInstallerFetched(const InstallerFetch& fetch) {
    if (closing_ || !updateOffer_) return;
    if (!fetch.downloaded) {
        log_->Write(UpdateDownloadFailedLine());
        ShowBox(texts_[TextId::ConnectFailed], BoxKind::Warning);
        EndOffer(UpdateOutcome::Failed);
        return;
    }
    if (fetch.verdict != InstallerCheck::Authentic) {
        RefuseUpdate(offeredUrl_, fetch.verdict);
        return;
    }
    if (!platform_->ShellOpenFile(fetch.path)) {
        log_->Write(UpdateStartFailedLine());
        ShowBox(texts_[TextId::UnexpectedError], BoxKind::Warning);
        EndOffer(UpdateOutcome::Failed);
        return;
    }
    log_->Write(UpdateStartedLine());
    EndOffer(UpdateOutcome::Started);
    SendLeaving();
    EndAgent(kEndedByAgent);
}

// Refused without asking: there is nothing the consultant could agree to.
// The verdict is the signature check's, none for an unusable URL.
void AgentCore::RefuseUpdate(const std::string& offer, std::optional<InstallerCheck> verdict) {
    log_->Write(UpdateRefusedLine(verdict));
    refusedUpdates_.insert(offer);
    ShowBox(texts_[TextId::UpdateNotAuthentic], BoxKind::Warning);
    EndOffer(UpdateOutcome::Failed);
}

// The offer is over before what follows it runs, so that it may offer again.
void AgentCore::EndOffer(UpdateOutcome outcome) {
    if (closing_ || !updateOffer_) return;
    const AfterUpdate then = std::move(*updateOffer_);
    updateOffer_.reset();
    then(outcome);
}

}  // namespace kov
