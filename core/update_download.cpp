// DownloadUpdate: check the offered URL, ask, download the installer into the
// temporary directory, verify its signature, start it and end the agent. One
// offer at a time: polls that keep hearing "outdated" while the question is
// open do not stack further questions. An offer refused for its URL or its
// signature is not made again during this run.
#include "agent_core.h"
#include "update_check.h"

namespace kov {

bool AgentCore::DownloadUpdate(std::string installerPayload) {
    const std::optional<std::string> url = InstallerUrlToFetch(installerPayload);
    const std::string& offer = url ? *url : installerPayload;
    {
        Lock lock(mutex_);
        if (closing_ || updateOfferOpen_ || refusedUpdates_.count(offer) != 0) return false;
        updateOfferOpen_ = true;
    }
    const bool started = url ? OfferUpdate(*url) : RefuseUpdate(offer);
    {
        Lock lock(mutex_);
        updateOfferOpen_ = false;
    }
    if (started) BeginClosing();
    return started;
}

// Refused without asking: there is nothing the consultant could agree to.
bool AgentCore::RefuseUpdate(const std::string& offer) {
    {
        Lock lock(mutex_);
        refusedUpdates_.insert(offer);
    }
    ShowBox(texts_[TextId::UpdateNotAuthentic], kWarningBox);
    return false;
}

bool AgentCore::OfferUpdate(const std::string& url) {
    const std::optional<int> answer = ShowBox(kUpdateQuestion, kQuestionBox);
    if (!answer || *answer == kAnswerNo) return false;

    std::optional<std::string> path;
    if (!Gated([&] { path = platform_->InstallerPath(); }) || !path) return false;
    if (IsClosing()) return false;
    if (!platform_->DownloadToFile(url, *path)) {
        ShowBox(texts_[TextId::ConnectFailed], kWarningBox);
        return false;
    }
    if (platform_->CheckInstaller(*path) != InstallerCheck::Authentic) {
        platform_->RemoveFile(*path);
        return RefuseUpdate(url);
    }
    if (IsClosing()) return false;
    if (!platform_->ShellOpenFile(*path)) {
        ShowBox(texts_[TextId::UnexpectedError], kWarningBox);
        return false;
    }
    Gated([&] { platform_->EndMainDialog(kEndedByAgent); });
    return true;
}

}  // namespace kov
