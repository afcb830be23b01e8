#pragma once
// UpdatePresentation's decisions: what the agent state looks like in the tray,
// on the menus' check marks, and which timers it stops. Pure functions.
#include <cstdint>
#include <optional>
#include <string>

#include "agent_controller.h"
#include "platform.h"
#include "texts.h"

namespace kov {

// How a rise of the new-message count is announced.
struct AlertRules {
    bool balloon = true;
    bool soundWhileBusy = false;
};

// A rise of the new-message count: the sound plays and the balloon shows,
// both held back while the consultant is busy (the sound unless
// soundWhileBusy).
struct NewMessageAlert {
    std::optional<BalloonTip> balloon;  // none when balloons are off
    bool soundWhileBusy = false;
};

struct Presentation {
    bool killIdleTimer = false;
    bool killPollTimer = false;
    TrayView tray;
    std::optional<NewMessageAlert> alert;
    std::int32_t shownMessageCount = 0;
};

Presentation PresentState(const AgentState& state, const Texts& texts, const AlertRules& rules);

// What a poll shows while it starts signed out, and the tray while the first
// poll starts: the connecting animation and the signed-out menu, the tooltip
// and check marks left alone.
TrayView ConnectingView();

// The view with the alert's sound and balloon, as far as a busy consultant
// lets them through: nothing disturbs a busy consultant but a sound that is
// to play always; the tooltip and the blinking tell of the messages all the
// same.
TrayView Announce(TrayView view, const NewMessageAlert& alert, bool consultantBusy);

// The icon view as it shows without motion: an animation becomes its steady
// icon, or its first frame when it has none.
IconView WithoutMotion(IconView view);

// "%s: %s" with the caption and text.
std::string StateTooltip(const std::string& text);

}  // namespace kov
