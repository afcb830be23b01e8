// What the service hears of the consultant besides their choice: automatic
// Away (no input, a locked or disconnected session, the screen saver), and
// Offline when the consultant leaves (closes the agent, the session ends,
// the machine sleeps).
#include "agent_core.h"
#include "diagnostic_lines.h"

namespace kov {
namespace {

// The longest the UI thread waits for the Offline request when leaving:
// Windows gives a program about that at suspend and at the end of a session.
constexpr int kLeavingWaitMs = 2000;
// How long failures stay quiet after a resume, while the network comes back.
constexpr int kResumeGraceMs = 30000;

}  // namespace

// No input and an unmoved cursor for awayTimeout make the consultant Away
// until input comes (locally, until the next poll); the screen saver does it
// at once, as a lock does.
void AgentCore::CheckIdle() {
    const InputSeen seen{Cursor().value_or(CursorPos{}), platform_->LastInputStamp()};
    const std::optional<InputSeen> before = std::exchange(lastInputSeen_, seen);
    if (platform_->ScreenSaverRunning()) {
        SetAutoAway(true, true);
        return;
    }
    // The first check after a start or an unlock only notes what it saw.
    if (!before) {
        state_.idleTicks = 0;
    } else if (*before == seen) {
        ++state_.idleTicks;
    } else {
        state_.idleTicks = 0;
        SetAutoAway(false, sessionAway_);
    }
    const std::int32_t limit = settings_.awayTimeout / kIdleCheckMs;
    if (state_.idleTicks >= limit) {
        state_.idleTicks = limit;
        SetAutoAway(true, false);
    }
}

// A cursor Windows cannot read (a locked session, the secure desktop) has not
// moved: reading (0,0) would count as a move and end the Away.
std::optional<CursorPos> AgentCore::Cursor() {
    const std::optional<CursorPos> cursor = platform_->CursorPosition();
    if (cursor) return cursor;
    if (lastInputSeen_) return lastInputSeen_->cursor;
    return std::nullopt;
}

void AgentCore::SetAutoAway(bool away, bool report) {
    if (away && (state_.chosen != PresenceStatus::Online || state_.authStopped)) return;
    if (state_.autoAway == away) {
        if (away && report) sessionAway_ = true;
        return;
    }
    state_.autoAway = away;
    sessionAway_ = away && report;
    if (!away) state_.idleTicks = 0;
    Report();
    UpdatePresentation();
    if (report && !PollingStopped()) RequestPoll();
}

void AgentCore::OnSessionChange(SessionChange change) {
    if (closing_) return;
    const bool gone = change == SessionChange::Locked || change == SessionChange::Disconnected;
    if (!gone) lastInputSeen_.reset();
    if (gone || sessionAway_) SetAutoAway(gone, true);
}

void AgentCore::Report() {
    const bool away = state_.chosen == PresenceStatus::Online && state_.autoAway;
    state_.status = !reporting_ ? PresenceStatus::Offline : away ? PresenceStatus::Away : state_.chosen;
}

bool AgentCore::SignedIn() const {
    return !state_.authStopped && !settings_.token.empty();
}

// One Offline request, waited for briefly, unless the service already takes
// the consultant for Offline: signed out, Offline chosen, or not reported
// otherwise since the start or the sign-in.
void AgentCore::SendLeaving() {
    if (closing_ || !SignedIn() || state_.status == PresenceStatus::Offline) return;
    const ServiceCall call{RequestKind::OfflineSend, requestEpoch_, settings_.server,
                           StatusObjectName(settings_.prefix, PresenceStatus::Offline, settings_.login,
                                            settings_.token)};
    const std::optional<std::string> reply = platform_->RequestAndWait(call, kLeavingWaitMs);
    log_->Write(ReplyLine(RequestKind::OfflineSend, ReadReply(reply.value_or(std::string()))));
}

void AgentCore::OnSessionEnding() {
    SendLeaving();
    if (!closing_) EndAgent(kClosedByConsultant);
}

// No poll may tell the service otherwise before the machine sleeps: the
// timers stop, and a reply still to come is dropped. The resume polls anew.
void AgentCore::OnSuspend() {
    if (closing_) return;
    SendLeaving();
    timers_.Stop(POLL_TIMER);
    timers_.Stop(IDLE_TIMER);
    polls_.again = false;
    ++requestEpoch_;
}

// The status from before the sleep goes out at once; a network that is
// not back yet is given the grace period before anything is said.
void AgentCore::OnResume() {
    if (closing_ || PollingStopped()) return;
    inGrace_ = true;
    timers_.Start(kGraceTimer, kResumeGraceMs);
    ShowTray(ConnectingView());
    RequestPoll();
}

}  // namespace kov
