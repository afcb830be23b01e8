// What the service hears of the consultant: the chosen status through
// failures, automatic Away with the session, Offline when they leave, and the
// quiet resume from sleep.
#include <gtest/gtest.h>

#include "tests/core/controller_fixture.h"

namespace kov::test {
namespace {

class PresenceTest : public ControllerTest {
protected:
    std::string LastStatus() const { return QueryValue(StatusRequests().back().path, "status"); }
    std::vector<std::string> Waited() const {
        std::vector<std::string> statuses;
        for (const ServiceCall& call : Record().waitedFor) statuses.push_back(QueryValue(call.path, "status"));
        return statuses;
    }
};

TEST_F(PresenceTest, AChosenAwaySurvivesAnOutageAndAutomaticAwayEndsWithInput) {
    StartOnline();
    agent->OnCommand(Command::StatusAway);
    transport->QueueReply("0 0000");
    RunThreads();
    Tick(kRequestTimeout);  // fails
    EXPECT_EQ(agent->State().chosen, PresenceStatus::Away);
    transport->QueueReply("0 0000");
    Tick(kRequestTimeout);
    EXPECT_EQ(LastStatus(), "1") << "the outage's end reports the chosen Away";
    platform->script.cursor = CursorPos{7, 7};
    Tick(3000);
    EXPECT_EQ(agent->State().status, PresenceStatus::Away) << "input does not end a chosen Away";
}

TEST_F(PresenceTest, ALockedSessionIsAwayAtOnceAndTheUnlockOnlineAtOnce) {
    settings.requestTimeout = 24 * 60 * 60 * 1000;
    StartOnline();
    transport->Respond([](const SentRequest&) { return std::string("0 0000"); });
    agent->OnSessionChange(SessionChange::Locked);
    RunThreads();
    EXPECT_EQ(LastStatus(), "1");
    platform->script.cursor.reset();  // the secure desktop: no cursor to read
    Tick(3000);
    Tick(3000);
    EXPECT_EQ(agent->State().status, PresenceStatus::Away) << "an unreadable cursor is no move";
    agent->OnSessionChange(SessionChange::Unlocked);
    RunThreads();
    EXPECT_EQ(LastStatus(), "0");
    EXPECT_EQ(StatusRequests().size(), 3u);

    agent->OnCommand(Command::StatusAway);
    agent->OnSessionChange(SessionChange::Disconnected);
    agent->OnSessionChange(SessionChange::Reconnected);
    RunThreads();
    EXPECT_EQ(LastStatus(), "1") << "a chosen Away stays through the session's changes";
    EXPECT_EQ(StatusRequests().size(), 4u);
}

TEST_F(PresenceTest, TheScreenSaverIsAwayAtOnce) {
    settings.requestTimeout = 24 * 60 * 60 * 1000;
    StartOnline();
    platform->script.screenSaver = true;
    transport->QueueReply("0 0000");
    Tick(3000);
    EXPECT_EQ(LastStatus(), "1");
    platform->script.screenSaver = false;
    platform->script.cursor = CursorPos{3, 3};
    transport->QueueReply("0 0000");
    Tick(3000);
    EXPECT_EQ(LastStatus(), "0") << "its end, like an unlock, is reported at once";
}

TEST_F(PresenceTest, LeavingSendsOfflineOnceUnlessTheServiceHearsNothingAlready) {
    StartOnline();
    agent->OnSuspend();
    EXPECT_EQ(Waited(), std::vector<std::string>{"2"});
    EXPECT_FALSE(platform->TimerRunning(POLL_TIMER)) << "no poll undoes it before the sleep";
    agent->OnCommand(Command::Close);
    EXPECT_EQ(Waited(), (std::vector<std::string>{"2", "2"}));
    EXPECT_EQ(Record().endResults, std::vector<int>{1});

    for (const Command before : {Command::StatusOffline, Command::SignInOut}) {
        transport = std::make_shared<FakeTransport>();
        platform = std::make_shared<FakePlatform>(transport);
        StartOnline();
        agent->OnCommand(before);
        RunThreads();
        agent->OnSessionEnding();
        EXPECT_TRUE(Record().waitedFor.empty());
        EXPECT_EQ(Record().endResults, std::vector<int>{1});
    }
}

TEST_F(PresenceTest, AfterAResumeFailuresAreQuietForTheGracePeriod) {
    StartOnline();
    agent->OnSuspend();
    agent->OnResume();
    EXPECT_EQ(platform->QueuedThreads(), 1) << "a poll at once";
    EXPECT_TRUE(Record().tray.animating);
    RunThreads();  // the network is not back yet
    Tick(kRequestTimeout);
    EXPECT_TRUE(Record().balloons.empty());
    EXPECT_TRUE(Record().boxes.empty());
    Tick(kRequestTimeout);  // the grace is over: the outage is told once
    EXPECT_EQ(Record().balloons.size(), 1u);
    EXPECT_EQ(Record().boxes.size(), 1u);
    transport->QueueReply("0 0000");
    Tick(kRequestTimeout);
    EXPECT_EQ(LastStatus(), "0");
    EXPECT_FALSE(agent->State().signedOut);
}

}  // namespace
}  // namespace kov::test
