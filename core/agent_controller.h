#pragma once
// The agent's behaviour: sign-in, the poll cycle, away detection, the tray
// commands and what the consultant sees of it all. The main window owns one
// controller and forwards its initialisation, timers, commands and the
// second-instance message to it; everything else goes through AgentPlatform.
#include <cstdint>
#include <memory>

#include "diagnostic_log.h"
#include "platform.h"
#include "protocol.h"
#include "settings.h"
#include "texts.h"

namespace kov {

// A copy of the agent state, taken under the controller's lock.
struct AgentState {
    PresenceStatus status = PresenceStatus::Offline;
    bool signedOut = true;
    bool authStopped = false;
    bool errorBoxShown = false;
    std::int32_t newMessageCount = 0;
    std::int32_t shownMessageCount = 0;
    std::int32_t idleTicks = 0;
};

class AgentCore;

// Entry points run on the UI thread. Destroying the controller returns at once
// even while requests hang: their replies are dropped and their threads
// abandoned, and none of them touches the settings or the platform's short
// operations after the destructor has returned.
class AgentController {
public:
    AgentController(std::shared_ptr<AgentPlatform> platform, std::shared_ptr<AgentTransport> transport,
                    AgentSettings& settings, Texts texts,
                    std::shared_ptr<DiagnosticLog> log = std::make_shared<NoDiagnosticLog>());
    ~AgentController();
    AgentController(const AgentController&) = delete;
    AgentController& operator=(const AgentController&) = delete;

    // Start-up: sign-in when no login or token is stored, the tray icon, the
    // menus and the first poll. A cancelled sign-in ends the main dialog (2).
    void OnInitDialog();
    void OnTimer(int timerId);
    void OnCommand(Command command);
    // A second start of the program asked for this one; returns the message
    // result, 0.
    int OnActivateAgent();

    AgentState State() const;

private:
    std::shared_ptr<AgentCore> core_;
};

}  // namespace kov
