// Requests made while another is in flight, replies that arrive late, and
// closing while work is under way, in a deterministic order: the fake
// transport runs the test's code while a request is "in flight", and boxes
// and dialogs run it as their modal loops would.
#include <gtest/gtest.h>

#include "tests/core/controller_fixture.h"

namespace kov::test {
namespace {

using CoalescingTest = ControllerTest;

TEST_F(CoalescingTest, PollsRequestedDuringAPollRunOnceAfterIt) {
    StartOnline();
    int nested = 0;
    transport->duringRequest = [&](const SentRequest&) {
        if (nested++ > 0) return;
        agent->OnTimer(POLL_TIMER);
        agent->OnTimer(POLL_TIMER);
        agent->OnCommand(Command::StatusOnline);
        EXPECT_EQ(platform->QueuedThreads(), 0) << "no second poll thread while one runs";
    };
    transport->QueueReply("0 0000");
    transport->QueueReply("0 0000");
    Tick(kRequestTimeout);
    EXPECT_EQ(StatusRequests().size(), 3u) << "the first, then exactly one more";
}

TEST_F(CoalescingTest, StatusChosenDuringAPollIsReportedByThePollThatFollows) {
    StartOnline();
    transport->duringRequest = [&](const SentRequest&) {
        transport->duringRequest = nullptr;
        agent->OnCommand(Command::StatusAway);
    };
    transport->QueueReply("0 0000");
    transport->QueueReply("0 0000");
    Tick(kRequestTimeout);
    const auto requests = StatusRequests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(QueryValue(requests[2].path, "status"), "1");
    EXPECT_EQ(agent->State().status, PresenceStatus::Away);
}

TEST_F(CoalescingTest, RepeatedOfflineWhileItsRequestRunsSendsOnceMore) {
    StartOnline();
    transport->duringRequest = [&](const SentRequest&) {
        transport->duringRequest = nullptr;
        agent->OnCommand(Command::StatusOffline);
        agent->OnCommand(Command::StatusOffline);
        EXPECT_EQ(platform->QueuedThreads(), 0);
    };
    agent->OnCommand(Command::StatusOffline);
    RunThreads();
    const auto requests = StatusRequests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(QueryValue(requests[1].path, "status"), "2");
    EXPECT_EQ(QueryValue(requests[2].path, "status"), "2");
}

TEST_F(CoalescingTest, ReplyArrivingAfterOfflineIsDropped) {
    StartOnline();
    transport->duringRequest = [&](const SentRequest&) {
        transport->duringRequest = nullptr;
        agent->OnCommand(Command::StatusOffline);
    };
    transport->QueueReply("0 0007");
    Tick(kRequestTimeout);
    RunThreads();
    const AgentState state = agent->State();
    EXPECT_EQ(state.status, PresenceStatus::Offline);
    EXPECT_EQ(state.newMessageCount, 0);
    EXPECT_FALSE(platform->TimerRunning(POLL_TIMER));
    EXPECT_FALSE(platform->TimerRunning(IDLE_TIMER));
    EXPECT_EQ(Record().tray.tooltip, Tooltip(kOfflineText));
}

TEST_F(CoalescingTest, ReplyArrivingAfterSignOutIsDropped) {
    StartOnline();
    transport->duringRequest = [&](const SentRequest&) {
        transport->duringRequest = nullptr;
        agent->OnCommand(Command::SignInOut);
    };
    transport->QueueReply("1");
    Tick(kRequestTimeout);
    EXPECT_TRUE(Record().signInPresets.empty()) << "the old token's rejection no longer matters";
    EXPECT_TRUE(Record().boxes.empty());
    EXPECT_TRUE(agent->State().authStopped);
}

TEST_F(CoalescingTest, PollRequestedBeforeOfflineDoesNotRun) {
    StartOnline();
    transport->duringRequest = [&](const SentRequest&) {
        transport->duringRequest = nullptr;
        agent->OnTimer(POLL_TIMER);  // remembered...
        agent->OnCommand(Command::StatusOffline);  // ...and forgotten
    };
    transport->QueueReply("0 0000");
    Tick(kRequestTimeout);
    RunThreads();
    const auto requests = StatusRequests();
    ASSERT_EQ(requests.size(), 3u) << "the poll in flight and the Offline request";
    EXPECT_EQ(QueryValue(requests[2].path, "status"), "2");
}

TEST_F(CoalescingTest, PollRequestedBeforeARejectedTokenDoesNotRun) {
    StartOnline();
    transport->duringRequest = [&](const SentRequest&) {
        transport->duringRequest = nullptr;
        agent->OnTimer(POLL_TIMER);  // remembered, then forgotten: the agent stops
    };
    transport->QueueReply("1");
    Tick(kRequestTimeout);  // the sign-in dialog is cancelled
    RunThreads();
    EXPECT_EQ(StatusRequests().size(), 2u);
    EXPECT_EQ(Record().signInPresets.size(), 1u);
}

TEST_F(CoalescingTest, AnOpenFailureBoxDoesNotHoldUpPolling) {
    StartWithReply("0 0000");
    bool onlineWhileBoxOpen = false;
    platform->duringBox = [&](const BoxShown&) {
        transport->QueueReply("0 0002");
        Tick(kRequestTimeout);
        onlineWhileBoxOpen = !agent->State().signedOut;
    };
    Tick(kRequestTimeout);  // fails: the box opens
    EXPECT_TRUE(onlineWhileBoxOpen);
    EXPECT_EQ(agent->State().newMessageCount, 2);
    EXPECT_TRUE(platform->TimerRunning(POLL_TIMER));
    EXPECT_TRUE(platform->TimerRunning(IDLE_TIMER));
}

TEST_F(CoalescingTest, SignOutDuringTheFailureBoxKeepsPollingStopped) {
    StartOnline();
    platform->duringBox = [&](const BoxShown&) {
        transport->QueueReply("0 0000");
        Tick(kRequestTimeout);                 // back online meanwhile
        agent->OnCommand(Command::SignInOut);  // then signed out
    };
    Tick(kRequestTimeout);  // fails: the box opens
    EXPECT_FALSE(platform->TimerRunning(POLL_TIMER)) << "closing the box must not re-arm polling";
    const std::size_t requests = transport->Requests().size();
    Tick(10 * 60 * 1000);
    EXPECT_EQ(transport->Requests().size(), requests);
}

TEST_F(CoalescingTest, AReplyThatComesAfterCloseIsDropped) {
    StartSignedIn();
    transport->duringRequest = [&](const SentRequest&) {
        transport->duringRequest = nullptr;
        agent->OnCommand(Command::Close);
    };
    transport->QueueReply("1");  // would open boxes and dialogs if it were applied
    RunThreads();
    EXPECT_EQ(Record().endResults, std::vector<int>{1});
    EXPECT_TRUE(Record().boxes.empty());
    EXPECT_TRUE(Record().signInPresets.empty());
    EXPECT_FALSE(platform->TimerRunning(POLL_TIMER));
}

TEST_F(CoalescingTest, ClosingWhileTheSignInDialogIsOpen) {
    StartOnline();
    transport->QueueReply("1");
    platform->script.signIns.push_back(SignInEntry{"maria", "secret", true});
    platform->duringSignIn = [&] { agent->OnCommand(Command::Close); };
    Tick(kRequestTimeout);
    EXPECT_EQ(Record().endResults, std::vector<int>{1});
    EXPECT_EQ(transport->Requests().size(), 2u) << "the confirmed dialog of a closed agent sends nothing";
    EXPECT_EQ(settings.login, "ivan");
}

TEST_F(CoalescingTest, AThreadThatCannotStartDoesNotBlockLaterPolls) {
    StartOnline();
    platform->script.threadsStart = false;
    Tick(kRequestTimeout);
    platform->script.threadsStart = true;
    transport->QueueReply("0 0000");
    agent->OnTimer(POLL_TIMER);
    RunThreads();
    EXPECT_EQ(StatusRequests().size(), 2u);
}

}  // namespace
}  // namespace kov::test
