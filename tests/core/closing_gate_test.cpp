// ClosingGate with real threads (run under TSan and ASan as well).
#include "core/closing_gate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace kov {
namespace {

using namespace std::chrono_literals;

TEST(ClosingGate, PassesCallsUntilClosedAndNoneAfter) {
    ClosingGate gate;
    int calls = 0;
    EXPECT_TRUE(gate.Pass([&] { ++calls; }));
    EXPECT_FALSE(gate.IsClosing());
    gate.Close();
    EXPECT_TRUE(gate.IsClosing());
    EXPECT_FALSE(gate.Pass([&] { ++calls; }));
    EXPECT_FALSE(gate.Enter());
    EXPECT_EQ(calls, 1);
    gate.WaitForCallsInProgress();  // none inside: returns at once
}

TEST(ClosingGate, WaitingForCallsInProgressWaitsForTheOneInside) {
    ClosingGate gate;
    std::atomic<bool> inside{false};
    std::atomic<bool> left{false};
    std::thread caller([&] {
        gate.Pass([&] {
            inside = true;
            while (!gate.IsClosing()) std::this_thread::yield();
            // Long enough for a wait that does not wait to be seen returning first.
            std::this_thread::sleep_for(50ms);
            left = true;
        });
    });
    while (!inside) std::this_thread::yield();
    gate.Close();
    gate.WaitForCallsInProgress();
    EXPECT_TRUE(left) << "returned while a call was still inside";
    caller.join();
}

TEST(ClosingGate, AfterTheWaitNoCallIsInsideAndNoneComesIn) {
    ClosingGate gate;
    std::atomic<int> inside{0};
    std::atomic<int> passed{0};
    std::atomic<bool> stop{false};
    std::vector<std::thread> callers;
    for (int i = 0; i < 4; ++i) {
        callers.emplace_back([&] {
            while (!stop) {
                gate.Pass([&] {
                    ++inside;
                    ++passed;
                    std::this_thread::yield();
                    --inside;
                });
            }
        });
    }
    while (passed < 100) std::this_thread::yield();
    gate.Close();
    gate.WaitForCallsInProgress();
    const int passedAtClose = passed;
    EXPECT_EQ(inside.load(), 0);
    std::this_thread::sleep_for(10ms);
    stop = true;
    for (std::thread& caller : callers) caller.join();
    EXPECT_EQ(passed.load(), passedAtClose) << "a call passed the closed gate";
}

}  // namespace
}  // namespace kov
