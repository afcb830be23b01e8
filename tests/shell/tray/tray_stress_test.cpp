// Everything that writes the notification record at once: the animation
// worker, the UI thread's animation timer, and presentation changes from
// several threads. Every shell call must carry the record of exactly the one
// operation that made it.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <thread>

#include "tray_test_support.h"

namespace kov::test {
namespace {

// What the operation running on a thread is about to hand to the shell.
struct Expectation {
    UINT flags = 0;  // 0: the thread sets no expectation (worker, UI thread)
    std::string text;
    HICON icon = nullptr;  // null: any known icon
};

// Expectations by thread id. (No thread_local: the tray's worker is no
// C++ runtime thread, and the shell call is made on it.)
class Expectations {
public:
    void Set(Expectation expectation) {
        std::lock_guard<std::mutex> lock(lock_);
        byThread_[::GetCurrentThreadId()] = std::move(expectation);
    }
    Expectation Current() {
        std::lock_guard<std::mutex> lock(lock_);
        const auto found = byThread_.find(::GetCurrentThreadId());
        return found == byThread_.end() ? Expectation{} : found->second;
    }

private:
    std::mutex lock_;
    std::map<DWORD, Expectation> byThread_;
};

// Tooltips are "tip " and one letter repeated, so a torn text shows.
std::string Tooltip(char letter, int round) { return "tip " + std::string(10 + round % 40, letter); }

bool IsWholeTooltip(const std::string& tip) {
    if (tip == "start") return true;
    if (tip.rfind("tip ", 0) != 0 || tip.size() < 5) return false;
    return std::all_of(tip.begin() + 4, tip.end(), [&](char c) { return c == tip[4]; });
}

class Checker {
public:
    Checker(HWND tray, std::set<HICON> icons, std::set<HICON> frames)
        : tray_(tray), icons_(std::move(icons)), frames_(std::move(frames)) {}

    Expectations expectations;

    void Inspect(DWORD message, const NOTIFYICONDATAW& record) {
        const Expectation expected = expectations.Current();
        if (message != NIM_MODIFY) return Fail("message " + std::to_string(message));
        if (record.cbSize != kTrayRecordSize || record.hWnd != tray_ || record.uID != kIconId ||
            record.uCallbackMessage != WM_TRAY_NOTIFY) {
            return Fail("fixed fields changed");
        }
        if (!IsWholeTooltip(Text(record.szTip))) return Fail("torn tooltip " + Text(record.szTip));
        if (record.uFlags != NIF_INFO && record.szInfo[0] != '\0') return Fail("balloon text left over");
        if (expected.flags != 0 && record.uFlags != expected.flags) {
            return Fail("flags " + std::to_string(record.uFlags) + " for an operation of " +
                        std::to_string(expected.flags));
        }
        switch (record.uFlags) {
        case NIF_ICON:
            if (expected.icon && record.hIcon != expected.icon) return Fail("another thread's icon");
            if (expected.flags == 0 && !frames_.count(record.hIcon)) return Fail("a step showed no frame");
            if (!icons_.count(record.hIcon)) return Fail("unknown icon");
            return;
        case NIF_TIP:
            if (Text(record.szTip) != expected.text) return Fail("another thread's tooltip");
            return;
        case NIF_INFO:
            if (Text(record.szInfo) != expected.text || Text(record.szInfoTitle) != "stress") {
                return Fail("another thread's balloon");
            }
            return;
        default:
            return Fail("flags " + std::to_string(record.uFlags));
        }
    }

    std::vector<std::string> Problems() {
        std::lock_guard<std::mutex> lock(lock_);
        return problems_;
    }

private:
    void Fail(const std::string& problem) {
        std::lock_guard<std::mutex> lock(lock_);
        if (problems_.size() < 20) problems_.push_back(problem);
    }

    HWND tray_;
    std::set<HICON> icons_;
    std::set<HICON> frames_;
    std::mutex lock_;
    std::vector<std::string> problems_;
};

TEST(TrayStressTest, EveryShellCallCarriesOneOperationsRecord) {
    FakeTrayPlatform platform;
    std::vector<UniqueIcon> owned;
    for (int i = 0; i < 6; ++i) owned.push_back(MakeIcon(RGB(40 * i, 255 - 40 * i, 100)));
    const std::vector<HICON> frames{owned[0].Get(), owned[1].Get(), owned[2].Get(), owned[3].Get()};
    const HICON steady[] = {owned[4].Get(), owned[5].Get()};

    CSystemTray tray(platform);
    ASSERT_TRUE(tray.Create(WM_TRAY_NOTIFY, "start", steady[0], kIconId));
    platform.TakeCalls();
    std::set<HICON> known(frames.begin(), frames.end());
    known.insert(std::begin(steady), std::end(steady));
    Checker checker(tray.Handle(), known, {frames.begin(), frames.end()});
    platform.inspect = [&](DWORD message, const NOTIFYICONDATAW& record) {
        checker.Inspect(message, record);
    };

    std::mutex callersLock;
    std::set<DWORD> callers;
    std::atomic<int> running{0};
    std::vector<std::thread> threads;
    auto spawn = [&](auto body) {
        ++running;
        threads.emplace_back([&, body] {
            {
                std::lock_guard<std::mutex> lock(callersLock);
                callers.insert(::GetCurrentThreadId());
            }
            body();
            --running;
        });
    };
    for (char letter : {'a', 'b'}) {
        spawn([&, letter] {
            for (int round = 0; round < 300; ++round) {
                const std::string tooltip = Tooltip(letter, round);
                checker.expectations.Set({NIF_TIP, tooltip, nullptr});
                tray.SetTooltipText(tooltip.c_str());
            }
        });
    }
    spawn([&] {
        for (int round = 0; round < 300; ++round) {
            checker.expectations.Set({NIF_ICON, "", steady[round % 2]});
            tray.SetIcon(steady[round % 2]);
        }
    });
    spawn([&] {
        for (int round = 0; round < 100; ++round) {
            const std::string text = "balloon " + std::to_string(round);
            checker.expectations.Set({NIF_INFO, text, nullptr});
            tray.ShowBalloon(text.c_str(), "stress", NIIF_WARNING, 10);
        }
    });
    // The agent's own pattern: connecting (worker), blinking (timer), steady.
    spawn([&] {
        checker.expectations.Set({NIF_ICON, "", nullptr});
        for (int round = 0; round < 30; ++round) {
            tray.SetIconList(frames.data(), 4);
            tray.Animate(500, 0xFFFFFFFF, TRUE);
            ::Sleep(25);
            tray.SetIconList(frames.data(), 2);
            tray.Animate(10, 0xFFFFFFFF, FALSE);
            ::Sleep(25);
            tray.StopAnimation();
        }
    });
    // A deadlock would keep a thread from ending: join then hangs, and the
    // test's time-out reports it.
    EXPECT_TRUE(PumpUntil([&] { return running.load() == 0; }, 60000));
    for (std::thread& thread : threads) thread.join();
    // The checker goes before the tray, whose end still calls the shell.
    platform.inspect = nullptr;

    const auto calls = platform.TakeCalls();
    std::size_t uiSteps = 0;
    std::size_t workerSteps = 0;
    for (const ShellCall& call : calls) {
        if (call.thread == ::GetCurrentThreadId()) {
            ++uiSteps;
        } else if (!callers.count(call.thread)) {
            ++workerSteps;
        }
    }
    EXPECT_EQ(checker.Problems(), std::vector<std::string>{});
    EXPECT_EQ(platform.overlaps.load(), 0) << "shell calls overlapped";
    EXPECT_GT(uiSteps, 0u) << "the timer took part";
    EXPECT_GT(workerSteps, 0u) << "the worker took part";
    EXPECT_GE(calls.size(), 1000u);
}

}  // namespace
}  // namespace kov::test
