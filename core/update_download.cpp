// DownloadUpdate: ask, download the installer into the temporary directory,
// start it and end the agent. One offer at a time: polls that keep hearing
// "outdated" while the question is open do not stack further questions.
#include <algorithm>

#include "agent_core.h"

namespace kov {

bool AgentCore::DownloadUpdate(std::string installerUrl) {
    {
        Lock lock(mutex_);
        if (closing_ || updateOfferOpen_) return false;
        updateOfferOpen_ = true;
    }
    const bool started = OfferUpdate(std::move(installerUrl));
    {
        Lock lock(mutex_);
        updateOfferOpen_ = false;
    }
    if (started) BeginClosing();
    return started;
}

bool AgentCore::OfferUpdate(std::string installerUrl) {
    const std::optional<int> answer = ShowBox(kUpdateQuestion, kQuestionBox);
    if (!answer || *answer == kAnswerNo) return false;
    installerUrl.erase(std::remove(installerUrl.begin(), installerUrl.end(), '"'), installerUrl.end());

    std::optional<std::string> path;
    if (!Gated([&] { path = platform_->InstallerPath(); }) || !path) return false;
    if (IsClosing()) return false;
    bool installer = platform_->DownloadToFile(installerUrl, *path);
    // A download "succeeds" with an HTTP error page too; starting that page
    // would end the agent without updating it.
    if (!Gated([&] { installer = installer && platform_->FileStartsWithMz(*path); })) return false;
    if (!installer) {
        ShowBox(texts_[TextId::ConnectFailed], kWarningBox);
        return false;
    }
    if (IsClosing()) return false;
    platform_->ShellOpenFile(*path);
    Gated([&] { platform_->EndMainDialog(kEndedByAgent); });
    return true;
}

}  // namespace kov
