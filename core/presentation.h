#pragma once
// UpdatePresentation's decisions: what the agent state looks like in the tray,
// on the menus' check marks, and which timers it stops. Decided under the
// agent's lock, shown on the platform outside it.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "agent_controller.h"
#include "platform.h"
#include "texts.h"

namespace kov {

// A steady icon (no frames), or an animation over frames that starts from
// `icon` when it is non-zero.
struct IconView {
    int icon = 0;
    std::vector<int> frames;
    int periodMs = 0;
    bool workerMode = false;

    bool Blinking() const { return !frames.empty() && !workerMode; }
};

// How a rise of the new-message count is announced.
struct AlertRules {
    bool balloon = true;
    bool soundWhileBusy = false;
};

struct TrayView {
    std::optional<std::string> tooltip;
    IconView icon;
    // A rise of the new-message count: the sound plays and the balloon shows,
    // both held back while the consultant is busy (the sound unless
    // soundWhileBusy).
    bool newMessageAlert = false;
    bool soundWhileBusy = false;
    // The balloon that announces the count on show; "" when no count is shown
    // or balloons are off.
    std::string messageBalloon;
    MenuKind menu = MenuKind::SignedOut;
    // 300, 301 or 302 gets the only check mark; none leaves the marks as they are.
    std::optional<int> checkedCommand;
};

struct Presentation {
    bool killIdleTimer = false;
    bool killPollTimer = false;
    TrayView tray;
    std::int32_t shownMessageCount = 0;
};

Presentation PresentState(const AgentState& state, const Texts& texts, const AlertRules& rules);

// What a poll shows while it starts signed out: the connecting animation and
// the signed-out menu, the tooltip and check marks left alone.
TrayView ConnectingView();

// A view decided after `earlier` was queued but before it was shown: the later
// view wins; what it leaves alone comes from the earlier one, and an alert
// owed by the earlier one still comes while the later one keeps a count shown
// (the later count is announced).
TrayView MergeTrayViews(const TrayView& earlier, TrayView later);

void ShowTrayView(AgentPlatform& platform, const TrayView& view);

// "%s: %s" with the caption and text.
std::string StateTooltip(const std::string& text);

}  // namespace kov
