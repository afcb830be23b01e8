// How a poll applies the service's reply: one case per row of the reply
// table, and the rules for balloons and message boxes on failures.
#include <gtest/gtest.h>

#include "tests/core/controller_fixture.h"

namespace kov::test {
namespace {

using ReplyTest = ControllerTest;

TEST_F(ReplyTest, AcceptedReplyGoesOnlineWithTheCountAndArmsBothTimers) {
    StartWithReply("0 0042 and more");
    const AgentState state = agent->State();
    EXPECT_EQ(state.status, PresenceStatus::Online);
    EXPECT_FALSE(state.signedOut);
    EXPECT_EQ(state.newMessageCount, 42);
    EXPECT_EQ(platform->TimerPeriod(POLL_TIMER), kRequestTimeout);
    EXPECT_EQ(platform->TimerPeriod(IDLE_TIMER), 3000);
    ASSERT_EQ(Record().balloons.size(), 1u);
    EXPECT_EQ(Record().balloons[0].kind, BalloonKind::NewMessages) << "no failure balloon";
    EXPECT_TRUE(Record().boxes.empty());
}

TEST_F(ReplyTest, PollsKeepTheirCadenceHoweverLongEachReplyTakes) {
    StartOnline();
    platform->Advance(kRequestTimeout);
    for (int poll = 0; poll < 3; ++poll) {
        transport->QueueReply("0 0000");
        platform->Advance(400);
        RunThreads();
        platform->Advance(kRequestTimeout - 400);
    }
    RunThreads();
    EXPECT_EQ(StatusRequests().size(), 5u) << "one poll at the start and one every period";
}

TEST_F(ReplyTest, AcceptedReplyShorterThanSixCharactersCountsNoMessages) {
    StartWithReply("0 123");
    EXPECT_EQ(agent->State().newMessageCount, 0);
    EXPECT_EQ(agent->State().status, PresenceStatus::Online);
}

TEST_F(ReplyTest, AcceptedReplyWhileAwayStaysAwayWithoutIdleTimer) {
    StartOnline();
    agent->OnCommand(Command::StatusAway);
    transport->QueueReply("0 0000");
    RunThreads();
    EXPECT_EQ(QueryValue(StatusRequests().back().path, "status"), "1");
    EXPECT_EQ(agent->State().status, PresenceStatus::Away);
    EXPECT_FALSE(platform->TimerRunning(IDLE_TIMER));
    EXPECT_EQ(platform->TimerPeriod(POLL_TIMER), kRequestTimeout);
}

TEST_F(ReplyTest, RejectedTokenStopsWarnsAndSignsInOnThePollThread) {
    StartOnline();
    platform->script.signIns.push_back(SignInEntry{"ivan", "secret", true});
    transport->QueueReply("1");
    transport->QueueReply("0 newtoken");
    transport->QueueReply("0 0000");
    bool stoppedAtDialog = false;
    platform->duringSignIn = [&] {
        const AgentState state = agent->State();
        stoppedAtDialog = state.signedOut && state.authStopped && state.status == PresenceStatus::Offline &&
                          !platform->TimerRunning(POLL_TIMER) && !platform->TimerRunning(IDLE_TIMER);
    };
    Tick(kRequestTimeout);

    const FakeRecord record = Record();
    EXPECT_TRUE(stoppedAtDialog);
    ASSERT_EQ(record.balloons.size(), 1u);
    EXPECT_EQ(record.balloons[0].text, kBadLoginText);
    EXPECT_EQ(record.balloons[0].title, kAuthorizationText);
    EXPECT_EQ(record.balloons[0].kind, BalloonKind::Warning);
    EXPECT_EQ(record.balloons[0].timeoutSec, 10);
    ASSERT_EQ(record.boxes.size(), 1u);
    EXPECT_EQ(record.boxes[0].text, kBadLoginText);
    EXPECT_EQ(record.boxes[0].caption, kCaptionText);
    EXPECT_EQ(record.boxes[0].kind, BoxKind::Warning);
    EXPECT_EQ(record.signInPresets.size(), 1u);
    EXPECT_EQ(record.signInLogins, std::vector<std::string>{"ivan"}) << "the known login is filled in";

    const auto requests = transport->Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_TRUE(IsSignInRequest(requests[2]));
    ASSERT_TRUE(IsStatusRequest(requests[3])) << "a new poll follows the accepted sign-in";
    EXPECT_EQ(QueryValue(requests[3].path, "token"), "newtoken");
    EXPECT_FALSE(agent->State().signedOut);
}

TEST_F(ReplyTest, RejectedTokenThenCancelledSignInStaysStoppedUntilAskedAgain) {
    StartOnline();
    transport->QueueReply("1");
    Tick(kRequestTimeout);
    ASSERT_EQ(Record().signInPresets.size(), 1u);
    const std::size_t requestsWhenStopped = transport->Requests().size();

    Tick(10 * 60 * 1000);
    EXPECT_EQ(transport->Requests().size(), requestsWhenStopped) << "no poll while stopped";
    EXPECT_FALSE(platform->TimerRunning(POLL_TIMER));
    EXPECT_FALSE(platform->TimerRunning(IDLE_TIMER));
    const AgentState state = agent->State();
    EXPECT_TRUE(state.signedOut);
    EXPECT_TRUE(state.authStopped);
    EXPECT_EQ(Record().tray.icon, TrayIcon::Offline);

    agent->OnCommand(Command::SignInOut);
    EXPECT_EQ(Record().signInPresets.size(), 2u);
    agent->OnActivateAgent();
    EXPECT_EQ(Record().signInPresets.size(), 3u);

    platform->script.signIns.push_back(SignInEntry{"ivan", "secret", true});
    transport->QueueReply("0 fresh");
    transport->QueueReply("0 0000");
    agent->OnActivateAgent();
    RunThreads();
    EXPECT_FALSE(agent->State().signedOut);
    EXPECT_EQ(QueryValue(StatusRequests().back().path, "token"), "fresh");
}

TEST_F(ReplyTest, UpdateReplyOffersTheUpdateAndArmsNoTimer) {
    StartSignedIn();
    platform->script.boxAnswers.push_back(BoxAnswer::No);
    transport->QueueReply("2 http://dl.test/setup.exe");
    RunThreads();

    const FakeRecord record = Record();
    ASSERT_EQ(record.boxes.size(), 1u);
    EXPECT_EQ(record.boxes[0].text, kUpdateQuestionText);
    EXPECT_EQ(record.boxes[0].caption, kCaptionText);
    EXPECT_EQ(record.boxes[0].kind, BoxKind::Question);
    const AgentState state = agent->State();
    EXPECT_TRUE(state.signedOut);
    EXPECT_FALSE(state.authStopped);
    EXPECT_FALSE(platform->TimerRunning(POLL_TIMER));
    EXPECT_FALSE(platform->TimerRunning(IDLE_TIMER));
    Tick(10 * 60 * 1000);
    EXPECT_EQ(transport->Requests().size(), 1u) << "no poll starts by itself after a first '2'";
}

TEST_F(ReplyTest, UpdateReplyWhileOnlineKeepsStateAndTimers) {
    StartOnline(3);
    platform->script.boxAnswers.push_back(BoxAnswer::No);
    transport->QueueReply("2 http://dl.test/setup.exe");
    Tick(kRequestTimeout);
    const AgentState state = agent->State();
    EXPECT_EQ(state.status, PresenceStatus::Online);
    EXPECT_EQ(state.newMessageCount, 3);
    EXPECT_TRUE(platform->TimerRunning(POLL_TIMER));
    EXPECT_TRUE(platform->TimerRunning(IDLE_TIMER));
}

TEST_F(ReplyTest, FailuresFallBackToConnectingWithTheirText) {
    struct Case {
        std::string reply;
        std::string text;
    };
    for (const Case& c : {Case{"", kConnectFailedText}, Case{"<html>error</html>", kUnexpectedErrorText},
                          Case{"7 0003", kUnexpectedErrorText}}) {
        SCOPED_TRACE("reply '" + c.reply + "'");
        transport = std::make_shared<FakeTransport>();
        platform = std::make_shared<FakePlatform>(transport);
        StartOnline(5);
        transport->QueueReply(c.reply);
        Tick(kRequestTimeout);

        const AgentState state = agent->State();
        EXPECT_TRUE(state.signedOut);
        EXPECT_FALSE(state.authStopped);
        EXPECT_EQ(state.status, PresenceStatus::Online) << "the consultant's status goes out again later";
        EXPECT_TRUE(state.errorBoxShown);
        const FakeRecord record = Record();
        // The first balloon announced the 5 messages.
        ASSERT_EQ(record.balloons.size(), 2u);
        EXPECT_EQ(record.balloons[1].text, c.text);
        EXPECT_EQ(record.balloons[1].title, kCaptionText);
        EXPECT_EQ(record.balloons[1].kind, BalloonKind::Warning);
        EXPECT_EQ(record.balloons[1].timeoutSec, 10);
        ASSERT_EQ(record.boxes.size(), 1u);
        EXPECT_EQ(record.boxes[0].text, c.text);
        EXPECT_EQ(record.boxes[0].caption, kCaptionText);
        EXPECT_EQ(record.boxes[0].kind, BoxKind::Warning);
        EXPECT_EQ(platform->TimerPeriod(POLL_TIMER), kRequestTimeout);
        EXPECT_FALSE(platform->TimerRunning(IDLE_TIMER));
        agent.reset();
        platform->RunQueuedThreads();
    }
}

// The service down at start: polling goes on while the box is open, and the
// first accepted reply closes the box and reports the consultant at once.
TEST_F(ReplyTest, FailedFirstPollKeepsPollingWhileItsBoxIsOpenAndTheServiceClosesIt) {
    StartSignedIn();
    int pollsDuringBox = 0;
    platform->duringBox = [&](const BoxShown&) {
        Tick(kRequestTimeout);  // still down
        transport->QueueReply("0 0000");
        Tick(kRequestTimeout);  // back
        pollsDuringBox = static_cast<int>(StatusRequests().size()) - 1;
        EXPECT_EQ(Record().closedBoxes, std::vector<std::string>{kConnectFailedText});
    };
    RunThreads();
    EXPECT_EQ(pollsDuringBox, 2);
    EXPECT_FALSE(agent->State().signedOut);
    EXPECT_EQ(Record().boxes.size(), 1u);
    EXPECT_EQ(Record().balloons.size(), 1u) << "one notice for the outage";
}

TEST_F(ReplyTest, ARunOfFailuresShowsOneBalloonAndOneBoxUntilAnAcceptedOrRejectedReply) {
    StartOnline();
    for (int i = 0; i < 6; ++i) Tick(kRequestTimeout);  // no reply queued: connection failures
    EXPECT_EQ(Record().balloons.size(), 1u);
    EXPECT_EQ(Record().boxes.size(), 1u);
    EXPECT_EQ(Record().tray.tooltip, Tooltip("\xcd\xe5\xf2 \xf1\xe2\xff\xe7\xe8 \xf1 \xf1\xe5\xf0\xe2\xe5\xf0\xee\xec \xf1 09:41"))
        << "since when the service cannot be reached";

    transport->QueueReply("0 0000");
    Tick(kRequestTimeout);
    EXPECT_FALSE(agent->State().errorBoxShown);
    EXPECT_FALSE(agent->State().outage);
    Tick(kRequestTimeout);
    EXPECT_EQ(Record().balloons.size(), 2u);
    EXPECT_EQ(Record().boxes.size(), 2u) << "a new run of failures shows a box again";

    transport->QueueReply("1");  // rejected, then the sign-in is cancelled
    Tick(kRequestTimeout);
    EXPECT_FALSE(agent->State().errorBoxShown);
    platform->script.signIns.push_back(SignInEntry{"ivan", "secret", true});
    transport->QueueReply("0 tok2");
    agent->OnCommand(Command::SignInOut);
    const std::size_t boxesBefore = Record().boxes.size();
    RunThreads();  // its poll fails
    EXPECT_EQ(Record().boxes.size(), boxesBefore + 1);
}

TEST_F(ReplyTest, FailureWhileAnAgentWindowIsOpenShowsOnlyTheBalloon) {
    StartOnline();
    platform->script.externalBoxOpen = true;
    Tick(kRequestTimeout);
    EXPECT_EQ(Record().balloons.size(), 1u);
    EXPECT_TRUE(Record().boxes.empty());
    EXPECT_FALSE(agent->State().errorBoxShown) << "a later failure may still show the box";
    EXPECT_TRUE(platform->TimerRunning(POLL_TIMER));

    platform->script.externalBoxOpen = false;
    Tick(kRequestTimeout);
    EXPECT_EQ(Record().balloons.size(), 1u) << "the outage's balloon was shown";
    EXPECT_EQ(Record().boxes.size(), 1u);
}

TEST_F(ReplyTest, FailureWhileTheUpdateQuestionIsOpenShowsOnlyTheBalloon) {
    StartOnline();
    platform->script.boxAnswers.push_back(BoxAnswer::No);
    transport->QueueReply("2 http://dl.test/setup.exe");
    platform->duringBox = [&](const BoxShown& box) {
        if (box.text == kUpdateQuestionText) Tick(kRequestTimeout);  // that poll fails
    };
    Tick(kRequestTimeout);

    const FakeRecord record = Record();
    ASSERT_EQ(record.boxes.size(), 1u);
    EXPECT_EQ(record.boxes[0].text, kUpdateQuestionText);
    ASSERT_EQ(record.balloons.size(), 1u);
    EXPECT_EQ(record.balloons[0].text, kConnectFailedText);
    EXPECT_FALSE(agent->State().errorBoxShown);
}

}  // namespace
}  // namespace kov::test
