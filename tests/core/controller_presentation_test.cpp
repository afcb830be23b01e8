// What the consultant sees: one case per row of the presentation table, and
// when the new-message sound plays.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/agent_core.h"
#include "tests/core/controller_fixture.h"

namespace kov::test {
namespace {

class PresentationTest : public ControllerTest {
protected:
    // Answers the next poll (started by the poll timer) with reply.
    void NextPoll(const std::string& reply) {
        transport->QueueReply(reply);
        Tick(kRequestTimeout);
    }

    std::map<Command, bool> Checks(bool online, bool away, bool offline) const {
        return {{Command::StatusOnline, online}, {Command::StatusAway, away}, {Command::StatusOffline, offline}};
    }

    // The calls made since ClearCalls, in order, without the ones named.
    std::vector<std::string> CallsWithout(std::initializer_list<std::string> ignored) const {
        std::vector<std::string> calls = Record().calls;
        calls.erase(std::remove_if(calls.begin(), calls.end(),
                                   [&](const std::string& c) {
                                       return std::find(ignored.begin(), ignored.end(), c) != ignored.end();
                                   }),
                    calls.end());
        return calls;
    }
};

TEST_F(PresentationTest, OnlineWithNewMessagesBlinksWithTheCountAndSoundsOnce) {
    StartOnline(0);
    platform->ClearCalls();
    NextPoll("0 0003");

    const TrayState tray = Record().tray;
    EXPECT_EQ(tray.tooltip, Tooltip(kNewMessagesText + "3"));
    EXPECT_EQ(tray.tooltip, "Kovarentis : \xcd\xee\xe2\xfb\xf5 \xf1\xee\xee\xe1\xf9\xe5\xed\xe8\xe9 3");
    EXPECT_EQ(tray.frames, (std::vector<TrayIcon>{TrayIcon::Online, TrayIcon::NewMessage}));
    EXPECT_TRUE(tray.animating);
    EXPECT_EQ(tray.periodMs, 700);
    EXPECT_EQ(tray.sounds, 1);
    EXPECT_EQ(tray.popupMenu, MenuKind::Main);
    EXPECT_EQ(tray.checks, Checks(true, false, false));
    EXPECT_EQ(agent->State().shownMessageCount, 3);
    EXPECT_EQ(CallsWithout({"StartThread", "CursorPosition", "LastInputStamp", "SetMainTimer 1 15000",
                            "SetMainTimer 2 3000"}),
              (std::vector<std::string>{"ConsultantBusy", "ShowTray"}));
    EXPECT_EQ(tray.icon, TrayIcon::NewMessage) << "the blink starts from the new-message icon";
    EXPECT_EQ(Record().balloons.size(), 1u);
}

TEST_F(PresentationTest, OnlineWithoutMessagesShowsTheSteadyOnlineIcon) {
    StartOnline(4);
    NextPoll("0 0000");
    const TrayState tray = Record().tray;
    EXPECT_EQ(tray.tooltip, Tooltip(kOnlineText));
    EXPECT_FALSE(tray.animating);
    EXPECT_EQ(tray.icon, TrayIcon::Online);
    EXPECT_EQ(tray.popupMenu, MenuKind::Main);
    EXPECT_EQ(tray.checks, Checks(true, false, false));
    EXPECT_EQ(agent->State().shownMessageCount, 0);
}

TEST_F(PresentationTest, AwayRowsUseTheAwayIconFramesTextAndCheckMark) {
    StartOnline();
    agent->OnCommand(Command::StatusAway);
    transport->QueueReply("0 0000");
    RunThreads();
    TrayState tray = Record().tray;
    EXPECT_EQ(tray.tooltip, Tooltip(kAwayText));
    EXPECT_FALSE(tray.animating);
    EXPECT_EQ(tray.icon, TrayIcon::Away);
    EXPECT_EQ(tray.checks, Checks(false, true, false));

    NextPoll("0    5");
    tray = Record().tray;
    EXPECT_EQ(tray.tooltip, Tooltip(kNewMessagesText + "5"));
    EXPECT_EQ(tray.frames, (std::vector<TrayIcon>{TrayIcon::Away, TrayIcon::NewMessage}));
    EXPECT_TRUE(tray.animating);
    EXPECT_EQ(tray.periodMs, 700);
    EXPECT_EQ(tray.sounds, 1);
    EXPECT_EQ(tray.checks, Checks(false, true, false));
}

TEST_F(PresentationTest, OfflineStopsEverythingAndChecksOffline) {
    StartOnline(3);
    platform->ClearCalls();
    agent->OnCommand(Command::StatusOffline);
    const TrayState tray = Record().tray;
    EXPECT_EQ(tray.tooltip, Tooltip(kOfflineText));
    EXPECT_FALSE(tray.animating);
    EXPECT_EQ(tray.icon, TrayIcon::Offline);
    EXPECT_EQ(tray.popupMenu, MenuKind::Main);
    EXPECT_EQ(tray.checks, Checks(false, false, true));
    EXPECT_EQ(agent->State().shownMessageCount, 0);
    EXPECT_EQ(CallsWithout({"StartThread"}),
              (std::vector<std::string>{"KillMainTimer 2", "KillMainTimer 1", "ShowTray"}));
}

TEST_F(PresentationTest, SignedOutByTheConsultantShowsTheOfflineIconAndTheSignedOutMenu) {
    StartOnline(3);
    const auto checksBefore = Record().tray.checks;
    platform->ClearCalls();
    agent->OnCommand(Command::SignInOut);
    const TrayState tray = Record().tray;
    EXPECT_EQ(tray.tooltip, Tooltip(kNotSignedInText));
    EXPECT_FALSE(tray.animating);
    EXPECT_EQ(tray.icon, TrayIcon::Offline);
    EXPECT_EQ(tray.popupMenu, MenuKind::SignedOut);
    EXPECT_EQ(tray.checks, checksBefore) << "the signed-out menu has no status items";
    EXPECT_EQ(agent->State().shownMessageCount, 0);
    EXPECT_EQ(CallsWithout({"StartThread"}),
              (std::vector<std::string>{"KillMainTimer 2", "KillMainTimer 1", "ShowTray"}));
}

TEST_F(PresentationTest, FailureReplacesTheBlinkByTheConnectingAnimation) {
    StartOnline(3);
    platform->ClearCalls();
    NextPoll("");
    const TrayState tray = Record().tray;
    EXPECT_EQ(tray.tooltip, Tooltip("\xcd\xe5\xf2 \xf1\xe2\xff\xe7\xe8 \xf1 \xf1\xe5\xf0\xe2\xe5\xf0\xee\xec \xf1 09:41"));
    EXPECT_EQ(tray.frames, kConnecting);
    EXPECT_TRUE(tray.animating);
    EXPECT_EQ(tray.periodMs, 200);
    EXPECT_EQ(tray.popupMenu, MenuKind::SignedOut);
    EXPECT_EQ(tray.sounds, 1) << "only the first count sounded";
    EXPECT_EQ(agent->State().shownMessageCount, 3) << "kept through the outage";
    const auto calls = CallsWithout({"StartThread", "CursorPosition", "LastInputStamp", "ShowBalloon",
                                     "IsMessageBoxOpen", "SetMainTimer 1 15000", "SetMainTimer 4 60000"});
    EXPECT_EQ(calls, (std::vector<std::string>{"KillMainTimer 2", "ShowTray"}))
        << "the poll timer keeps running while connecting";
}

TEST_F(PresentationTest, ConnectingAnimationSlowsOnceTheOutageHasLastedAMinute) {
    StartOnline(0);
    NextPoll("");
    Tick(kLongOutageMs - 1);
    EXPECT_EQ(Record().tray.periodMs, 200) << "three more failed polls within the minute";
    Tick(1);
    EXPECT_EQ(Record().tray.periodMs, 1000);
    EXPECT_EQ(Record().tray.frames, kConnecting);
    NextPoll("");
    EXPECT_EQ(Record().tray.periodMs, 1000) << "a failed poll keeps the slow pace";

    NextPoll("0 0000");
    NextPoll("");
    EXPECT_EQ(Record().tray.periodMs, 200) << "the next outage starts at full pace";
}

TEST_F(PresentationTest, PollStartingSignedOutShowsTheConnectingAnimation) {
    StartOnline();
    agent->OnCommand(Command::SignInOut);
    RunThreads();
    ASSERT_EQ(Record().tray.icon, TrayIcon::Offline);
    platform->script.signIns.push_back(SignInEntry{"ivan", "pw", true});
    transport->QueueReply("0 t");
    bool connectingWhileWaiting = false;
    transport->duringRequest = [&](const SentRequest& request) {
        if (!IsStatusRequest(request)) return;
        const TrayState tray = Record().tray;
        connectingWhileWaiting = tray.animating &&
                                 tray.frames == kConnecting &&
                                 tray.popupMenu == MenuKind::SignedOut &&
                                 tray.tooltip == Tooltip(kNotSignedInText);
    };
    agent->OnCommand(Command::SignInOut);
    RunThreads();
    EXPECT_TRUE(connectingWhileWaiting);
}

TEST_F(PresentationTest, SoundPlaysOnlyWhenTheCountRisesAboveTheShownCount) {
    StartOnline(0);
    struct Step {
        const char* reply;
        int soundsAfter;
    };
    // 3 after 0 sounds; 3 again does not; 2 does not; 3 after 2 does.
    for (const Step& step : {Step{"0 0003", 1}, Step{"0 0003", 1}, Step{"0 0002", 1}, Step{"0 0003", 2}}) {
        SCOPED_TRACE(step.reply);
        NextPoll(step.reply);
        EXPECT_EQ(Record().tray.sounds, step.soundsAfter);
        EXPECT_TRUE(Record().tray.animating);
    }
}

TEST_F(PresentationTest, ANegativeCountIsNoNewMessages) {
    StartOnline(0);
    const std::string quietTooltip = Record().tray.tooltip;
    for (const char* reply : {"0 -999", "0 -001"}) {
        SCOPED_TRACE(reply);
        NextPoll(reply);
        EXPECT_FALSE(Record().tray.animating);
        EXPECT_EQ(Record().tray.sounds, 0);
        EXPECT_EQ(Record().tray.tooltip, quietTooltip);
    }
    NextPoll("0 0003");
    NextPoll("0 -999");
    EXPECT_FALSE(Record().tray.animating) << "the messages were read";
    EXPECT_EQ(Record().tray.tooltip, quietTooltip);
}

TEST_F(PresentationTest, RepeatedCountRestartsTheBlink) {
    StartOnline(3);
    const TrayState before = Record().tray;
    NextPoll("0 0003");
    const TrayState after = Record().tray;
    EXPECT_EQ(after.animationStarts, before.animationStarts + 1);
    EXPECT_TRUE(after.animating);
    EXPECT_EQ(after.periodMs, 700);
    EXPECT_EQ(after.sounds, before.sounds);
}

TEST_F(PresentationTest, OfflineResetsTheShownCountButAnOutageDoesNot) {
    StartOnline(3);
    ASSERT_EQ(Record().tray.sounds, 1);

    agent->OnCommand(Command::StatusOffline);
    RunThreads();
    agent->OnCommand(Command::StatusOnline);
    transport->QueueReply("0 0003");
    RunThreads();
    EXPECT_EQ(Record().tray.sounds, 2) << "Offline reset the shown count";

    NextPoll("");
    NextPoll("0 0003");
    EXPECT_EQ(Record().tray.sounds, 2) << "the count from before the outage is no news";
    NextPoll("");
    NextPoll("0 0004");
    EXPECT_EQ(Record().tray.sounds, 3) << "a rise above it is";
}

TEST_F(PresentationTest, AwayDetectionBeyondTheLimitLeavesTheBlinkAlone) {
    settings.requestTimeout = 24 * 60 * 60 * 1000;
    settings.awayTimeout = 9000;  // 3 checks
    StartOnline(2);
    for (int i = 0; i < 4; ++i) Tick(3000);
    ASSERT_EQ(agent->State().status, PresenceStatus::Away);
    const int startsBefore = Record().tray.animationStarts;
    Tick(3000);
    Tick(3000);
    EXPECT_EQ(Record().tray.animationStarts, startsBefore);
    EXPECT_EQ(Record().tray.frames, (std::vector<TrayIcon>{TrayIcon::Away, TrayIcon::NewMessage}));
    EXPECT_EQ(Record().tray.sounds, 1);
}

TEST_F(PresentationTest, WithAnimationsOffTheIconIsSteadyUntilTheyAreOnAgain) {
    platform->script.motion = false;
    StartWithReply("");
    EXPECT_FALSE(Record().tray.animating);
    EXPECT_EQ(Record().tray.icon, TrayIcon::Connecting1);

    NextPoll("0 0003");
    EXPECT_FALSE(Record().tray.animating);
    EXPECT_EQ(Record().tray.icon, TrayIcon::NewMessage);
    EXPECT_EQ(Record().tray.sounds, 1);

    const std::size_t balloons = Record().balloons.size();
    platform->script.motion = true;
    agent->OnMotionSettingChanged();
    EXPECT_TRUE(Record().tray.animating);
    EXPECT_EQ(Record().tray.frames, (std::vector<TrayIcon>{TrayIcon::Online, TrayIcon::NewMessage}));
    EXPECT_EQ(Record().tray.sounds, 1) << "shown again, not announced again";
    EXPECT_EQ(Record().balloons.size(), balloons);
}

}  // namespace
}  // namespace kov::test
