#pragma once
// The controller's shared inside. Worker threads hold it by shared_ptr, so it
// outlives the AgentController that the main window destroys; from then on the
// closed gate keeps every worker away from the settings and from the
// platform's short operations.
//
// Locking: one mutex guards the agent state, the settings fields and the
// bookkeeping below. It is never held across a request, a message box or a
// dialog; the main-window timers and the tray's views, which only queue work
// for the UI thread, are handed over under it so that they follow the state
// changes in order. Functions named ...Locked expect the mutex to be held.
// The closing gate and the single-flight slots have leaf locks of their own,
// taken under it or alone. The gate is closed under it, so what runs under it
// after seeing the gate open has ended when Close() returns.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "agent_controller.h"
#include "closing_gate.h"
#include "presentation.h"
#include "single_flight.h"

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
              AgentSettings& settings, Texts texts, std::shared_ptr<DiagnosticLog> log);

    void Start();
    void OnTimer(int timerId);
    void OnCommand(Command command);
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
    void CreateTray();
    void CheckIdle();
    void OnStatusChosen(PresenceStatus status);
    void OnStatusOffline();
    void OnSignInOut();
    void OnOpenConsultPage();
    void OnCloseAgent();
    void SignInAndPoll();
    // Closes the gate and stops further requests; does not wait for running ones.
    void BeginClosing();
    // Runs a short platform call unless the agent is closing; false if skipped.
    template <typename Call>
    bool Gated(Call&& call) {
        return gate_.Pass(std::forward<Call>(call));
    }
    bool StartWorker(void (AgentCore::*body)());
    bool PollingStoppedLocked() const;
    std::optional<BoxAnswer> ShowBox(const std::string& text, BoxKind kind);
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
    void SendStatusOnce();

    // presentation.cpp's decisions, handed to the tray.
    void UpdatePresentationLocked();

    // sign_in.cpp
    SignInOutcome RunSignIn();
    int SignIn();
    void ReleaseSignIn();

    // update_download.cpp
    // Declined also covers an offer not made (one is open, or the agent closes).
    enum class UpdateOutcome { Started, Declined, Failed };
    UpdateOutcome DownloadUpdate(std::string installerPayload);
    UpdateOutcome OfferUpdate(const std::string& url);
    UpdateOutcome RefuseUpdate(const std::string& offer, std::optional<InstallerCheck> verdict);

    // diagnostic_notes.cpp: a status line when the shown status changed.
    void NoteStatusLocked();

    const std::shared_ptr<AgentPlatform> platform_;
    const std::shared_ptr<AgentTransport> transport_;
    AgentSettings& settings_;
    const Texts texts_;
    const std::shared_ptr<DiagnosticLog> log_;

    mutable std::mutex mutex_;
    // Closing: no new work, no short platform calls; Close() waits for those in progress.
    ClosingGate gate_;

    // The agent state.
    AgentState state_;
    std::optional<InputSeen> lastInputSeen_;
    bool firstPoll_ = true;

    // At most one poll and one Offline send in flight; a request made
    // meanwhile runs once when the current one ends.
    SingleFlight polls_;
    SingleFlight sends_;
    // Replies to requests composed before the last sign-out, Offline choice or
    // new sign-in are outdated and dropped.
    std::uint64_t requestEpoch_ = 0;

    bool signInOpen_ = false;
    bool updateOfferOpen_ = false;
    // Offers refused for their URL or their file, by URL.
    std::set<std::string> refusedUpdates_;
    int openBoxes_ = 0;

    // The status the log last named.
    std::optional<std::pair<PresenceStatus, bool>> loggedStatus_;
};

}  // namespace kov
