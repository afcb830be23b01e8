// The animation worker steps while the tray's thread changes the tooltip
// (inside the call that handed it the animation), the icon and balloons,
// starts and stops animations and runs its animation timer. Every shell call must carry the record of exactly the one operation
// that made it: the worker's steps a frame and nothing else.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <iterator>
#include <map>
#include <set>
#include <string>

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

    // The agent's own pattern, all on the tray's thread: connecting (worker
    // mode, handed to the worker for a while), blinking (timer), steady, with
    // presentation changes in between.
    for (int round = 0; round < 30; ++round) {
        for (int change = 0; change < 10; ++change) {
            const std::string tooltip = Tooltip(change % 2 == 0 ? 'a' : 'b', round * 10 + change);
            checker.expectations.Set({NIF_TIP, tooltip, nullptr});
            tray.SetTooltipText(tooltip.c_str());
            checker.expectations.Set({NIF_ICON, "", steady[change % 2]});
            tray.SetIcon(steady[change % 2]);
            const std::string text = "balloon " + std::to_string(round * 10 + change);
            checker.expectations.Set({NIF_INFO, text, nullptr});
            tray.ShowBalloon(text.c_str(), "stress", NIIF_WARNING, 10);
        }
        checker.expectations.Set({NIF_ICON, "", nullptr});
        tray.SetIconList(frames.data(), 4);
        tray.Animate(500, 0xFFFFFFFF, TRUE);
        PumpFor(25);
        tray.KeepAnimatingDuring([&] {
            for (int change = 0; change < 5; ++change) {
                const std::string tooltip = Tooltip('c', round * 5 + change);
                checker.expectations.Set({NIF_TIP, tooltip, nullptr});
                tray.SetTooltipText(tooltip.c_str());
            }
        });
        checker.expectations.Set({NIF_ICON, "", nullptr});
        tray.SetIconList(frames.data(), 2);
        tray.Animate(10, 0xFFFFFFFF, FALSE);
        PumpFor(25);
        tray.StopAnimation();
    }
    // The checker goes before the tray, whose end still calls the shell.
    platform.inspect = nullptr;

    const auto calls = platform.TakeCalls();
    std::size_t workerSteps = 0;
    for (const ShellCall& call : calls) {
        if (call.thread != ::GetCurrentThreadId()) ++workerSteps;
    }
    EXPECT_EQ(checker.Problems(), std::vector<std::string>{});
    EXPECT_GT(workerSteps, 0u) << "the worker took part";
    EXPECT_GE(calls.size(), 1000u);
}

}  // namespace
}  // namespace kov::test
