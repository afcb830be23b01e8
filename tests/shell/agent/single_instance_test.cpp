// The session's agent role: the first claim takes it; a later one hands over
// to the running agent, waits for one that is still starting, takes the role
// over from one that ends (or dies), and gives up after the wait.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "shell/single_instance.h"

namespace kov::test {
namespace {

// Each test has a name of its own, so no test sees another's holder.
std::wstring MutexName() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = std::string("Local\\KovarentisRoleTest.") + test->name();
    return std::wstring(name.begin(), name.end());
}

bool NoAgentWindow() { return false; }

// Holds the role on a thread of its own (a mutex belongs to a thread) until
// told to release it or to end without releasing it.
class Holder {
public:
    enum class Ending { Release, Abandon };

    explicit Holder(const std::wstring& name) {
        thread_ = std::thread([this, name] {
            const HANDLE mutex = ::CreateMutexW(nullptr, TRUE, name.c_str());
            held_ = mutex != nullptr && ::GetLastError() != ERROR_ALREADY_EXISTS;
            ready_ = true;
            while (!end_) ::Sleep(5);
            if (mutex && ending_ == Ending::Release) ::ReleaseMutex(mutex);
            if (mutex) ::CloseHandle(mutex);
        });
        while (!ready_) ::Sleep(5);
    }
    ~Holder() { End(Ending::Release); }

    bool Held() const { return held_; }
    void End(Ending ending) {
        if (!thread_.joinable()) return;
        ending_ = ending;
        end_ = true;
        thread_.join();
    }
    // Ends from another thread after the delay.
    std::thread EndLater(Ending ending, DWORD delayMs) {
        return std::thread([this, ending, delayMs] {
            ::Sleep(delayMs);
            End(ending);
        });
    }

private:
    std::thread thread_;
    std::atomic<bool> ready_{false};
    std::atomic<bool> held_{false};
    std::atomic<bool> end_{false};
    std::atomic<Ending> ending_{Ending::Release};
};

TEST(AgentRole, TheFirstClaimIsTheAgentWithoutTryingAHandOver) {
    int handOvers = 0;
    const AgentRole role = AgentRole::Claim(MutexName().c_str(), [&] { return ++handOvers, true; }, 1000);
    EXPECT_EQ(role.outcome(), AgentRole::Outcome::Agent);
    EXPECT_EQ(handOvers, 0);
}

TEST(AgentRole, ALaterClaimHandsOverToTheRunningAgent) {
    Holder first(MutexName());
    ASSERT_TRUE(first.Held());
    int handOvers = 0;
    const AgentRole second = AgentRole::Claim(MutexName().c_str(), [&] { return ++handOvers, true; }, 1000);
    EXPECT_EQ(second.outcome(), AgentRole::Outcome::HandedOver);
    EXPECT_EQ(handOvers, 1);
}

TEST(AgentRole, ALaterClaimWaitsForTheWindowOfAnAgentStillStarting) {
    Holder first(MutexName());
    std::atomic<int> tries{0};
    // The window appears at the fifth try, about 200 ms on.
    const AgentRole second = AgentRole::Claim(MutexName().c_str(), [&] { return ++tries >= 5; }, 5000);
    EXPECT_EQ(second.outcome(), AgentRole::Outcome::HandedOver);
    EXPECT_EQ(tries.load(), 5);
}

TEST(AgentRole, ARoleReleasedByAnEndingAgentIsTakenOver) {
    Holder first(MutexName());
    std::thread ending = first.EndLater(Holder::Ending::Release, 300);
    const AgentRole second = AgentRole::Claim(MutexName().c_str(), &NoAgentWindow, 10000);
    ending.join();
    EXPECT_EQ(second.outcome(), AgentRole::Outcome::Agent);
}

TEST(AgentRole, ARoleAbandonedByAnAgentThatDiedIsTakenOver) {
    Holder first(MutexName());
    std::thread dying = first.EndLater(Holder::Ending::Abandon, 300);
    const AgentRole second = AgentRole::Claim(MutexName().c_str(), &NoAgentWindow, 10000);
    dying.join();
    EXPECT_EQ(second.outcome(), AgentRole::Outcome::Agent);
}

TEST(AgentRole, WithoutAWindowOrAReleaseTheClaimGivesUpAfterTheWait) {
    Holder first(MutexName());
    const DWORD start = ::GetTickCount();
    const AgentRole second = AgentRole::Claim(MutexName().c_str(), &NoAgentWindow, 300);
    EXPECT_EQ(second.outcome(), AgentRole::Outcome::Unreached);
    EXPECT_GE(::GetTickCount() - start, 300u);
}

TEST(AgentRole, DestroyingTheAgentsRoleLetsTheNextClaimHaveIt) {
    std::atomic<int> firstOutcome{-1};
    std::atomic<bool> released{false};
    std::atomic<bool> checked{false};
    std::thread first([&] {
        {
            const AgentRole role = AgentRole::Claim(MutexName().c_str(), &NoAgentWindow, 0);
            firstOutcome = static_cast<int>(role.outcome());
        }
        released = true;
        while (!checked) ::Sleep(5);  // alive: the role was given up, not abandoned
    });
    while (!released) ::Sleep(5);
    const AgentRole second = AgentRole::Claim(MutexName().c_str(), &NoAgentWindow, 0);
    checked = true;
    first.join();
    EXPECT_EQ(firstOutcome.load(), static_cast<int>(AgentRole::Outcome::Agent));
    EXPECT_EQ(second.outcome(), AgentRole::Outcome::Agent);
}

}  // namespace
}  // namespace kov::test
