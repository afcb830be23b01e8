// DownloadUpdate: check the offered URL, ask, download the installer into the
// temporary directory, verify its signature, start it and end the agent. One
// offer at a time: polls that keep hearing "outdated" while the question is
// open do not stack further questions. An offer refused for its URL or its
// signature is not made again during this run.
#include "agent_core.h"
#include "diagnostic_lines.h"
#include "update_check.h"

namespace kov {

AgentCore::UpdateOutcome AgentCore::DownloadUpdate(std::string installerPayload) {
    const std::optional<std::string> url = InstallerUrlToFetch(installerPayload);
    const std::string& offer = url ? *url : installerPayload;
    {
        Lock lock(mutex_);
        if (gate_.IsClosing() || updateOfferOpen_) return UpdateOutcome::Declined;
        if (refusedUpdates_.count(offer) != 0) return UpdateOutcome::Failed;
        updateOfferOpen_ = true;
    }
    log_->Write(UpdateOfferedLine(offer));
    const UpdateOutcome outcome = url ? OfferUpdate(*url) : RefuseUpdate(offer, std::nullopt);
    {
        Lock lock(mutex_);
        updateOfferOpen_ = false;
    }
    if (outcome == UpdateOutcome::Started) BeginClosing();
    return outcome;
}

// Refused without asking: there is nothing the consultant could agree to.
// The verdict is the signature check's, none for an unusable URL.
AgentCore::UpdateOutcome AgentCore::RefuseUpdate(const std::string& offer,
                                                 std::optional<InstallerCheck> verdict) {
    log_->Write(UpdateRefusedLine(verdict));
    {
        Lock lock(mutex_);
        refusedUpdates_.insert(offer);
    }
    ShowBox(texts_[TextId::UpdateNotAuthentic], BoxKind::Warning);
    return UpdateOutcome::Failed;
}

AgentCore::UpdateOutcome AgentCore::OfferUpdate(const std::string& url) {
    const std::optional<BoxAnswer> answer = ShowBox(kUpdateQuestion, BoxKind::Question);
    if (answer != BoxAnswer::Yes) {
        log_->Write(UpdateDeclinedLine());
        return UpdateOutcome::Declined;
    }

    std::optional<std::string> path;
    if (!Gated([&] { path = platform_->InstallerPath(); }) || !path) return UpdateOutcome::Failed;
    if (gate_.IsClosing()) return UpdateOutcome::Declined;
    if (!platform_->DownloadToFile(url, *path)) {
        log_->Write(UpdateDownloadFailedLine());
        ShowBox(texts_[TextId::ConnectFailed], BoxKind::Warning);
        return UpdateOutcome::Failed;
    }
    const InstallerCheck verdict = platform_->CheckInstaller(*path);
    if (verdict != InstallerCheck::Authentic) {
        platform_->RemoveFile(*path);
        return RefuseUpdate(url, verdict);
    }
    if (gate_.IsClosing()) return UpdateOutcome::Declined;
    if (!platform_->ShellOpenFile(*path)) {
        log_->Write(UpdateStartFailedLine());
        ShowBox(texts_[TextId::UnexpectedError], BoxKind::Warning);
        return UpdateOutcome::Failed;
    }
    log_->Write(UpdateStartedLine());
    Gated([&] { platform_->EndMainDialog(kEndedByAgent); });
    return UpdateOutcome::Started;
}

}  // namespace kov
