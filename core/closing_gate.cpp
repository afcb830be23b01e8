#include "core/closing_gate.h"

namespace kov {

bool ClosingGate::Enter() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closing_) return false;
    ++callsInside_;
    return true;
}

void ClosingGate::Leave() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (--callsInside_ == 0) idle_.notify_all();
}

bool ClosingGate::IsClosing() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return closing_;
}

void ClosingGate::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
}

void ClosingGate::WaitForCallsInProgress() {
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return callsInside_ == 0; });
}

}  // namespace kov
