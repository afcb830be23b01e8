// SingleFlight with real threads (run under TSan and ASan as well).
#include "core/single_flight.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/core/signal.h"

namespace kov {
namespace {

using namespace std::chrono_literals;

using test::Signal;

// Starts every run on a thread of its own and joins them all at the end,
// including those that runs started.
class Runs {
public:
    ~Runs() { JoinAll(); }

    template <typename Body>
    bool Start(Body body) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++started_;
        threads_.emplace_back(std::move(body));
        return true;
    }
    void JoinAll() {
        for (;;) {
            std::thread next;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (threads_.empty()) return;
                next = std::move(threads_.back());
                threads_.pop_back();
            }
            next.join();
        }
    }
    int Started() {
        std::lock_guard<std::mutex> lock(mutex_);
        return started_;
    }

private:
    std::mutex mutex_;
    std::vector<std::thread> threads_;
    int started_ = 0;
};

// One run whose first round holds until the test lets it go.
struct HeldRun {
    SingleFlight flight;
    Runs runs;
    Signal inFirstRound;
    Signal letGo;
    std::atomic<int> rounds{0};

    void Request() {
        flight.Request([this] { return runs.Start([this] { Run(); }); });
    }
    void Run() {
        do {
            if (++rounds == 1) {
                inFirstRound.Raise();
                letGo.WaitFor(10s);
            }
        } while (flight.TakeRequest());
    }
};

TEST(SingleFlight, RequestsMadeDuringARunAreServedByItOnceMore) {
    HeldRun held;
    held.Request();
    ASSERT_TRUE(held.inFirstRound.WaitFor(10s));
    held.Request();
    held.Request();
    EXPECT_EQ(held.runs.Started(), 1) << "a second run started while one was in flight";
    held.letGo.Raise();
    held.runs.JoinAll();
    EXPECT_EQ(held.rounds.load(), 2) << "two requests made meanwhile are one more round, not none or two";

    held.Request();
    held.runs.JoinAll();
    EXPECT_EQ(held.runs.Started(), 2) << "the slot was not given back when the run ended";
    EXPECT_EQ(held.rounds.load(), 3);
}

TEST(SingleFlight, ADroppedRequestIsNotServed) {
    HeldRun held;
    held.Request();
    ASSERT_TRUE(held.inFirstRound.WaitFor(10s));
    held.Request();
    held.flight.DropRequest();
    held.letGo.Raise();
    held.runs.JoinAll();
    EXPECT_EQ(held.rounds.load(), 1);
}

TEST(SingleFlight, ARunThatCannotStartGivesTheSlotBack) {
    SingleFlight flight;
    int launches = 0;
    flight.Request([&] { return ++launches, false; });
    flight.Request([&] { return ++launches, false; });
    EXPECT_EQ(launches, 2) << "the failed start kept the slot";
    flight.PassOn([&] { return ++launches, false; });
    flight.Request([&] { return ++launches, true; });
    EXPECT_EQ(launches, 4) << "a failed hand-over kept the slot";
}

// Many threads ask at once while runs serve them, some by looping and some by
// passing the slot on to a new run, as polls do when a follow-up waits.
TEST(SingleFlight, UnderConcurrentRequestsOneRunAtATimeAndTheLastRequestIsServed) {
    constexpr int kRequesters = 4;
    constexpr int kRequestsEach = 300;
    SingleFlight flight;
    Runs runs;
    std::atomic<int> requestsMade{0};
    std::atomic<int> lastRoundSaw{-1};
    std::atomic<int> inFlight{0};
    std::atomic<int> overlaps{0};
    std::atomic<int> rounds{0};

    std::function<bool()> launch;
    auto run = [&] {
        for (;;) {
            if (inFlight.fetch_add(1) != 0) ++overlaps;
            lastRoundSaw = requestsMade.load();
            const bool passOn = ++rounds % 3 == 0;
            std::this_thread::sleep_for(100us);  // long enough for requests to come meanwhile
            inFlight.fetch_sub(1);
            if (!flight.TakeRequest()) return;
            if (passOn) {
                flight.PassOn(launch);
                return;
            }
        }
    };
    launch = [&] { return runs.Start(run); };

    std::vector<std::thread> requesters;
    for (int r = 0; r < kRequesters; ++r) {
        requesters.emplace_back([&] {
            for (int i = 0; i < kRequestsEach; ++i) {
                ++requestsMade;
                flight.Request(launch);
                if (i % 16 == 0) std::this_thread::sleep_for(300us);
            }
        });
    }
    for (std::thread& requester : requesters) requester.join();
    runs.JoinAll();

    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_EQ(lastRoundSaw.load(), kRequesters * kRequestsEach)
        << "a request made during the last run was never served";
    EXPECT_GT(runs.Started(), 1) << "the test never made a run end and another start";
    EXPECT_LT(rounds.load(), kRequesters * kRequestsEach) << "requests made meanwhile were not merged";
}

}  // namespace
}  // namespace kov
