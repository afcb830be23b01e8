#pragma once
// Stand-ins for the desktop and the service, for the controller's tests.
//
// FakePlatform records what the agent shows and asks, answers from a script,
// and keeps the main window's timers on a fake clock. It applies each tray
// view as the Windows side does on its UI thread, at once or, while the test
// holds views back (a UI thread busy elsewhere), in call order when it lets
// them go. Its threads either wait
// in a queue that the test runs on its own thread (deterministic tests) or run
// for real (stress tests). FakeTransport records requests and answers from a
// queue or a function; it can hang until it is aborted or released.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/platform.h"

namespace kov::test {

struct BoxShown {
    std::string text;
    std::string caption;
    BoxKind kind = BoxKind::Warning;
};

using BalloonShown = BalloonTip;

// The tray as the consultant would see it.
struct TrayState {
    bool created = false;
    std::string createdTooltip;
    std::optional<TrayIcon> createdIcon;
    std::optional<Command> defaultItem;
    bool menusBuilt = false;
    std::string tooltip;
    std::optional<TrayIcon> icon;  // the icon on show while no animation runs
    std::vector<TrayIcon> frames;
    bool animating = false;
    int periodMs = 0;
    int animationStarts = 0;
    std::optional<MenuKind> popupMenu;
    std::map<Command, bool> checks;
    int sounds = 0;
};

// What the consultant and the system will answer. Set it before the agent
// runs; with real threads, do not change it while workers run.
struct FakeScript {
    std::deque<BoxAnswer> boxAnswers;                 // then the box's OK or Yes
    std::deque<std::optional<SignInEntry>> signIns;   // then cancelled
    bool externalBoxOpen = false;                     // a "Kovarentis " window the agent did not open
    CursorPos cursor;
    std::uint32_t lastInput = 0;                      // moves on with every key typed
    bool busy = false;                                // a full-screen program, presentation or quiet time
    std::optional<std::string> installerPath = std::string("C:\\Temp\\KovarentisSetup.exe");
    bool downloadSucceeds = true;
    InstallerCheck installerCheck = InstallerCheck::Authentic;
    bool shellStarts = true;
    bool threadsStart = true;
    std::chrono::microseconds shortCallDelay{0};      // widens race windows in stress tests
};

// What the agent did.
struct FakeRecord {
    TrayState tray;
    std::vector<std::string> calls;  // short calls, in order
    std::vector<BoxShown> boxes;
    std::vector<BalloonShown> balloons;
    std::vector<bool> signInPresets;  // the remember box of each dialog shown
    int signInForward = 0;
    int aboutShown = 0;
    std::vector<std::string> opened;
    std::vector<int> endResults;
    std::vector<std::pair<std::string, std::string>> downloads;  // url, path
    std::vector<std::string> checkedFiles;
    std::vector<std::string> removedFiles;
    std::vector<std::string> startedFiles;
    int shortCallsAfterOwnerGone = 0;
};

enum class ThreadMode { Queued, Real };

class FakePlatform : public AgentPlatform {
public:
    explicit FakePlatform(ThreadMode mode = ThreadMode::Queued) : mode_(mode) {}
    ~FakePlatform() override { JoinThreads(); }

    FakeScript script;
    // Run while a box or the sign-in dialog is open, on the thread that shows
    // it, like messages dispatched by a modal loop.
    std::function<void(const BoxShown&)> duringBox;
    std::function<void()> duringSignIn;

    // --- the fake clock

    void ConnectTimers(std::function<void(int timerId)> onTimer) {
        std::lock_guard<std::mutex> lock(mutex_);
        onTimer_ = std::move(onTimer);
    }

    // Moves the clock on, firing each timer whenever its period has passed.
    void Advance(std::int64_t ms) {
        std::unique_lock<std::mutex> lock(mutex_);
        const std::int64_t target = now_ + ms;
        for (;;) {
            auto due = std::min_element(timers_.begin(), timers_.end(), [](const auto& a, const auto& b) {
                return a.second.due < b.second.due;
            });
            if (due == timers_.end() || due->second.due > target) break;
            now_ = due->second.due;
            due->second.due += due->second.period;
            const int id = due->first;
            auto onTimer = onTimer_;
            lock.unlock();
            if (onTimer) onTimer(id);
            lock.lock();
        }
        now_ = target;
    }

    bool TimerRunning(int id) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return timers_.count(id) != 0;
    }

    int TimerPeriod(int id) const {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = timers_.find(id);
        return found == timers_.end() ? 0 : static_cast<int>(found->second.period);
    }

    // --- threads

    // Runs queued thread bodies, and those they queue, until none is left.
    int RunQueuedThreads() {
        int ran = 0;
        for (;;) {
            std::function<void()> body;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (queued_.empty()) return ran;
                body = std::move(queued_.front());
                queued_.pop_front();
            }
            body();
            ++ran;
        }
    }

    int QueuedThreads() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<int>(queued_.size());
    }

    void JoinThreads() {
        for (;;) {
            std::vector<std::thread> threads;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                threads.swap(threads_);
            }
            if (threads.empty()) return;
            for (auto& thread : threads) {
                if (thread.get_id() == std::this_thread::get_id()) {
                    thread.detach();
                } else {
                    thread.join();
                }
            }
        }
    }

    int ThreadsStarted() const { return started_.load(); }
    int LiveThreads() const { return live_.load(); }
    int PeakThreads() const { return peak_.load(); }

    // From now on every short call counts as a fault: the owner is destroyed.
    void MarkOwnerGone() { ownerGone_.store(true); }

    FakeRecord Record() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return record_;
    }

    void ClearCalls() {
        std::lock_guard<std::mutex> lock(mutex_);
        record_.calls.clear();
    }

    // --- the UI thread's tray queue

    // While held, views and balloons wait, as for a UI thread that is busy.
    void HoldTray() {
        std::lock_guard<std::mutex> lock(mutex_);
        holdTray_ = true;
    }
    // Applies what waited, in call order, and applies at once from then on.
    void ReleaseTray() {
        std::lock_guard<std::mutex> lock(mutex_);
        holdTray_ = false;
        for (auto& apply : heldTray_) apply();
        heldTray_.clear();
    }
    std::vector<TrayView> HeldViews() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return heldViews_;
    }

    // --- AgentPlatform: short operations

    void SetMainTimer(int timerId, int periodMs) override {
        Short("SetMainTimer " + std::to_string(timerId) + " " + std::to_string(periodMs), [&] {
            timers_[timerId] = Timer{periodMs, now_ + periodMs};
        });
    }
    void KillMainTimer(int timerId) override {
        Short("KillMainTimer " + std::to_string(timerId), [&] { timers_.erase(timerId); });
    }
    void CreateTray(const TrayStart& start) override {
        Short("CreateTray", [&] {
            auto& tray = record_.tray;
            tray.created = true;
            tray.createdTooltip = tray.tooltip = start.tooltip;
            tray.createdIcon = tray.icon = start.icon;
            tray.defaultItem = start.defaultCommand;
            tray.menusBuilt = true;
        });
    }
    void ShowTray(const TrayView& view) override {
        Short("ShowTray", [&] {
            if (holdTray_) heldViews_.push_back(view);
            UiThread([this, view] { ApplyView(view); });
        });
    }
    void ShowBalloon(const BalloonTip& balloon) override {
        Short("ShowBalloon", [&] { UiThread([this, balloon] { record_.balloons.push_back(balloon); }); });
    }
    bool IsMessageBoxOpen() override {
        bool open = false;
        Short("IsMessageBoxOpen", [&] { open = script.externalBoxOpen || boxesOpen_ > 0; });
        return open;
    }
    CursorPos CursorPosition() override {
        CursorPos position;
        Short("CursorPosition", [&] { position = script.cursor; });
        return position;
    }
    std::uint32_t LastInputStamp() override {
        std::uint32_t stamp = 0;
        Short("LastInputStamp", [&] { stamp = script.lastInput; });
        return stamp;
    }
    bool ConsultantBusy() override {
        bool busy = false;
        Short("ConsultantBusy", [&] { busy = script.busy; });
        return busy;
    }
    void ShellOpen(const std::string& url) override {
        Short("ShellOpen", [&] { record_.opened.push_back(url); });
    }
    void BringSignInDialogForward() override {
        Short("BringSignInDialogForward", [&] { ++record_.signInForward; });
    }
    void EndMainDialog(int result) override {
        Short("EndMainDialog " + std::to_string(result), [&] { record_.endResults.push_back(result); });
    }
    bool StartThread(std::function<void()> body) override {
        bool start = false;
        Short("StartThread", [&] {
            start = script.threadsStart;
            if (!start) return;
            ++started_;
            if (mode_ == ThreadMode::Queued) {
                queued_.push_back(std::move(body));
                return;
            }
            const int live = ++live_;
            int peak = peak_.load();
            while (live > peak && !peak_.compare_exchange_weak(peak, live)) {
            }
            threads_.emplace_back([this, body = std::move(body)] {
                body();
                --live_;
            });
        });
        return start;
    }
    std::optional<std::string> InstallerPath() override {
        std::optional<std::string> path;
        Short("InstallerPath", [&] { path = script.installerPath; });
        return path;
    }

    // --- AgentPlatform: long operations

    BoxAnswer ShowMessageBox(const std::string& text, const std::string& caption, BoxKind kind) override {
        const BoxShown box{text, caption, kind};
        BoxAnswer answer = kind == BoxKind::Question ? BoxAnswer::Yes : BoxAnswer::Ok;
        std::function<void(const BoxShown&)> during;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            record_.boxes.push_back(box);
            if (!script.boxAnswers.empty()) {
                answer = script.boxAnswers.front();
                script.boxAnswers.pop_front();
            }
            ++boxesOpen_;
            during = duringBox;
        }
        if (during) during(box);
        std::lock_guard<std::mutex> lock(mutex_);
        --boxesOpen_;
        return answer;
    }

    std::optional<SignInEntry> RunSignInDialog(bool remember) override {
        std::optional<SignInEntry> entry;
        std::function<void()> during;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            record_.signInPresets.push_back(remember);
            if (!script.signIns.empty()) {
                entry = script.signIns.front();
                script.signIns.pop_front();
            }
            during = duringSignIn;
        }
        if (during) during();
        return entry;
    }

    void ShowAbout() override {
        std::lock_guard<std::mutex> lock(mutex_);
        ++record_.aboutShown;
    }

    bool DownloadToFile(const std::string& url, const std::string& path) override {
        std::lock_guard<std::mutex> lock(mutex_);
        record_.downloads.emplace_back(url, path);
        return script.downloadSucceeds;
    }

    InstallerCheck CheckInstaller(const std::string& path) override {
        std::lock_guard<std::mutex> lock(mutex_);
        record_.checkedFiles.push_back(path);
        return script.installerCheck;
    }

    void RemoveFile(const std::string& path) override {
        std::lock_guard<std::mutex> lock(mutex_);
        record_.removedFiles.push_back(path);
    }

    bool ShellOpenFile(const std::string& path) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (script.shellStarts) record_.startedFiles.push_back(path);
        return script.shellStarts;
    }

private:
    struct Timer {
        std::int64_t period = 0;
        std::int64_t due = 0;
    };

    // Under mutex_.
    void UiThread(std::function<void()> apply) {
        if (holdTray_) {
            heldTray_.push_back(std::move(apply));
        } else {
            apply();
        }
    }

    // What the Windows side does with a view, under mutex_.
    void ApplyView(const TrayView& view) {
        auto& tray = record_.tray;
        if (view.tooltip) tray.tooltip = *view.tooltip;
        const IconView& icon = view.icon;
        if (icon.frames.empty()) {
            tray.animating = false;
            tray.icon = icon.icon;
        } else {
            if (icon.icon) tray.icon = icon.icon;
            tray.frames = icon.frames;
            tray.animating = true;
            tray.periodMs = icon.periodMs;
            ++tray.animationStarts;
        }
        if (view.playSound) ++tray.sounds;
        if (view.balloon) record_.balloons.push_back(*view.balloon);
        tray.popupMenu = view.menu;
        if (view.checkedCommand) {
            for (const Command status : {Command::StatusOnline, Command::StatusAway, Command::StatusOffline}) {
                tray.checks[status] = status == *view.checkedCommand;
            }
        }
    }

    template <typename Apply>
    void Short(std::string call, Apply&& apply) {
        if (ownerGone_.load()) CountLateCall();
        if (script.shortCallDelay.count() > 0) std::this_thread::sleep_for(script.shortCallDelay);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            record_.calls.push_back(std::move(call));
            apply();
        }
        if (ownerGone_.load()) CountLateCall();
    }

    void CountLateCall() {
        std::lock_guard<std::mutex> lock(mutex_);
        ++record_.shortCallsAfterOwnerGone;
    }

    const ThreadMode mode_;
    mutable std::mutex mutex_;
    std::function<void(int)> onTimer_;
    std::int64_t now_ = 0;
    std::map<int, Timer> timers_;
    std::deque<std::function<void()>> queued_;
    std::vector<std::thread> threads_;
    std::atomic<int> started_{0};
    std::atomic<int> live_{0};
    std::atomic<int> peak_{0};
    std::atomic<bool> ownerGone_{false};
    int boxesOpen_ = 0;
    bool holdTray_ = false;
    std::vector<std::function<void()>> heldTray_;
    std::vector<TrayView> heldViews_;
    FakeRecord record_;
};

struct SentRequest {
    std::string server;
    std::string path;
    std::string body;
    std::string headers;
};

class FakeTransport : public AgentTransport {
public:
    // Run while the request is in flight, before it is answered.
    std::function<void(const SentRequest&)> duringRequest;

    // Replies in order; a failed connection ("") once they run out.
    void QueueReply(std::string reply) {
        std::lock_guard<std::mutex> lock(mutex_);
        replies_.push_back(std::move(reply));
    }
    // Answers every request instead of the queue.
    void Respond(std::function<std::string(const SentRequest&)> responder) {
        std::lock_guard<std::mutex> lock(mutex_);
        responder_ = std::move(responder);
    }
    // Requests block until Abort() (unless ignored) or Release().
    void Hang(bool ignoreAbort = false) {
        std::lock_guard<std::mutex> lock(mutex_);
        hang_ = true;
        ignoreAbort_ = ignoreAbort;
    }
    void Release() {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

    std::string ServiceRequest(std::string server, std::string path, std::string body,
                               std::string headers) override {
        const SentRequest request{std::move(server), std::move(path), std::move(body), std::move(headers)};
        std::function<void(const SentRequest&)> during;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(request);
            peakInFlight_ = std::max(peakInFlight_, ++inFlight_);
            during = duringRequest;
        }
        if (during) during(request);
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return !hang_ || released_ || (aborted_ && !ignoreAbort_); });
        --inFlight_;
        if (aborted_ && !released_) return std::string();
        if (responder_) return responder_(request);
        if (replies_.empty()) return std::string();
        std::string reply = std::move(replies_.front());
        replies_.pop_front();
        return reply;
    }

    void Abort() override {
        std::lock_guard<std::mutex> lock(mutex_);
        aborted_ = true;
        ++aborts_;
        changed_.notify_all();
    }

    std::vector<SentRequest> Requests() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }
    int Aborts() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return aborts_;
    }
    int InFlight() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return inFlight_;
    }
    int PeakInFlight() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return peakInFlight_;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> replies_;
    std::function<std::string(const SentRequest&)> responder_;
    std::vector<SentRequest> requests_;
    bool hang_ = false;
    bool ignoreAbort_ = false;
    bool released_ = false;
    bool aborted_ = false;
    int aborts_ = 0;
    int inFlight_ = 0;
    int peakInFlight_ = 0;
};

}  // namespace kov::test
