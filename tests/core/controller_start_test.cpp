// Start-up of the agent and the update probe of the first poll.
#include <gtest/gtest.h>

#include "tests/core/controller_fixture.h"

namespace kov::test {
namespace {

using StartTest = ControllerTest;

TEST_F(StartTest, StoredCredentialsSkipTheDialogAndShowTheConnectingTray) {
    StartSignedIn();
    const FakeRecord record = Record();
    EXPECT_TRUE(record.signInPresets.empty());
    EXPECT_TRUE(record.tray.created);
    EXPECT_EQ(record.tray.createdTooltip, Tooltip(kOfflineText));
    EXPECT_EQ(record.tray.createdIcon, TrayIcon::Online);
    EXPECT_EQ(record.tray.frames, kConnecting);
    EXPECT_TRUE(record.tray.animating);
    EXPECT_EQ(record.tray.periodMs, 200);
    EXPECT_EQ(record.tray.defaultItem, Command::OpenConsultPage);
    EXPECT_TRUE(record.tray.menusBuilt);
    EXPECT_EQ(platform->QueuedThreads(), 1) << "the first poll runs on a worker";
    EXPECT_TRUE(transport->Requests().empty()) << "the UI thread sends nothing itself";
}

TEST_F(StartTest, FirstRequestReportsOfflineAndAnAcceptedReplyGoesOnline) {
    StartSignedIn();
    transport->QueueReply("0 0000");
    RunThreads();

    const auto requests = transport->Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].server, kServer);
    EXPECT_EQ(requests[0].path.rfind(std::string(kPrefix) + "?do=get&", 0), 0u) << requests[0].path;
    EXPECT_EQ(QueryValue(requests[0].path, "status"), "2");
    EXPECT_EQ(QueryValue(requests[0].path, "login"), "ivan");
    EXPECT_EQ(QueryValue(requests[0].path, "token"), "tok");
    EXPECT_EQ(requests[0].body, "");
    EXPECT_EQ(requests[0].headers, "");

    const AgentState state = agent->State();
    EXPECT_EQ(state.status, PresenceStatus::Online);
    EXPECT_FALSE(state.signedOut);
    EXPECT_EQ(platform->TimerPeriod(POLL_TIMER), kRequestTimeout);
    EXPECT_EQ(platform->TimerPeriod(IDLE_TIMER), 3000);
}

TEST_F(StartTest, MissingLoginOrTokenSignsInBeforeTheTrayAppears) {
    for (const bool loginMissing : {true, false}) {
        SCOPED_TRACE(loginMissing ? "no login" : "no token");
        transport = std::make_shared<FakeTransport>();
        platform = std::make_shared<FakePlatform>(transport);
        settings.login = loginMissing ? "" : "ivan";
        settings.token = loginMissing ? "tok" : "";
        platform->script.signIns.push_back(SignInEntry{"ivan", "secret", true});
        bool trayExistedAtSignIn = true;
        transport->duringRequest = [&](const SentRequest&) {
            trayExistedAtSignIn = platform->Record().tray.created;
        };
        transport->QueueReply("0 newtoken");
        CreateAgent();
        agent->OnInitDialog();
        platform->RunSignIns();

        const FakeRecord record = Record();
        EXPECT_EQ(record.signInPresets.size(), 1u);
        EXPECT_FALSE(trayExistedAtSignIn);
        EXPECT_TRUE(record.tray.created);
        EXPECT_EQ(settings.token, "newtoken");
        EXPECT_EQ(platform->QueuedThreads(), 1);
        transport->duringRequest = nullptr;
        agent.reset();
        platform->RunQueuedThreads();
    }
}

TEST_F(StartTest, CancelledSignInAtStartEndsTheProgramWithoutATray) {
    settings.login = "ivan";
    settings.token = "";
    CreateAgent();
    agent->OnInitDialog();

    const FakeRecord record = Record();
    EXPECT_EQ(record.signInPresets.size(), 1u);
    EXPECT_EQ(record.endResults, std::vector<int>{2});
    EXPECT_FALSE(record.tray.created);
    EXPECT_FALSE(record.tray.menusBuilt);
    EXPECT_EQ(platform->ThreadsStarted(), 0);
    EXPECT_TRUE(transport->Requests().empty());
}

TEST_F(StartTest, ProbeRunsOnlyInTheFirstPollAndOnlyWhenEnabled) {
    settings.testUpdateRequest = 1;
    StartSignedIn();
    transport->QueueReply("0 no update");
    transport->QueueReply("0 0000");
    RunThreads();
    Tick(kRequestTimeout);

    const auto requests = transport->Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].path, kPrefix) << "the probe is the bare prefix";
    EXPECT_EQ(requests[0].server, kServer);
    EXPECT_TRUE(IsStatusRequest(requests[1]));
    EXPECT_TRUE(IsStatusRequest(requests[2]));
}

TEST_F(StartTest, NoProbeWhenDisabled) {
    StartOnline();
    Tick(kRequestTimeout);
    for (const auto& request : transport->Requests()) {
        EXPECT_TRUE(IsStatusRequest(request)) << request.path;
    }
    EXPECT_EQ(transport->Requests().size(), 2u);
}

TEST_F(StartTest, ProbeRepliesOtherThanUpdateLetThePollGoOnOnce) {
    for (const std::string probeReply : {"0", "1 x", "", "<html>"}) {
        SCOPED_TRACE("probe reply '" + probeReply + "'");
        transport = std::make_shared<FakeTransport>();
        platform = std::make_shared<FakePlatform>(transport);
        settings.testUpdateRequest = 7;
        StartSignedIn();
        transport->QueueReply(probeReply);
        transport->QueueReply("0 0000");
        transport->QueueReply("0 0000");
        RunThreads();
        Tick(kRequestTimeout);
        const auto requests = transport->Requests();
        ASSERT_EQ(requests.size(), 3u);
        EXPECT_EQ(requests[0].path, kPrefix);
        EXPECT_TRUE(IsStatusRequest(requests[1]));
        EXPECT_TRUE(IsStatusRequest(requests[2]));
        EXPECT_TRUE(Record().boxes.empty());
        agent.reset();
        platform->RunQueuedThreads();
    }
}

TEST_F(StartTest, ProbeUpdateStartedEndsThePollWithoutAStatusRequest) {
    settings.testUpdateRequest = 1;
    StartSignedIn();
    transport->QueueReply("2 \"http://dl.test/setup.exe\"");
    RunThreads();

    const FakeRecord record = Record();
    ASSERT_EQ(transport->Requests().size(), 1u);
    ASSERT_EQ(record.boxes.size(), 1u);
    EXPECT_EQ(record.boxes[0].text, kUpdateQuestionText);
    EXPECT_EQ(record.startedFiles.size(), 1u);
    EXPECT_EQ(record.endResults, std::vector<int>{2});
    EXPECT_FALSE(platform->TimerRunning(POLL_TIMER));
}

TEST_F(StartTest, ProbeUpdateDeclinedLetsThePollGoOnAndIsNotAskedAgain) {
    settings.testUpdateRequest = 1;
    StartSignedIn();
    platform->script.boxAnswers.push_back(BoxAnswer::No);
    transport->QueueReply("2 http://dl.test/setup.exe");
    transport->QueueReply("0 0000");
    transport->QueueReply("0 0000");
    RunThreads();
    Tick(kRequestTimeout);

    const auto requests = transport->Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].path, kPrefix);
    EXPECT_TRUE(IsStatusRequest(requests[1]));
    EXPECT_TRUE(IsStatusRequest(requests[2]));
    EXPECT_EQ(Record().boxes.size(), 1u);
    EXPECT_TRUE(Record().downloads.empty());
    EXPECT_FALSE(agent->State().signedOut);
}

TEST_F(StartTest, WhereNewIconsAreHiddenTheFirstTrayTellsWhereTheIconIsOncePerInstallation) {
    platform->script.hidesNewIcons = true;
    StartSignedIn();
    ASSERT_EQ(Record().balloons.size(), 1u);
    EXPECT_EQ(Record().balloons[0].kind, BalloonKind::Hint);
    EXPECT_EQ(Record().balloons[0].text, DefaultText(TextId::TrayIconHint));

    agent.reset();
    settings.Load();
    StartSignedIn();
    EXPECT_EQ(Record().balloons.size(), 1u) << "remembered in the profile";
}

TEST_F(StartTest, NoHintWhereNewIconsStayOnTheTaskbar) {
    StartSignedIn();
    EXPECT_TRUE(Record().balloons.empty());
    EXPECT_EQ(store.ReadString("App", "TrayHintShown"), "");
}

}  // namespace
}  // namespace kov::test
