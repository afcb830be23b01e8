#pragma once
// The gate that short calls pass while their owner is not closing. Close()
// shuts it for good; WaitForCallsInProgress() then returns once every call
// that passed before has left.
//
// Lock order: the gate's mutex is a leaf. The agent takes it under its state
// lock (checking IsClosing() there, and closing there, so that whatever it does
// under that lock after the check cannot overlap the close), never the other
// way round, and the gate calls nothing while holding it: the call a gate
// passes runs outside it, so that call may take the state lock.
#include <condition_variable>
#include <mutex>

namespace kov {

class ClosingGate {
public:
    // Runs call unless the gate is closed; false if it was skipped.
    template <typename Call>
    bool Pass(Call&& call) {
        if (!Enter()) return false;
        struct Leaving {
            ClosingGate& gate;
            ~Leaving() { gate.Leave(); }
        } leaving{*this};
        call();
        return true;
    }

    // For a caller that leaves on another path than Pass: true means entered,
    // to be matched by one Leave().
    bool Enter();
    void Leave();

    bool IsClosing() const;
    // Shuts the gate; calls already inside go on.
    void Close();
    // Returns once no call is inside; with the gate closed, none comes in after.
    void WaitForCallsInProgress();

private:
    mutable std::mutex mutex_;
    std::condition_variable idle_;
    bool closing_ = false;
    int callsInside_ = 0;
};

}  // namespace kov
