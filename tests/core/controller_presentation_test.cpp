// What the consultant sees: one case per row of the presentation table, and
// when the new-message sound plays.
#include <gtest/gtest.h>

#include <algorithm>

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

    std::map<int, bool> Checks(bool online, bool away, bool offline) const {
        return {{ID_STATUS_ONLINE, online}, {ID_STATUS_AWAY, away}, {ID_STATUS_OFFLINE, offline}};
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
    EXPECT_EQ(tray.frames, (std::vector<int>{128, 135}));
    EXPECT_TRUE(tray.animating);
    EXPECT_FALSE(tray.workerMode);
    EXPECT_EQ(tray.periodMs, 700);
    EXPECT_EQ(tray.durationSec, 0xFFFFFFFFu);
    EXPECT_EQ(tray.sounds, 1);
    EXPECT_EQ(tray.popupMenu, MenuKind::Main);
    EXPECT_EQ(tray.checks, Checks(true, false, false));
    EXPECT_EQ(agent->State().shownMessageCount, 3);
    EXPECT_EQ(CallsWithout({"StartThread", "CursorPosition", "LastInputStamp", "SetMainTimer 1 15000",
                            "SetMainTimer 2 3000"}),
              (std::vector<std::string>{"SetTooltipText", "SetIcon 135", "SetIconList", "Animate 700 timer",
                                        "ConsultantBusy", "PlayNewMessageSound", "ShowBalloon",
                                        "SetPopupMenu main", "SetMenuCheck 300 on",
                                        "SetMenuCheck 301 off", "SetMenuCheck 302 off"}));
}

TEST_F(PresentationTest, OnlineWithoutMessagesShowsTheSteadyOnlineIcon) {
    StartOnline(4);
    NextPoll("0 0000");
    const TrayState tray = Record().tray;
    EXPECT_EQ(tray.tooltip, Tooltip(kOnlineText));
    EXPECT_FALSE(tray.animating);
    EXPECT_EQ(tray.icon, 128);
    EXPECT_EQ(tray.popupMenu, MenuKind::Main);
    EXPECT_EQ(tray.checks, Checks(true, false, false));
    EXPECT_EQ(agent->State().shownMessageCount, 0);
}

TEST_F(PresentationTest, AwayRowsUseTheAwayIconFramesTextAndCheckMark) {
    StartOnline();
    agent->OnCommand(ID_STATUS_AWAY);
    transport->QueueReply("0 0000");
    RunThreads();
    TrayState tray = Record().tray;
    EXPECT_EQ(tray.tooltip, Tooltip(kAwayText));
    EXPECT_FALSE(tray.animating);
    EXPECT_EQ(tray.icon, 130);
    EXPECT_EQ(tray.checks, Checks(false, true, false));

    NextPoll("0    5");
    tray = Record().tray;
    EXPECT_EQ(tray.tooltip, Tooltip(kNewMessagesText + "5"));
    EXPECT_EQ(tray.frames, (std::vector<int>{130, 135}));
    EXPECT_TRUE(tray.animating);
    EXPECT_FALSE(tray.workerMode);
    EXPECT_EQ(tray.periodMs, 700);
    EXPECT_EQ(tray.sounds, 1);
    EXPECT_EQ(tray.checks, Checks(false, true, false));
}

TEST_F(PresentationTest, OfflineStopsEverythingAndChecksOffline) {
    StartOnline(3);
    platform->ClearCalls();
    agent->OnCommand(ID_STATUS_OFFLINE);
    const TrayState tray = Record().tray;
    EXPECT_EQ(tray.tooltip, Tooltip(kOfflineText));
    EXPECT_FALSE(tray.animating);
    EXPECT_EQ(tray.icon, 131);
    EXPECT_EQ(tray.popupMenu, MenuKind::Main);
    EXPECT_EQ(tray.checks, Checks(false, false, true));
    EXPECT_EQ(agent->State().shownMessageCount, 0);
    EXPECT_EQ(CallsWithout({"StartThread"}),
              (std::vector<std::string>{"KillMainTimer 2", "KillMainTimer 1", "SetTooltipText", "StopAnimation",
                                        "SetIcon 131", "SetPopupMenu main", "SetMenuCheck 300 off",
                                        "SetMenuCheck 301 off", "SetMenuCheck 302 on"}));
}

TEST_F(PresentationTest, SignedOutByTheConsultantShowsTheOfflineIconAndTheSignedOutMenu) {
    StartOnline(3);
    const auto checksBefore = Record().tray.checks;
    platform->ClearCalls();
    agent->OnCommand(ID_SIGN_IN_OUT);
    const TrayState tray = Record().tray;
    EXPECT_EQ(tray.tooltip, Tooltip(kNotSignedInText));
    EXPECT_FALSE(tray.animating);
    EXPECT_EQ(tray.icon, 131);
    EXPECT_EQ(tray.popupMenu, MenuKind::SignedOut);
    EXPECT_EQ(tray.checks, checksBefore) << "the signed-out menu has no status items";
    EXPECT_EQ(agent->State().shownMessageCount, 0);
    EXPECT_EQ(CallsWithout({}), (std::vector<std::string>{"KillMainTimer 2", "KillMainTimer 1", "SetTooltipText",
                                                         "StopAnimation", "SetIcon 131",
                                                         "SetPopupMenu signed-out"}));
}

TEST_F(PresentationTest, FailureReplacesTheBlinkByTheConnectingAnimation) {
    StartOnline(3);
    platform->ClearCalls();
    NextPoll("");
    const TrayState tray = Record().tray;
    EXPECT_EQ(tray.tooltip, Tooltip(kNotSignedInText));
    EXPECT_EQ(tray.frames, (std::vector<int>{138, 140, 141, 142}));
    EXPECT_TRUE(tray.animating);
    EXPECT_TRUE(tray.workerMode);
    EXPECT_EQ(tray.periodMs, 500);
    EXPECT_EQ(tray.popupMenu, MenuKind::SignedOut);
    EXPECT_EQ(tray.sounds, 1) << "only the first count sounded";
    EXPECT_EQ(agent->State().shownMessageCount, 0);
    const auto calls = CallsWithout({"StartThread", "CursorPosition", "LastInputStamp", "ShowBalloon",
                                     "IsMessageBoxOpen", "SetMainTimer 1 15000"});
    EXPECT_EQ(calls, (std::vector<std::string>{"KillMainTimer 2", "SetTooltipText", "SetIconList",
                                               "Animate 500 worker", "SetPopupMenu signed-out"}))
        << "the poll timer keeps running while connecting";
}

TEST_F(PresentationTest, PollStartingSignedOutShowsTheConnectingAnimation) {
    StartOnline();
    agent->OnCommand(ID_SIGN_IN_OUT);
    ASSERT_EQ(Record().tray.icon, 131);
    platform->script.signIns.push_back(SignInEntry{"ivan", "pw", true});
    transport->QueueReply("0 t");
    bool connectingWhileWaiting = false;
    transport->duringRequest = [&](const SentRequest& request) {
        if (!IsStatusRequest(request)) return;
        const TrayState tray = Record().tray;
        connectingWhileWaiting = tray.animating && tray.workerMode &&
                                 tray.frames == std::vector<int>{138, 140, 141, 142} &&
                                 tray.popupMenu == MenuKind::SignedOut &&
                                 tray.tooltip == Tooltip(kNotSignedInText);
    };
    agent->OnCommand(ID_SIGN_IN_OUT);
    RunThreads();
    EXPECT_TRUE(connectingWhileWaiting);
}

TEST_F(PresentationTest, SoundPlaysOnlyWhenTheCountRisesAboveTheShownCount) {
    StartOnline(0);
    struct Step {
        const char* reply;
        int soundsAfter;
    };
    // 3 after 0 sounds; 3 again does not; 2 does not; 3 after 2 does; a
    // negative count blinks without sound.
    for (const Step& step : {Step{"0 0003", 1}, Step{"0 0003", 1}, Step{"0 0002", 1}, Step{"0 0003", 2},
                             Step{"0 -001", 2}}) {
        SCOPED_TRACE(step.reply);
        NextPoll(step.reply);
        EXPECT_EQ(Record().tray.sounds, step.soundsAfter);
        EXPECT_TRUE(Record().tray.animating);
    }
}

TEST_F(PresentationTest, RepeatedCountRestartsTheBlink) {
    StartOnline(3);
    platform->ClearCalls();
    NextPoll("0 0003");
    const auto calls = Record().calls;
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "Animate 700 timer"), 1);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "PlayNewMessageSound"), 0);
}

TEST_F(PresentationTest, OfflineAndFailuresResetTheShownCountSoTheSoundPlaysAgain) {
    StartOnline(3);
    ASSERT_EQ(Record().tray.sounds, 1);

    agent->OnCommand(ID_STATUS_OFFLINE);
    RunThreads();
    agent->OnCommand(ID_STATUS_ONLINE);
    transport->QueueReply("0 0003");
    RunThreads();
    EXPECT_EQ(Record().tray.sounds, 2) << "Offline reset the shown count";

    NextPoll("");
    NextPoll("0 0003");
    EXPECT_EQ(Record().tray.sounds, 3) << "the failure reset the shown count";
}

TEST_F(PresentationTest, AwayDetectionBeyondTheLimitRestartsTheBlinkWithoutSound) {
    settings.requestTimeout = 24 * 60 * 60 * 1000;
    settings.awayTimeout = 9000;  // 3 checks
    StartOnline(2);
    for (int i = 0; i < 4; ++i) Tick(3000);
    ASSERT_EQ(agent->State().status, PresenceStatus::Away);
    platform->ClearCalls();
    Tick(3000);
    Tick(3000);
    const auto calls = Record().calls;
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "Animate 700 timer"), 2);
    EXPECT_EQ(Record().tray.frames, (std::vector<int>{130, 135}));
    EXPECT_EQ(Record().tray.sounds, 1);
}

}  // namespace
}  // namespace kov::test
