#include "agent_controller.h"

#include <utility>

#include "agent_core.h"
#include "diagnostic_lines.h"

namespace kov {

AgentController::AgentController(std::shared_ptr<AgentPlatform> platform,
                                 std::shared_ptr<AgentTransport> transport, AgentSettings& settings,
                                 Texts texts, std::shared_ptr<DiagnosticLog> log)
    : core_(std::make_shared<AgentCore>(std::move(platform), std::move(transport), settings,
                                        std::move(texts), std::move(log))) {}

AgentController::~AgentController() { core_->Close(); }

void AgentController::OnInitDialog() { core_->Start(); }
void AgentController::OnTimer(int timerId) { core_->OnTimer(timerId); }
void AgentController::OnCommand(Command command) { core_->OnCommand(command); }
int AgentController::OnActivateAgent() { return core_->OnActivateAgent(); }
AgentState AgentController::State() const { return core_->State(); }

AgentCore::AgentCore(std::shared_ptr<AgentPlatform> platform, std::shared_ptr<AgentTransport> transport,
                     AgentSettings& settings, Texts texts, std::shared_ptr<DiagnosticLog> log)
    : platform_(std::move(platform)),
      transport_(std::move(transport)),
      settings_(settings),
      texts_(std::move(texts)),
      log_(std::move(log)) {}

void AgentCore::Start() {
    bool haveCredentials = false;
    {
        Lock lock(mutex_);
        if (gate_.IsClosing()) return;
        haveCredentials = !settings_.login.empty() && !settings_.token.empty();
    }
    if (!haveCredentials && RunSignIn() != SignInOutcome::Accepted) {
        Gated([&] { platform_->EndMainDialog(kEndedByAgent); });
        BeginClosing();
        return;
    }
    CreateTray();
    RequestPoll();
}

// The icon shows the connecting animation until the first poll has an answer.
void AgentCore::CreateTray() {
    Lock lock(mutex_);
    if (gate_.IsClosing()) return;
    platform_->CreateTray({StateTooltip(texts_[TextId::Offline]), TrayIcon::Online, Command::OpenConsultPage});
    platform_->ShowTray(ConnectingView());
}

void AgentCore::OnTimer(int timerId) {
    if (timerId == POLL_TIMER) {
        RequestPoll();
    } else if (timerId == IDLE_TIMER) {
        CheckIdle();
    }
}

// Away detection: no input and an unmoved cursor for awayTimeout make the
// agent Away; a moved cursor or any input since the last check (a consultant
// typing without touching the mouse) brings it back to Online (locally, until
// the next poll).
void AgentCore::CheckIdle() {
    InputSeen seen;
    if (!Gated([&] { seen = {platform_->CursorPosition(), platform_->LastInputStamp()}; })) return;
    {
        Lock lock(mutex_);
        if (gate_.IsClosing()) return;
        if (lastInputSeen_ && *lastInputSeen_ == seen) {
            ++state_.idleTicks;
        } else {
            state_.idleTicks = 0;
            if (state_.status != PresenceStatus::Online) {
                state_.status = PresenceStatus::Online;
                UpdatePresentationLocked();
            }
        }
        lastInputSeen_ = seen;
        const std::int32_t limit = settings_.awayTimeout / kIdleCheckMs;
        if (state_.idleTicks >= limit) {
            state_.idleTicks = limit;
            state_.status = PresenceStatus::Away;
            UpdatePresentationLocked();
        }
    }
}

void AgentCore::OnCommand(Command command) {
    switch (command) {
        case Command::OpenConsultPage: OnOpenConsultPage(); break;
        case Command::StatusOnline: OnStatusChosen(PresenceStatus::Online); break;
        case Command::StatusAway: OnStatusChosen(PresenceStatus::Away); break;
        case Command::StatusOffline: OnStatusOffline(); break;
        case Command::About:
            if (!gate_.IsClosing()) platform_->ShowAbout();
            break;
        case Command::SignInOut: OnSignInOut(); break;
        case Command::Close: OnCloseAgent(); break;
    }
}

int AgentCore::OnActivateAgent() {
    {
        Lock lock(mutex_);
        if (gate_.IsClosing() || !state_.signedOut) return 0;
    }
    SignInAndPoll();
    return 0;
}

void AgentCore::OnOpenConsultPage() {
    std::string url;
    {
        Lock lock(mutex_);
        if (gate_.IsClosing()) return;
        url = settings_.consultUrl;
    }
    Gated([&] { platform_->ShellOpen(url); });
}

void AgentCore::OnStatusChosen(PresenceStatus status) {
    {
        Lock lock(mutex_);
        if (gate_.IsClosing()) return;
        platform_->KillMainTimer(IDLE_TIMER);
        state_.status = status;
    }
    RequestPoll();
}

void AgentCore::OnStatusOffline() {
    {
        Lock lock(mutex_);
        if (gate_.IsClosing()) return;
        state_.status = PresenceStatus::Offline;
        UpdatePresentationLocked();
        // No further polls until Online or Away is chosen, whatever was pending.
        polls_.DropRequest();
        ++requestEpoch_;
    }
    RequestStatusSend();
}

void AgentCore::OnSignInOut() {
    bool signIn = false;
    {
        Lock lock(mutex_);
        if (gate_.IsClosing()) return;
        signIn = state_.signedOut;
        if (!signIn) {
            // Sign out: nothing is sent to the service.
            log_->Write(SignOutLine(settings_.login));
            state_.authStopped = true;
            settings_.ClearStored(false);
            state_.signedOut = true;
            state_.status = PresenceStatus::Offline;
            polls_.DropRequest();
            ++requestEpoch_;
            UpdatePresentationLocked();
        }
    }
    if (signIn) SignInAndPoll();
}

void AgentCore::SignInAndPoll() {
    if (RunSignIn() == SignInOutcome::Accepted) RequestPoll();
}

void AgentCore::OnCloseAgent() {
    {
        Lock lock(mutex_);
        if (gate_.IsClosing()) return;
        platform_->KillMainTimer(IDLE_TIMER);
        platform_->KillMainTimer(POLL_TIMER);
    }
    Gated([&] { platform_->EndMainDialog(kClosedByConsultant); });
    BeginClosing();
}

void AgentCore::BeginClosing() {
    {
        Lock lock(mutex_);
        gate_.Close();
        polls_.DropRequest();
        sends_.DropRequest();
    }
    transport_->Abort();
}

void AgentCore::Close() {
    BeginClosing();
    gate_.WaitForCallsInProgress();
}

AgentState AgentCore::State() const {
    Lock lock(mutex_);
    return state_;
}

bool AgentCore::StartWorker(void (AgentCore::*body)()) {
    bool started = false;
    std::shared_ptr<AgentCore> self = shared_from_this();
    Gated([&] { started = platform_->StartThread([self, body] { ((*self).*body)(); }); });
    return started;
}

// Stopped (rejected or signed out) and Offline by choice: no poll may be armed.
bool AgentCore::PollingStoppedLocked() const {
    if (state_.signedOut) return state_.authStopped;
    return state_.status == PresenceStatus::Offline;
}

std::optional<BoxAnswer> AgentCore::ShowBox(const std::string& text, BoxKind kind) {
    {
        Lock lock(mutex_);
        if (gate_.IsClosing()) return std::nullopt;
        ++openBoxes_;
    }
    const BoxAnswer answer = platform_->ShowMessageBox(text, kCaption, kind);
    Lock lock(mutex_);
    --openBoxes_;
    return answer;
}

void AgentCore::ShowBalloon(const std::string& text, const std::string& title) {
    Gated([&] { platform_->ShowBalloon({text, title, BalloonKind::Warning, kBalloonSeconds}); });
}

}  // namespace kov
