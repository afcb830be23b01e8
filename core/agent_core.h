#pragma once
// The controller's inside. It lives on the UI thread and is touched by no
// other: requests go out as copies (ServiceCall) and their replies come back
// as calls of OnReply. A modal box or dialog runs a message loop of its own,
// so timers, commands and replies may arrive while one is open: whatever
// follows a box looks at the state again, and nothing is decided across a box
// that the box's loop could have changed.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "agent_controller.h"
#include "main_timers.h"
#include "presentation.h"

namespace kov {

// Away detection runs every 3 s; the limit is awayTimeout / kIdleCheckMs checks.
constexpr int kIdleCheckMs = 3000;
// After this long without the service the connecting animation slows down.
constexpr int kLongOutageMs = 60000;
// Results of the main dialog: closed by the consultant; ended by the agent
// (sign-in cancelled at start, or an update installer started).
constexpr int kClosedByConsultant = 1;
constexpr int kEndedByAgent = 2;

class AgentCore {
public:
    AgentCore(std::shared_ptr<AgentPlatform> platform, AgentSettings& settings, Texts texts,
              std::shared_ptr<DiagnosticLog> log);

    void Start();
    void OnTimer(int timerId);
    void OnCommand(Command command);
    void OnActivateAgent();
    void OnSessionChange(SessionChange change);
    void OnSuspend();
    void OnResume();
    void OnSessionEnding();
    void OnReply(const ServiceAnswer& answer);
    void OnInstallerFetched(const InstallerFetch& fetch);
    void OnMotionSettingChanged();
    const AgentState& State() const { return state_; }

private:
    // Where a sign-in leads once the service has answered: at start the tray
    // comes only after it.
    enum class SignInFrom { Start, Running };
    // Declined also covers an offer not made (one is open, or the agent closes).
    enum class UpdateOutcome { Started, Declined, Failed };
    using AfterUpdate = std::function<void(UpdateOutcome)>;

    // One kind of request in flight at a time; one asked for meanwhile is
    // remembered (many count as one) and made when the reply is in.
    struct SingleFlight {
        bool inFlight = false;
        bool again = false;
    };

    // What one idle check saw.
    struct InputSeen {
        CursorPos cursor;
        std::uint32_t lastInput = 0;
        bool operator==(const InputSeen& other) const {
            return cursor == other.cursor && lastInput == other.lastInput;
        }
    };

    // agent_core.cpp: lifecycle, commands.
    void CreateTray();
    // Once per installation, on a Windows that hides new icons: where the
    // icon is and how to keep it on the taskbar.
    void OfferTrayHint();
    void OnStatusChosen(PresenceStatus status);
    void OnStatusOffline();
    void OnSignInOut();
    void EndAgent(int result);
    bool PollingStopped() const;
    bool Send(RequestKind kind, std::string path);
    std::string StatusPath() const;
    std::optional<BoxAnswer> ShowBox(const std::string& text, BoxKind kind);
    // The status the service hears: Offline until the service has accepted
    // the consultant since the sign-in (or start) or they chose, then what
    // they chose, Away while automatically away.
    void Report();

    // presence.cpp: away detection, the session, sleep and leaving.
    void CheckIdle();
    std::optional<CursorPos> Cursor();
    // Automatically away, or back; a change the service hears at once when
    // `report` is set (a lock, the screen saver), else with the next poll.
    void SetAutoAway(bool away, bool report);
    bool SignedIn() const;
    void SendLeaving();
    void ShowBalloon(const std::string& text, const std::string& title,
                     BalloonKind kind = BalloonKind::Warning);

    // poll.cpp: the poll cycle and the Offline status request.
    void RequestPoll();
    void StartPoll();
    void SendPollRequest();
    void OnProbeReply(const ServiceReply& reply);
    void OnPollReply(std::uint64_t epoch, const ServiceReply& reply);
    void ApplyPollReply(const ServiceReply& reply);
    void RunPollAndIdleTimers();
    void FollowPollReply(const ServiceReply& reply);
    void ReportRejected();
    void ReportFailure(TextId text);
    void EndOutage();
    void KeepPolling();
    void RequestStatusSend();
    void OnSendReply(const ServiceReply& reply);

    // presentation.cpp's decisions, handed to the tray.
    void UpdatePresentation();
    void ShowTray(TrayView view);

    // sign_in.cpp
    void OpenSignIn(SignInFrom from);
    void AskForSignIn();
    void OnSignInReply(const ServiceReply& reply);
    void FinishSignIn(bool accepted);

    // update_download.cpp
    void OfferUpdate(const std::string& installerPayload, AfterUpdate then);
    void AskAndFetch(const std::string& url);
    void EndOffer(UpdateOutcome outcome);
    void RefuseUpdate(const std::string& offer, std::optional<InstallerCheck> verdict);

    // diagnostic_notes.cpp: a status line when the shown status changed.
    void NoteStatus();

    const std::shared_ptr<AgentPlatform> platform_;
    MainTimers timers_;
    AgentSettings& settings_;
    const Texts texts_;
    const std::shared_ptr<DiagnosticLog> log_;

    AgentState state_;
    // The main dialog was asked to end: nothing more is done.
    bool closing_ = false;
    std::optional<InputSeen> lastInputSeen_;
    // The automatic Away came with the session (a lock, a disconnection, the
    // screen saver): its end is reported at once.
    bool sessionAway_ = false;
    // The service has accepted the consultant since the last sign-in, or the
    // consultant chose a status: polls report it.
    bool reporting_ = false;
    // After a resume from sleep the network may not be back yet: failures
    // show nothing until kGraceTimer fires.
    bool inGrace_ = false;
    // The failure box of the current outage while it is open: the outage's
    // end closes it.
    std::optional<std::string> failureBoxText_;
    bool firstPoll_ = true;

    SingleFlight polls_;
    SingleFlight sends_;
    // Replies to requests composed before the last sign-out, Offline choice or
    // new sign-in are outdated and dropped.
    std::uint64_t requestEpoch_ = 0;

    // A sign-in runs (its dialog, or its request) and where it leads.
    std::optional<SignInFrom> signIn_;
    // An update offer runs (its question, download or check) and what follows it.
    std::optional<AfterUpdate> updateOffer_;
    std::string offeredUrl_;
    // Offers refused for their URL or their file, by URL.
    std::set<std::string> refusedUpdates_;
    int openBoxes_ = 0;

    // The tray's view as last decided, motion and all; none before the tray.
    std::optional<TrayView> shownView_;

    // The status the log last named.
    std::optional<std::pair<PresenceStatus, bool>> loggedStatus_;
};

}  // namespace kov
