#pragma once
// Which start of the program is the session's agent: the one that owns a
// named mutex in the session's namespace ("Local\..."). The window check alone
// let two starts at the same moment (the Run key at logon and a shortcut
// click) both pass before either window existed.
//
// On the process's main thread, before anything else is read or created. The
// role lasts until the AgentRole is destroyed on that thread, or the process
// ends (the mutex is then abandoned, which the next start takes as free).
#include <windows.h>

#include <functional>

#include "winsupport/handles.h"

namespace kov {

class AgentRole {
public:
    enum class Outcome {
        Agent,       // this start is the agent
        HandedOver,  // the running agent got the hand-over
        Unreached,   // the role stayed taken and no agent showed within the wait
    };

    // Claims the role. While another start holds it, handOver (true when a
    // running agent's window took the message) is tried every 50 ms until it
    // succeeds, the role comes free (the other start ended or is ending: an
    // update, the installer's close-and-replace) or waitMs have passed. A
    // mutex that cannot be made at all leaves the window check alone to
    // decide, as before.
    static AgentRole Claim(const wchar_t* mutexName, const std::function<bool()>& handOver, DWORD waitMs);

    AgentRole(AgentRole&& other) noexcept = default;
    AgentRole& operator=(AgentRole&&) = delete;
    // Gives the role up.
    ~AgentRole();

    Outcome outcome() const { return outcome_; }

private:
    AgentRole(Outcome outcome, UniqueHandle ownedMutex)
        : outcome_(outcome), ownedMutex_(std::move(ownedMutex)) {}

    Outcome outcome_;
    UniqueHandle ownedMutex_;
};

}  // namespace kov
