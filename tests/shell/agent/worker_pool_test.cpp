// WorkerPool with real threads (run under TSan and ASan as well).
#include "shell/worker_pool.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

#include "tests/shell/agent/signal.h"

namespace kov {
namespace {

using namespace std::chrono_literals;

using test::Signal;

// Marks the threads that have run a body of this test.
thread_local bool ranABodyBefore = false;

TEST(WorkerPool, LaterBodiesRunOnAParkedThreadInsteadOfANewOne) {
    WorkerPool pool(1);
    bool reused = false;
    // The first body's thread parks a moment after the body has signalled;
    // a body handed over before that goes to a new thread.
    for (int attempt = 0; attempt < 100 && !reused; ++attempt) {
        auto done = std::make_shared<Signal>();
        auto onReusedThread = std::make_shared<bool>(false);
        ASSERT_TRUE(pool.Run([done, onReusedThread] {
            *onReusedThread = ranABodyBefore;
            ranABodyBefore = true;
            done->Raise();
        }));
        ASSERT_TRUE(done->WaitFor(5s));
        reused = *onReusedThread;
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(reused) << "every body ran on a thread of its own";
}

TEST(WorkerPool, BodiesThatOverlapRunAtTheSameTime) {
    WorkerPool pool(2);
    auto secondRan = std::make_shared<Signal>();
    auto firstSawSecond = std::make_shared<Signal>();
    // The first body waits for the second: queued behind it, the second would never run.
    ASSERT_TRUE(pool.Run([secondRan, firstSawSecond] {
        if (secondRan->WaitFor(5s)) firstSawSecond->Raise();
    }));
    ASSERT_TRUE(pool.Run([secondRan] { secondRan->Raise(); }));
    EXPECT_TRUE(firstSawSecond->WaitFor(10s));
}

TEST(WorkerPool, WhatABodyCapturedIsReleasedWhenItEnds) {
    WorkerPool pool(1);
    auto captured = std::make_shared<int>(7);
    const std::weak_ptr<int> watch = captured;
    auto done = std::make_shared<Signal>();
    ASSERT_TRUE(pool.Run([captured = std::move(captured), done] { done->Raise(); }));
    ASSERT_TRUE(done->WaitFor(5s));
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!watch.expired() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(watch.expired()) << "a parked thread keeps its last body's captures alive";
}

TEST(WorkerPool, BodiesRunningWhenThePoolGoesFinishUnharmed) {
    auto release = std::make_shared<Signal>();
    auto finished = std::make_shared<Signal>();
    auto parkedRan = std::make_shared<Signal>();
    {
        WorkerPool pool(2);
        ASSERT_TRUE(pool.Run([parkedRan] { parkedRan->Raise(); }));
        ASSERT_TRUE(parkedRan->WaitFor(5s));
        ASSERT_TRUE(pool.Run([release, finished] {
            release->WaitFor(10s);
            finished->Raise();
        }));
    }
    release->Raise();
    EXPECT_TRUE(finished->WaitFor(10s));
}

}  // namespace
}  // namespace kov
