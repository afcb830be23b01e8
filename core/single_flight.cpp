#include "core/single_flight.h"

namespace kov {

bool SingleFlight::Claim() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (inFlight_) {
        requested_ = true;
        return false;
    }
    inFlight_ = true;
    return true;
}

bool SingleFlight::TakeRequest() {
    std::lock_guard<std::mutex> lock(mutex_);
    inFlight_ = requested_;
    requested_ = false;
    return inFlight_;
}

void SingleFlight::Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    inFlight_ = false;
}

void SingleFlight::DropRequest() {
    std::lock_guard<std::mutex> lock(mutex_);
    requested_ = false;
}

}  // namespace kov
