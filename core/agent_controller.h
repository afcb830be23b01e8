#pragma once
// The agent's behaviour: sign-in, the poll cycle, away detection, the tray
// commands and what the consultant sees of it all. The main window owns one
// controller and hands it, on its own (UI) thread, its initialisation, timers,
// tray commands, the second-instance message and the results that workers
// post back; everything else goes through AgentPlatform.
#include <cstdint>
#include <memory>

#include "diagnostic_log.h"
#include "platform.h"
#include "protocol.h"
#include "settings.h"
#include "texts.h"

namespace kov {

struct AgentState {
    // What the service hears: the chosen status, or Away while the consultant
    // is automatically away.
    PresenceStatus status = PresenceStatus::Offline;
    // What the consultant chose; a failure of the service changes it not.
    PresenceStatus chosen = PresenceStatus::Online;
    // No input for the away timeout, a locked or disconnected session, the
    // screen saver: ends with input (or the unlock), unlike a chosen Away.
    bool autoAway = false;
    bool signedOut = true;
    bool authStopped = false;
    // A run of failed polls: since when (local "HH:MM"), whether it has
    // lasted kLongOutageMs, whether its balloon and its box were shown.
    bool outage = false;
    std::string outageSince;
    bool outageLong = false;
    bool outageTold = false;
    bool errorBoxShown = false;
    std::int32_t newMessageCount = 0;
    std::int32_t shownMessageCount = 0;
    std::int32_t idleTicks = 0;
};

class AgentCore;

// Every entry point runs on the UI thread, the one that owns the controller.
// Destroying it returns at once even while requests hang: their results are
// dropped with the main window.
class AgentController {
public:
    AgentController(std::shared_ptr<AgentPlatform> platform, AgentSettings& settings, Texts texts,
                    std::shared_ptr<DiagnosticLog> log = std::make_shared<NoDiagnosticLog>());
    ~AgentController();
    AgentController(const AgentController&) = delete;
    AgentController& operator=(const AgentController&) = delete;

    // Start-up: sign-in when no login or token is stored, the tray icon, the
    // menus and the first poll. A cancelled sign-in ends the main dialog (2).
    void OnInitDialog();
    void OnTimer(int timerId);
    void OnCommand(Command command);
    // A second start of the program asked for this one: the sign-in when
    // signed out, else the tray menu at the icon (or, where the consultant
    // cannot see the icon, the balloon that says where it is).
    void OnActivateAgent();
    void OnSessionChange(SessionChange change);
    // The machine goes to sleep, wakes up; the Windows session ends.
    void OnSuspend();
    void OnResume();
    void OnSessionEnding();
    // Results that workers posted back.
    void OnReply(const ServiceAnswer& answer);
    void OnInstallerFetched(const InstallerFetch& fetch);
    // The system's "Show animations" setting may have changed.
    void OnMotionSettingChanged();

    const AgentState& State() const;

private:
    std::unique_ptr<AgentCore> core_;
};

}  // namespace kov
