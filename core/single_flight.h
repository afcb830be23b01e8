#pragma once
// At most one run of a job in flight. A request made while a run is in flight
// is remembered (many count as one) and served once that run ends a round; a
// run that could not be started gives its slot back at once.
//
// Thread-safe. Its mutex is a leaf: it may be taken while the caller holds a
// lock of its own (the agent drops a remembered poll under its state lock),
// and nothing is called while it is held; `launch` runs outside it.
#include <mutex>

namespace kov {

class SingleFlight {
public:
    // With no run in flight the caller takes the slot and launch() starts the
    // run; with one in flight the request is remembered for it.
    template <typename Launch>
    void Request(Launch&& launch) {
        if (Claim()) PassOn(launch);
    }

    // For the run in flight at the end of a round: true when a request came
    // meanwhile (it is taken now, the slot stays with the run); false releases
    // the slot.
    bool TakeRequest();

    // For a run that took a request but leaves it to a new run: launch()
    // starts that run, which gets the slot.
    template <typename Launch>
    void PassOn(Launch&& launch) {
        if (!launch()) Release();
    }

    // Forgets a remembered request; the run in flight is not affected.
    void DropRequest();

private:
    bool Claim();
    void Release();

    std::mutex mutex_;
    bool inFlight_ = false;
    bool requested_ = false;
};

}  // namespace kov
