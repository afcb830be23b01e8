#include "shell/single_instance.h"

#include <utility>

namespace kov {
namespace {

constexpr DWORD kHandOverRetryMs = 50;

bool Acquired(DWORD waitResult) { return waitResult == WAIT_OBJECT_0 || waitResult == WAIT_ABANDONED; }

}  // namespace

AgentRole AgentRole::Claim(const wchar_t* mutexName, const std::function<bool()>& handOver, DWORD waitMs) {
    UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, mutexName));
    if (!mutex) return AgentRole(handOver() ? Outcome::HandedOver : Outcome::Agent, UniqueHandle());

    const DWORD start = ::GetTickCount();
    DWORD slice = 0;
    for (;;) {
        const DWORD result = ::WaitForSingleObject(mutex.Get(), slice);
        if (Acquired(result)) return AgentRole(Outcome::Agent, std::move(mutex));
        if (result != WAIT_TIMEOUT) return AgentRole(Outcome::Unreached, UniqueHandle());
        if (handOver()) return AgentRole(Outcome::HandedOver, UniqueHandle());
        if (::GetTickCount() - start >= waitMs) return AgentRole(Outcome::Unreached, UniqueHandle());
        slice = kHandOverRetryMs;
    }
}

AgentRole::~AgentRole() {
    if (ownedMutex_) ::ReleaseMutex(ownedMutex_.Get());
}

}  // namespace kov
