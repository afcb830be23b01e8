#pragma once
// A flag that one thread raises and others wait for, with a time limit; for
// the tests that run real threads.
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace kov::test {

class Signal {
public:
    void Raise() {
        std::lock_guard<std::mutex> lock(mutex_);
        raised_ = true;
        changed_.notify_all();
    }
    bool WaitFor(std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, limit, [this] { return raised_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool raised_ = false;
};

}  // namespace kov::test
