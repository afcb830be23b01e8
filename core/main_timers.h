#pragma once
// The main window's timers as the core has armed them. Windows restarts the
// period of a timer that is armed again; Keep leaves a running one alone.
#include <map>

#include "platform.h"

namespace kov {

class MainTimers {
public:
    explicit MainTimers(AgentPlatform& platform) : platform_(platform) {}

    // Starts the period now, running or not.
    void Start(int timerId, int periodMs) {
        running_[timerId] = periodMs;
        platform_.SetMainTimer(timerId, periodMs);
    }
    // Starts the timer unless it already runs with that period.
    void Keep(int timerId, int periodMs) {
        const auto found = running_.find(timerId);
        if (found == running_.end() || found->second != periodMs) Start(timerId, periodMs);
    }
    void Stop(int timerId) {
        running_.erase(timerId);
        platform_.KillMainTimer(timerId);
    }
    bool Running(int timerId) const { return running_.count(timerId) != 0; }

private:
    AgentPlatform& platform_;
    std::map<int, int> running_;
};

}  // namespace kov
