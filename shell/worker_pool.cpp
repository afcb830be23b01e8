#include "worker_pool.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace kov {

struct WorkerPool::Shared {
    explicit Shared(int keep) : keepParked(keep) {}

    const int keepParked;
    std::mutex mutex;
    std::condition_variable workArrived;
    // Bodies handed to parked threads and not taken yet.
    std::vector<std::function<void()>> handedOver;
    // Parked threads that no body has been handed to.
    int freeParked = 0;
    bool closed = false;
};

// A pool thread: runs its first body, then parks and runs what it is handed.
// Each body is destroyed before the thread parks, so that nothing it captured
// stays alive on a parked thread.
void WorkerPool::Serve(std::shared_ptr<Shared> shared, std::function<void()> body) {
    for (;;) {
        body();
        body = nullptr;
        std::unique_lock<std::mutex> lock(shared->mutex);
        if (shared->closed || shared->freeParked >= shared->keepParked) return;
        ++shared->freeParked;
        shared->workArrived.wait(lock, [&] { return shared->closed || !shared->handedOver.empty(); });
        if (shared->handedOver.empty()) return;  // closed, nothing handed to this thread
        body = std::move(shared->handedOver.front());
        shared->handedOver.erase(shared->handedOver.begin());
    }
}

WorkerPool::WorkerPool(int keepParked) : shared_(std::make_shared<Shared>(keepParked)) {}

WorkerPool::~WorkerPool() {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->closed = true;
    shared_->workArrived.notify_all();
}

bool WorkerPool::Run(std::function<void()> body) {
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        if (shared_->freeParked > 0) {
            --shared_->freeParked;
            shared_->handedOver.push_back(std::move(body));
            shared_->workArrived.notify_one();
            return true;
        }
    }
    try {
        std::thread(&WorkerPool::Serve, shared_, std::move(body)).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

}  // namespace kov
