// The agent against a service that never answers in time: every request hangs
// for 60 s while the poll timer fires every 15 ms (and away detection every
// 3 s) on the calling thread. Prints how many agent threads ran at most beside
// the caller and how long closing the agent took, once with a transport that
// honours Abort() and once with one that ignores it.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/agent_controller.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kHang = std::chrono::seconds(60);
constexpr auto kPollPeriod = std::chrono::milliseconds(15);
constexpr auto kIdlePeriod = std::chrono::milliseconds(3000);

class HangingTransport : public kov::AgentTransport {
public:
    explicit HangingTransport(bool honourAbort) : honourAbort_(honourAbort) {}

    std::string ServiceRequest(std::string, std::string, std::string, std::string) override {
        std::unique_lock<std::mutex> lock(mutex_);
        ++requests_;
        changed_.wait_for(lock, kHang, [this] { return aborted_; });
        return std::string();
    }

    void Abort() override {
        if (!honourAbort_) return;
        std::lock_guard<std::mutex> lock(mutex_);
        aborted_ = true;
        changed_.notify_all();
    }

    int Requests() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

private:
    const bool honourAbort_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool aborted_ = false;
    int requests_ = 0;
};

// A desktop that shows nothing and counts the agent's threads.
class CountingPlatform : public kov::AgentPlatform {
public:
    int PeakThreads() const { return threads_->peak.load(); }

    bool StartThread(std::function<void()> body) override {
        const int live = ++threads_->live;
        int peak = threads_->peak.load();
        while (live > peak && !threads_->peak.compare_exchange_weak(peak, live)) {
        }
        // The thread keeps the counts alive, not the platform: it must not
        // touch the platform once its body has returned.
        std::thread([threads = threads_, body = std::move(body)] {
            body();
            --threads->live;
        }).detach();
        return true;
    }

    void SetMainTimer(int, int) override {}
    void KillMainTimer(int) override {}
    void CreateTray(const kov::TrayStart&) override {}
    void ShowTray(const kov::TrayView&) override {}
    void ShowBalloon(const kov::BalloonTip&) override {}
    bool IsMessageBoxOpen() override { return false; }
    kov::CursorPos CursorPosition() override { return {}; }
    std::uint32_t LastInputStamp() override { return 0; }
    bool ConsultantBusy() override { return false; }
    void ShellOpen(const std::string&) override {}
    void BringSignInDialogForward() override {}
    void EndMainDialog(int) override {}
    std::optional<std::string> InstallerPath() override { return std::nullopt; }
    kov::BoxAnswer ShowMessageBox(const std::string&, const std::string&, kov::BoxKind) override {
        return kov::BoxAnswer::Ok;
    }
    std::optional<kov::SignInEntry> RunSignInDialog(bool) override { return std::nullopt; }
    void ShowAbout() override {}
    bool DownloadToFile(const std::string&, const std::string&) override { return false; }
    kov::InstallerCheck CheckInstaller(const std::string&) override { return kov::InstallerCheck::Unsigned; }
    void RemoveFile(const std::string&) override {}
    bool ShellOpenFile(const std::string&) override { return false; }

private:
    struct ThreadCounts {
        std::atomic<int> live{0};
        std::atomic<int> peak{0};
    };
    std::shared_ptr<ThreadCounts> threads_ = std::make_shared<ThreadCounts>();
};

class NoProfile : public kov::ProfileStore {
public:
    std::string ReadString(const std::string&, const std::string&) override { return std::string(); }
    void WriteString(const std::string&, const std::string&, const std::string&) override {}
};

void Run(bool honourAbort, double seconds) {
    auto platform = std::make_shared<CountingPlatform>();
    auto transport = std::make_shared<HangingTransport>(honourAbort);
    NoProfile profile;
    kov::AgentSettings settings(profile, "/nonexistent-kovarentis-bench/Kovarentis.exe");
    settings.login = "bench";
    settings.token = "token";
    auto agent = std::make_unique<kov::AgentController>(platform, transport, settings, kov::Texts());

    agent->OnInitDialog();
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    auto nextIdle = start + kIdlePeriod;
    int ticks = 0;
    for (auto next = start; next < end; next += kPollPeriod) {
        std::this_thread::sleep_until(next);
        agent->OnTimer(kov::POLL_TIMER);
        ++ticks;
        if (Clock::now() >= nextIdle) {
            agent->OnTimer(kov::IDLE_TIMER);
            nextIdle += kIdlePeriod;
        }
    }

    const auto closeStart = Clock::now();
    agent.reset();
    const auto closeTime = std::chrono::duration<double, std::milli>(Clock::now() - closeStart).count();

    std::printf("transport %s Abort():\n", honourAbort ? "honouring" : "ignoring");
    std::printf("  poll timer ticks: %d in %.1f s, requests sent: %d\n", ticks, seconds, transport->Requests());
    std::printf("  peak threads beyond the caller: %d (goal: at most 3)\n", platform->PeakThreads());
    std::printf("  time to destroy the agent: %.2f ms (goal: under 1000 ms)\n", closeTime);
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    if (seconds <= 0) {
        std::fprintf(stderr, "usage: %s [seconds > 0]\n", argv[0]);
        return 2;
    }
    Run(true, seconds);
    Run(false, seconds);
    // Threads of the second run still hang in the transport: they are
    // abandoned, as the agent abandons them, and end with the process.
    std::fflush(stdout);
    std::_Exit(0);
}
