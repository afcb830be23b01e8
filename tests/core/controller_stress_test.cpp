// The controller on real threads, meant to run under ThreadSanitizer: commands,
// timer ticks and replies at once, a hung server, and closing while requests
// hang or workers are busy with the tray.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "tests/core/controller_fixture.h"

namespace kov::test {
namespace {

class StressTest : public ControllerTest {
protected:
    StressTest() { platform = std::make_shared<FakePlatform>(ThreadMode::Real); }

    void TearDown() override {
        agent.reset();
        platform->MarkOwnerGone();
        transport->Release();
        platform->JoinThreads();
        EXPECT_EQ(platform->Record().shortCallsAfterOwnerGone, 0);
    }

    // What the consultant and the system do, from two threads at once (the
    // controller's entry points must not rely on a single caller thread).
    using Action = void (*)(AgentController&);
    void Drive(int actionsPerThread, std::initializer_list<Action> actions) {
        const std::vector<Action> choices(actions);
        auto driver = [&](unsigned seed) {
            std::mt19937 random(seed);
            std::uniform_int_distribution<std::size_t> pick(0, choices.size() - 1);
            for (int i = 0; i < actionsPerThread; ++i) choices[pick(random)](*agent);
        };
        std::thread first(driver, 1u);
        std::thread second(driver, 2u);
        first.join();
        second.join();
    }

    template <int timerId>
    static void TimerFires(AgentController& agent) { agent.OnTimer(timerId); }
    template <Command command>
    static void Choose(AgentController& agent) { agent.OnCommand(command); }
    static void Activate(AgentController& agent) { agent.OnActivateAgent(); }
    static void Look(AgentController& agent) { agent.State(); }
};

TEST_F(StressTest, ConcurrentCommandsTicksAndRepliesKeepTheAgentConsistent) {
    settings.awayTimeout = 6000;  // away after two unmoved checks
    platform->script.downloadSucceeds = false;  // update offers fail and the agent goes on
    for (int i = 0; i < 2000; ++i) platform->script.signIns.push_back(SignInEntry{"ivan", "pw", i % 2 == 0});
    std::atomic<int> serial{0};
    transport->Respond([&](const SentRequest& request) -> std::string {
        if (IsSignInRequest(request)) return "0 tok";
        static const char* const replies[] = {"0 0003", "0 0000", "", "X", "1", "0 0001", "2 http://x/s.exe"};
        return replies[serial++ % 7];
    });
    StartSignedIn();
    Drive(400, {TimerFires<POLL_TIMER>, TimerFires<POLL_TIMER>, TimerFires<IDLE_TIMER>, Choose<Command::StatusOnline>,
                Choose<Command::StatusAway>, Choose<Command::StatusOffline>, Choose<Command::SignInOut>,
                Choose<Command::OpenConsultPage>, Activate, Look});
    platform->JoinThreads();
    EXPECT_LE(platform->PeakThreads(), 8);

    // Whatever happened, the tray ends up showing the last state presented.
    transport->Respond([](const SentRequest& request) -> std::string {
        return IsSignInRequest(request) ? "0 tok" : "0 0009";
    });
    agent->OnTimer(POLL_TIMER);
    platform->JoinThreads();
    const AgentState state = agent->State();
    ASSERT_FALSE(state.signedOut);
    EXPECT_EQ(state.newMessageCount, 9);
    const TrayState tray = platform->Record().tray;
    EXPECT_EQ(tray.tooltip, Tooltip(kNewMessagesText + "9"));
    EXPECT_TRUE(tray.animating);
    EXPECT_EQ(tray.frames, state.status == PresenceStatus::Away ? awayBlinkFrames : onlineBlinkFrames);
    EXPECT_EQ(tray.popupMenu, MenuKind::Main);
}

TEST_F(StressTest, HungServerCostsOnePollAndOneStatusThread) {
    transport->Hang();
    StartSignedIn();
    Drive(1000, {TimerFires<POLL_TIMER>, TimerFires<IDLE_TIMER>, Choose<Command::StatusOnline>, Choose<Command::StatusAway>,
                 Choose<Command::StatusOffline>, Look});
    EXPECT_LE(platform->PeakThreads(), 2);
    EXPECT_LE(transport->PeakInFlight(), 2);
    EXPECT_LE(transport->Requests().size(), 2u);
    EXPECT_GE(transport->Requests().size(), 1u);

    agent.reset();  // returns although both requests hang: they are aborted
    platform->MarkOwnerGone();
    platform->JoinThreads();
    EXPECT_EQ(transport->InFlight(), 0);
    EXPECT_EQ(transport->Aborts(), 1);
}

TEST_F(StressTest, ClosingDoesNotWaitForRequestsThatIgnoreTheAbort) {
    transport->Hang(/*ignoreAbort=*/true);
    StartSignedIn();
    agent->OnCommand(Command::StatusOffline);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (transport->InFlight() < 2 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    ASSERT_EQ(transport->InFlight(), 2) << "the poll and the Offline request both hang";

    agent->OnCommand(Command::Close);
    agent.reset();
    platform->MarkOwnerGone();
    EXPECT_EQ(transport->InFlight(), 2) << "the destructor returned while both still hang";

    transport->Release();  // the hung requests finally return, to a closed agent
    platform->JoinThreads();
    const FakeRecord record = platform->Record();
    EXPECT_EQ(record.shortCallsAfterOwnerGone, 0);
    EXPECT_TRUE(record.boxes.empty());
    EXPECT_TRUE(record.balloons.empty());
}

TEST_F(StressTest, ClosingWaitsForTrayCallsInProgressButNothingElse) {
    std::atomic<int> serial{0};
    for (int round = 0; round < 10; ++round) {
        platform = std::make_shared<FakePlatform>(ThreadMode::Real);
        platform->script.shortCallDelay = std::chrono::microseconds(200);
        transport = std::make_shared<FakeTransport>();
        transport->Respond([&](const SentRequest&) -> std::string { return serial++ % 2 ? "" : "0 0001"; });
        StartSignedIn();
        std::thread ui([&] {
            for (int i = 0; i < 40 + round * 7; ++i) {
                agent->OnTimer(i % 3 ? POLL_TIMER : IDLE_TIMER);
                if (i % 5 == 0) agent->OnCommand(Command::StatusOnline);
            }
            agent.reset();
            platform->MarkOwnerGone();
        });
        ui.join();
        platform->JoinThreads();
        EXPECT_EQ(platform->Record().shortCallsAfterOwnerGone, 0) << "round " << round;
    }
}

}  // namespace
}  // namespace kov::test
