#pragma once
// Threads that are started once and then reused: a body handed to Run goes to
// a parked thread, or to a new one when none is parked. Starting and ending a
// thread is dear under Wine (every loaded library hears of both), dearer than
// the poll that it would carry.
//
// Threads are never joined. Each holds the pool's shared state, so the pool
// may be destroyed while bodies still run (a hung request, a box): parked
// threads then end, and a running one ends when its body returns.
#include <functional>
#include <memory>

namespace kov {

class WorkerPool {
public:
    // At most keepParked threads wait for work; one that finishes a body
    // beyond that number ends.
    explicit WorkerPool(int keepParked);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Runs body once on a pool thread, from any thread. False when no thread
    // was free and none could be started; the body is then dropped.
    bool Run(std::function<void()> body);

private:
    struct Shared;
    static void Serve(std::shared_ptr<Shared> shared, std::function<void()> body);

    std::shared_ptr<Shared> shared_;
};

}  // namespace kov
