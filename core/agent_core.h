#pragma once
// The controller's shared inside. Worker threads hold it by shared_ptr, so it
// outlives the AgentController that the main window destroys; from then on the
// `closing_` flag keeps every worker away from the settings and from the
// platform's short operations.
//
// Locking: one mutex guards the agent state, the settings fields and the
// bookkeeping below. It is never held across a request, a message box, a
// dialog or a tray call (the tray may wait for its animation worker); the
// main-window timers, which only post, are armed and killed under it so that
// they follow the state changes in order. Functions named ...Locked expect the
// mutex to be held.
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "agent_controller.h"
#include "presentation.h"

namespace kov {

// Away detection runs every 3 s; the limit is awayTimeout / kIdleCheckMs checks.
constexpr int kIdleCheckMs = 3000;
// Results of the main dialog: closed by the consultant; ended by the agent
// (sign-in cancelled at start, or an update installer started).
constexpr int kClosedByConsultant = 1;
constexpr int kEndedByAgent = 2;

class AgentCore : public std::enable_shared_from_this<AgentCore> {
public:
    AgentCore(std::shared_ptr<AgentPlatform> platform, std::shared_ptr<AgentTransport> transport,
              AgentSettings& settings, Texts texts);

    void Start();
    void OnTimer(int timerId);
    void OnCommand(int commandId);
    int OnActivateAgent();
    // Stops all further work and returns once no worker is inside a short
    // platform call; requests, boxes and dialogs are not waited for.
    void Close();
    AgentState State() const;

private:
    using Lock = std::unique_lock<std::mutex>;

    enum class SignInOutcome { Accepted, Cancelled, AlreadyOpen };

    // What a poll leaves to do after it has given up its slot.
    struct PollFollowUp {
        enum class Kind { None, Failure, Rejected, Update } kind = Kind::None;
        TextId failureText = TextId::ConnectFailed;
        bool ownsSignIn = false;  // Rejected: this poll claimed the sign-in
        std::string installerUrl;
    };

    // What one idle check saw.
    struct InputSeen {
        CursorPos cursor;
        std::uint32_t lastInput = 0;
        bool operator==(const InputSeen& other) const {
            return cursor == other.cursor && lastInput == other.lastInput;
        }
    };

    struct Request {
        std::string server;
        std::string path;
        std::uint64_t epoch = 0;
    };

    // agent_controller.cpp: lifecycle, commands, away detection, gate.
    void CreateTrayIcon();
    void CheckIdle();
    void OnStatusChosen(PresenceStatus status);
    void OnStatusOffline();
    void OnSignInOut();
    void OnOpenConsultPage();
    void OnCloseAgent();
    void SignInAndPoll();
    // Sets closing_ and stops further requests; does not wait for running ones.
    void BeginClosing();
    // Runs a short platform call unless the agent is closing; false if skipped.
    template <typename Call>
    bool Gated(Call&& call);
    bool StartWorker(void (AgentCore::*body)());
    bool IsClosing() const;
    bool PollingStoppedLocked() const;
    std::optional<int> ShowBox(const std::string& text, int style);
    void ShowBalloon(const std::string& text, const std::string& title);

    // poll.cpp: the poll cycle and the Offline status request.
    void RequestPoll();
    void RunPolls();
    PollFollowUp Poll();
    bool ProbeForUpdate();
    PollFollowUp ApplyReplyLocked(const std::string& reply);
    void FollowUp(const PollFollowUp& followUp);
    void KeepPolling();
    void ReportFailure(TextId text);
    void ReportRejected(bool ownsSignIn);
    Request StatusRequestLocked() const;
    void RequestStatusSend();
    void RunStatusSends();

    // presentation.cpp's decisions, queued and shown.
    void UpdatePresentationLocked();
    void QueueViewLocked(TrayView view);
    void ShowQueuedViews();

    // sign_in.cpp
    SignInOutcome RunSignIn();
    int SignIn();
    void ReleaseSignIn();

    // update_download.cpp
    // Declined also covers an offer not made (one is open, or the agent closes).
    enum class UpdateOutcome { Started, Declined, Failed };
    UpdateOutcome DownloadUpdate(std::string installerPayload);
    UpdateOutcome OfferUpdate(const std::string& url);
    UpdateOutcome RefuseUpdate(const std::string& offer);

    const std::shared_ptr<AgentPlatform> platform_;
    const std::shared_ptr<AgentTransport> transport_;
    AgentSettings& settings_;
    const Texts texts_;

    mutable std::mutex mutex_;
    std::condition_variable gateIdle_;

    // The agent state.
    AgentState state_;
    std::optional<InputSeen> lastInputSeen_;
    bool firstPoll_ = true;

    // Closing: no new work, no short platform calls; gateCalls_ counts those in progress.
    bool closing_ = false;
    int gateCalls_ = 0;

    // At most one poll and one Offline send in flight; a request made
    // meanwhile runs once when the current one ends.
    bool pollRunning_ = false;
    bool pollRequested_ = false;
    bool sendRunning_ = false;
    bool sendRequested_ = false;
    // Replies to requests composed before the last sign-out, Offline choice or
    // new sign-in are outdated and dropped.
    std::uint64_t requestEpoch_ = 0;

    bool signInOpen_ = false;
    bool updateOfferOpen_ = false;
    // Offers refused for their URL or their file, by URL.
    std::set<std::string> refusedUpdates_;
    int openBoxes_ = 0;

    // One thread at a time shows tray views; others queue theirs for it.
    std::optional<TrayView> queuedView_;
    bool showingViews_ = false;
};

template <typename Call>
bool AgentCore::Gated(Call&& call) {
    {
        Lock lock(mutex_);
        if (closing_) return false;
        ++gateCalls_;
    }
    struct Leave {
        AgentCore& core;
        ~Leave() {
            Lock lock(core.mutex_);
            if (--core.gateCalls_ == 0) core.gateIdle_.notify_all();
        }
    } leave{*this};
    call();
    return true;
}

}  // namespace kov
