// The agent's states and the transitions between them: commands, away
// detection and closing.
#include <gtest/gtest.h>

#include "tests/core/controller_fixture.h"

namespace kov::test {
namespace {

class StateTest : public ControllerTest {
protected:
    // Runs n idle checks, 3 s apart.
    void IdleChecks(int n) {
        for (int i = 0; i < n; ++i) Tick(3000);
    }
};

TEST_F(StateTest, UnmovedCursorForTheAwayTimeoutTurnsOnlineIntoAway) {
    settings.requestTimeout = 24 * 60 * 60 * 1000;  // keep polls out of the way
    StartOnline();
    // 600000 ms / 3000 = 200 unmoved checks; the first check only notes where the cursor is.
    IdleChecks(200);
    EXPECT_EQ(agent->State().status, PresenceStatus::Online);
    EXPECT_EQ(agent->State().idleTicks, 199);
    IdleChecks(1);
    EXPECT_EQ(agent->State().status, PresenceStatus::Away);
    EXPECT_EQ(agent->State().idleTicks, 200);
    EXPECT_EQ(Record().tray.tooltip, Tooltip(kAwayText));
    EXPECT_TRUE(platform->TimerRunning(IDLE_TIMER)) << "detected Away keeps both timers";
    EXPECT_TRUE(platform->TimerRunning(POLL_TIMER));

    IdleChecks(5);
    EXPECT_EQ(agent->State().idleTicks, 200) << "the count stays at the limit";
    EXPECT_EQ(transport->Requests().size(), 1u) << "away detection sends nothing";
}

TEST_F(StateTest, AwayLimitFollowsTheAwayTimeout) {
    settings.requestTimeout = 24 * 60 * 60 * 1000;
    settings.awayTimeout = 60000;  // 20 checks
    StartOnline();
    IdleChecks(20);
    EXPECT_EQ(agent->State().status, PresenceStatus::Online);
    IdleChecks(1);
    EXPECT_EQ(agent->State().status, PresenceStatus::Away);
}

TEST_F(StateTest, PollsCloserThanTheIdleCheckDoNotPutAwayOff) {
    settings.requestTimeout = 1000;
    settings.awayTimeout = 6000;  // 2 checks
    StartOnline();
    for (int second = 0; second < 12; ++second) {
        transport->QueueReply("0 0000");
        Tick(1000);
    }
    EXPECT_EQ(StatusRequests().size(), 13u);
    EXPECT_EQ(agent->State().status, PresenceStatus::Away);
}

TEST_F(StateTest, AMovedCursorResetsTheIdleCount) {
    settings.requestTimeout = 24 * 60 * 60 * 1000;
    settings.awayTimeout = 60000;
    StartOnline();
    IdleChecks(16);
    EXPECT_EQ(agent->State().idleTicks, 15);
    platform->script.cursor = CursorPos{10, 20};
    IdleChecks(1);
    EXPECT_EQ(agent->State().idleTicks, 0);
    IdleChecks(19);
    EXPECT_EQ(agent->State().status, PresenceStatus::Online);
    IdleChecks(1);
    EXPECT_EQ(agent->State().status, PresenceStatus::Away);
}

TEST_F(StateTest, MovingTheCursorWhileAwayDetectedReturnsToOnlineLocally) {
    settings.requestTimeout = 24 * 60 * 60 * 1000;
    settings.awayTimeout = 60000;
    StartOnline();
    IdleChecks(21);
    ASSERT_EQ(agent->State().status, PresenceStatus::Away);
    platform->script.cursor = CursorPos{5, 5};
    IdleChecks(1);
    EXPECT_EQ(agent->State().status, PresenceStatus::Online);
    EXPECT_EQ(Record().tray.tooltip, Tooltip(kOnlineText));
    EXPECT_EQ(transport->Requests().size(), 1u);
}

TEST_F(StateTest, InputWithAStillCursorCountsAsPresence) {
    settings.requestTimeout = 24 * 60 * 60 * 1000;
    settings.awayTimeout = 60000;  // 20 checks
    StartOnline();
    // A key every fifth check (15 s) for 30 checks (90 s): never away.
    for (int check = 1; check <= 30; ++check) {
        if (check % 5 == 0) platform->script.lastInput += 15000;
        IdleChecks(1);
        ASSERT_EQ(agent->State().status, PresenceStatus::Online) << "check " << check;
    }
    EXPECT_EQ(agent->State().idleTicks, 0);
    // The typing stops: away after the limit, as for a still cursor.
    IdleChecks(19);
    EXPECT_EQ(agent->State().status, PresenceStatus::Online);
    IdleChecks(1);
    EXPECT_EQ(agent->State().status, PresenceStatus::Away);
}

TEST_F(StateTest, InputWhileAwayDetectedReturnsToOnlineLocally) {
    settings.requestTimeout = 24 * 60 * 60 * 1000;
    settings.awayTimeout = 60000;
    StartOnline();
    IdleChecks(21);
    ASSERT_EQ(agent->State().status, PresenceStatus::Away);
    // The input clock wraps: any change is input, whichever way it goes.
    platform->script.lastInput -= 1;
    IdleChecks(1);
    EXPECT_EQ(agent->State().status, PresenceStatus::Online);
    EXPECT_EQ(agent->State().idleTicks, 0);
    EXPECT_EQ(Record().tray.tooltip, Tooltip(kOnlineText));
}

TEST_F(StateTest, ChoosingOnlineOrAwayKillsIdleTimerAndPollsAtOnce) {
    StartOnline();
    agent->OnCommand(Command::StatusAway);
    EXPECT_FALSE(platform->TimerRunning(IDLE_TIMER));
    EXPECT_EQ(agent->State().status, PresenceStatus::Away);
    transport->QueueReply("0 0000");
    RunThreads();
    EXPECT_EQ(QueryValue(StatusRequests().back().path, "status"), "1");
    EXPECT_FALSE(platform->TimerRunning(IDLE_TIMER)) << "Away chosen: only the poll timer";
    EXPECT_TRUE(platform->TimerRunning(POLL_TIMER));

    // With away chosen, moving the mouse does not return to Online.
    platform->script.cursor = CursorPos{300, 400};
    Tick(3000);
    EXPECT_EQ(agent->State().status, PresenceStatus::Away);

    agent->OnCommand(Command::StatusOnline);
    EXPECT_EQ(agent->State().status, PresenceStatus::Online);
    transport->QueueReply("0 0000");
    RunThreads();
    EXPECT_EQ(QueryValue(StatusRequests().back().path, "status"), "0");
    EXPECT_TRUE(platform->TimerRunning(IDLE_TIMER));
    EXPECT_EQ(StatusRequests().size(), 3u);
}

TEST_F(StateTest, OfflineSendsExactlyOneStatusTwoAndStopsPolling) {
    StartOnline();
    agent->OnCommand(Command::StatusOffline);
    EXPECT_FALSE(platform->TimerRunning(IDLE_TIMER));
    EXPECT_FALSE(platform->TimerRunning(POLL_TIMER));
    RunThreads();
    Tick(10 * 60 * 1000);

    const auto requests = StatusRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(QueryValue(requests[1].path, "status"), "2");
    EXPECT_EQ(QueryValue(requests[1].path, "token"), "tok");
    const AgentState state = agent->State();
    EXPECT_EQ(state.status, PresenceStatus::Offline);
    EXPECT_FALSE(state.signedOut);

    agent->OnCommand(Command::StatusOnline);
    transport->QueueReply("0 0000");
    RunThreads();
    EXPECT_EQ(StatusRequests().size(), 3u);
    EXPECT_EQ(agent->State().status, PresenceStatus::Online);
    EXPECT_TRUE(platform->TimerRunning(POLL_TIMER));
    EXPECT_TRUE(platform->TimerRunning(IDLE_TIMER));
}

TEST_F(StateTest, OfflineReplyIsIgnored) {
    StartOnline();
    transport->QueueReply("1");  // would stop the agent if it were applied
    agent->OnCommand(Command::StatusOffline);
    RunThreads();
    EXPECT_FALSE(agent->State().signedOut);
    EXPECT_TRUE(Record().signInPresets.empty());
    EXPECT_TRUE(Record().boxes.empty());
}

TEST_F(StateTest, SigningOutSendsOfflineOnceAndBlanksTheCredentials) {
    StartOnline(2);
    agent->OnCommand(Command::SignInOut);
    RunThreads();
    Tick(10 * 60 * 1000);

    const auto requests = StatusRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(QueryValue(requests[1].path, "status"), "2");
    EXPECT_EQ(QueryValue(requests[1].path, "token"), "tok") << "composed before the token was forgotten";
    EXPECT_EQ(settings.login, "");
    EXPECT_EQ(settings.token, "");
    EXPECT_EQ(store.Stored("App", "Login"), std::optional<std::string>(""));
    EXPECT_EQ(store.Stored("App", "Token"), std::optional<std::string>(""));
    const AgentState state = agent->State();
    EXPECT_TRUE(state.signedOut);
    EXPECT_TRUE(state.authStopped);
    EXPECT_EQ(state.status, PresenceStatus::Offline);
    EXPECT_FALSE(platform->TimerRunning(POLL_TIMER));
    EXPECT_FALSE(platform->TimerRunning(IDLE_TIMER));
    EXPECT_TRUE(Record().signInPresets.empty()) << "signing out opens no dialog";
}

TEST_F(StateTest, SignInFromTheSignedOutMenuPollsAtOnce) {
    StartOnline();
    agent->OnCommand(Command::SignInOut);  // out
    transport->QueueReply("0 0000");
    RunThreads();
    platform->script.signIns.push_back(SignInEntry{"maria", "pw", true});
    transport->QueueReply("0 t2");
    transport->QueueReply("0 0001");
    agent->OnCommand(Command::SignInOut);  // in
    EXPECT_EQ(platform->QueuedThreads(), 1);
    RunThreads();
    const auto requests = StatusRequests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(QueryValue(requests[2].path, "login"), "maria");
    EXPECT_EQ(QueryValue(requests[2].path, "token"), "t2");
    EXPECT_EQ(QueryValue(requests[2].path, "status"), "2");
    EXPECT_FALSE(agent->State().signedOut);
}

TEST_F(StateTest, SecondStartWhileSignedInShowsTheMenuAtTheIconOrWhereTheIconIs) {
    StartOnline();
    agent->OnActivateAgent();
    EXPECT_EQ(Record().menusAtIcon, 1);
    EXPECT_TRUE(Record().balloons.empty());

    platform->script.iconVisible = false;
    agent->OnActivateAgent();
    RunThreads();
    ASSERT_EQ(Record().balloons.size(), 1u);
    EXPECT_EQ(Record().balloons[0].kind, BalloonKind::Hint);
    EXPECT_EQ(Record().balloons[0].text, DefaultText(TextId::TrayIconHint));
    EXPECT_TRUE(Record().signInPresets.empty());
    EXPECT_EQ(transport->Requests().size(), 1u);
}

TEST_F(StateTest, SecondStartWhileConnectingOpensTheSignIn) {
    StartWithReply("");
    platform->script.signIns.push_back(SignInEntry{"ivan", "pw", true});
    transport->QueueReply("0 t3");
    transport->QueueReply("0 0000");
    agent->OnActivateAgent();
    RunThreads();
    EXPECT_EQ(Record().signInPresets.size(), 1u);
    EXPECT_FALSE(agent->State().signedOut);
}

TEST_F(StateTest, OpenPageAndAboutUseTheShell) {
    StartOnline();
    agent->OnCommand(Command::OpenConsultPage);
    agent->OnCommand(Command::About);
    const FakeRecord record = Record();
    EXPECT_EQ(record.opened, std::vector<std::string>{std::string(kServer) + "/profile/expertconsult"});
    EXPECT_EQ(record.aboutShown, 1);
    EXPECT_EQ(transport->Requests().size(), 1u);
}

TEST_F(StateTest, CloseKillsTheTimersEndsTheDialogAndStopsAllWork) {
    StartOnline();
    agent->OnCommand(Command::Close);
    EXPECT_FALSE(platform->TimerRunning(POLL_TIMER));
    EXPECT_FALSE(platform->TimerRunning(IDLE_TIMER));
    EXPECT_EQ(Record().endResults, std::vector<int>{1});

    // Messages still queued for the main window do nothing any more.
    agent->OnTimer(POLL_TIMER);
    agent->OnCommand(Command::StatusOnline);
    agent->OnCommand(Command::StatusOffline);
    RunThreads();
    EXPECT_EQ(transport->Requests().size(), 1u);
    EXPECT_EQ(Record().endResults.size(), 1u);
}

// Unknown commands never reach the core: the main window passes on only the
// menu ids it maps to commands.
TEST_F(StateTest, UnknownTimerDoesNothing) {
    StartOnline();
    platform->ClearCalls();
    agent->OnTimer(4567);
    RunThreads();
    EXPECT_TRUE(Record().calls.empty());
    EXPECT_EQ(transport->Requests().size(), 1u);
}

}  // namespace
}  // namespace kov::test
