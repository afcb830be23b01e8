#pragma once
// Stand-ins for the desktop and the service, for the controller's tests.
//
// FakePlatform records what the agent shows and asks, answers from a script,
// and keeps the main window's timers on a fake clock. The test's thread is the
// UI thread: work the agent hands to a worker (a request, the installer's
// download and check) waits in a queue until the test runs it, and its result
// is then delivered to the agent as the main window would, on the test's
// thread. FakeTransport records requests and answers from a queue or a
// function.
#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/platform.h"
#include "core/transport.h"

namespace kov::test {

struct SentRequest {
    std::string server;
    std::string path;
    std::string body;
    std::string headers;
};

class FakeTransport : public Transport {
public:
    // Run while the request is in flight, before it is answered.
    std::function<void(const SentRequest&)> duringRequest;

    // Replies in order; a failed connection ("") once they run out.
    void QueueReply(std::string reply) { replies_.push_back(std::move(reply)); }
    // Answers every request instead of the queue.
    void Respond(std::function<std::string(const SentRequest&)> responder) { responder_ = std::move(responder); }

    std::string ServiceRequest(std::string server, std::string path, std::string body,
                               std::string headers) override {
        const SentRequest request{std::move(server), std::move(path), std::move(body), std::move(headers)};
        requests_.push_back(request);
        if (duringRequest) duringRequest(request);
        if (responder_) return responder_(request);
        if (replies_.empty()) return std::string();
        std::string reply = std::move(replies_.front());
        replies_.pop_front();
        return reply;
    }

    const std::vector<SentRequest>& Requests() const { return requests_; }

private:
    std::deque<std::string> replies_;
    std::function<std::string(const SentRequest&)> responder_;
    std::vector<SentRequest> requests_;
};

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
    std::optional<CursorPos> cursor = CursorPos{};  // none: Windows cannot tell
    bool screenSaver = false;
    std::string timeOfDay = "09:41";
    std::optional<std::string> leavingReply = std::string("0 0000");  // none: it did not come in time
    std::uint32_t lastInput = 0;                      // moves on with every key typed
    bool busy = false;                                // a full-screen program, presentation or quiet time
    bool motion = true;                               // the system's "Show animations"
    bool hidesNewIcons = false;                       // new icons go behind the overflow arrow
    bool iconVisible = true;                          // the icon is where the consultant sees it
    std::optional<std::string> installerPath = std::string("C:\\Temp\\KovarentisSetup.exe");
    bool downloadSucceeds = true;
    InstallerCheck installerCheck = InstallerCheck::Authentic;
    bool shellStarts = true;
    bool threadsStart = true;
};

// What the agent did.
struct FakeRecord {
    TrayState tray;
    std::vector<std::string> calls;  // short calls, in order
    std::vector<BoxShown> boxes;
    std::vector<BalloonShown> balloons;
    std::vector<bool> signInPresets;  // the remember box of each dialog shown
    std::vector<std::string> signInLogins;  // the login each dialog was filled in with
    int menusAtIcon = 0;
    int signInForward = 0;
    int aboutShown = 0;
    std::vector<std::string> opened;
    std::vector<int> endResults;
    std::vector<std::pair<std::string, std::string>> downloads;  // url, path
    std::vector<std::string> checkedFiles;
    std::vector<std::string> removedFiles;
    std::vector<std::string> startedFiles;
    std::vector<std::string> closedBoxes;
    std::vector<ServiceCall> waitedFor;  // requests the UI thread waited for
};

class FakePlatform : public AgentPlatform {
public:
    explicit FakePlatform(std::shared_ptr<FakeTransport> transport) : transport_(std::move(transport)) {}

    FakeScript script;
    // Run while a box or the sign-in dialog is open, like messages dispatched
    // by its modal loop.
    std::function<void(const BoxShown&)> duringBox;
    std::function<void()> duringSignIn;

    // Where timers and workers' results go: the agent, as the main window hands them over.
    std::function<void(int timerId)> onTimer;
    std::function<void(const ServiceAnswer&)> onReply;
    std::function<void(const InstallerFetch&)> onFetched;

    // --- the fake clock

    // Moves the clock on, firing each timer whenever its period has passed.
    void Advance(std::int64_t ms) {
        const std::int64_t target = now_ + ms;
        for (;;) {
            auto due = std::min_element(timers_.begin(), timers_.end(), [](const auto& a, const auto& b) {
                return a.second.due < b.second.due;
            });
            if (due == timers_.end() || due->second.due > target) break;
            now_ = due->second.due;
            due->second.due += due->second.period;
            if (onTimer) onTimer(due->first);
        }
        now_ = target;
    }

    bool TimerRunning(int id) const { return timers_.count(id) != 0; }
    int TimerPeriod(int id) const {
        const auto found = timers_.find(id);
        return found == timers_.end() ? 0 : static_cast<int>(found->second.period);
    }

    // --- workers

    // Runs the oldest queued work and delivers its result; false when none waits.
    bool RunOneThread() {
        if (queued_.empty()) return false;
        std::function<void()> work = std::move(queued_.front().work);
        queued_.pop_front();
        work();
        return true;
    }
    // Runs queued sign-in requests, and those their replies bring, until
    // other work is next: a sign-in as the UI thread would see it, before
    // the poll it leads to is answered.
    void RunSignIns() {
        while (!queued_.empty() && queued_.front().kind == RequestKind::SignIn) RunOneThread();
    }
    // Runs queued work, and the work its results queue, until none is left.
    int RunQueuedThreads() {
        int ran = 0;
        while (RunOneThread()) ++ran;
        return ran;
    }
    int QueuedThreads() const { return static_cast<int>(queued_.size()); }
    int ThreadsStarted() const { return started_; }

    const FakeRecord& Record() const { return record_; }
    void ClearCalls() { record_.calls.clear(); }

    // --- AgentPlatform

    void SetMainTimer(int timerId, int periodMs) override {
        Call("SetMainTimer " + std::to_string(timerId) + " " + std::to_string(periodMs));
        timers_[timerId] = Timer{periodMs, now_ + periodMs};
    }
    void KillMainTimer(int timerId) override {
        Call("KillMainTimer " + std::to_string(timerId));
        timers_.erase(timerId);
    }
    void CreateTray(const TrayStart& start) override {
        Call("CreateTray");
        auto& tray = record_.tray;
        tray.created = true;
        tray.createdTooltip = tray.tooltip = start.tooltip;
        tray.createdIcon = tray.icon = start.icon;
        tray.defaultItem = start.defaultCommand;
        tray.menusBuilt = true;
    }
    void ShowTray(const TrayView& view) override {
        Call("ShowTray");
        ApplyView(view);
    }
    void ShowBalloon(const BalloonTip& balloon) override {
        Call("ShowBalloon");
        record_.balloons.push_back(balloon);
    }
    bool IsMessageBoxOpen() override {
        Call("IsMessageBoxOpen");
        return script.externalBoxOpen || boxesOpen_ > 0;
    }
    void CloseMessageBox(const std::string& text) override { record_.closedBoxes.push_back(text); }
    std::optional<CursorPos> CursorPosition() override {
        Call("CursorPosition");
        return script.cursor;
    }
    bool ScreenSaverRunning() override { return script.screenSaver; }
    std::string LocalTimeText() override { return script.timeOfDay; }
    std::optional<std::string> RequestAndWait(const ServiceCall& call, int) override {
        record_.waitedFor.push_back(call);
        return script.leavingReply;
    }
    std::uint32_t LastInputStamp() override {
        Call("LastInputStamp");
        return script.lastInput;
    }
    bool ConsultantBusy() override {
        Call("ConsultantBusy");
        return script.busy;
    }
    bool MotionAllowed() override { return script.motion; }
    bool TrayHidesNewIcons() override { return script.hidesNewIcons; }
    bool ShowTrayMenuAtIcon() override {
        if (script.iconVisible) ++record_.menusAtIcon;
        return script.iconVisible;
    }
    void ShellOpen(const std::string& url) override { record_.opened.push_back(url); }
    void BringSignInDialogForward() override { ++record_.signInForward; }
    void EndMainDialog(int result) override {
        Call("EndMainDialog " + std::to_string(result));
        record_.endResults.push_back(result);
    }

    BoxAnswer ShowMessageBox(const std::string& text, const std::string& caption, BoxKind kind) override {
        const BoxShown box{text, caption, kind};
        BoxAnswer answer = kind == BoxKind::Question ? BoxAnswer::Yes : BoxAnswer::Ok;
        record_.boxes.push_back(box);
        if (!script.boxAnswers.empty()) {
            answer = script.boxAnswers.front();
            script.boxAnswers.pop_front();
        }
        ++boxesOpen_;
        if (duringBox) duringBox(box);
        --boxesOpen_;
        return answer;
    }

    std::optional<SignInEntry> RunSignInDialog(bool remember, const std::string& knownLogin) override {
        std::optional<SignInEntry> entry;
        record_.signInPresets.push_back(remember);
        record_.signInLogins.push_back(knownLogin);
        if (!script.signIns.empty()) {
            entry = script.signIns.front();
            script.signIns.pop_front();
        }
        if (duringSignIn) duringSignIn();
        return entry;
    }

    void ShowAbout() override { ++record_.aboutShown; }

    bool StartRequest(const ServiceCall& call) override {
        return Queue(call.kind, [this, call] {
            std::string reply = transport_->ServiceRequest(call.server, call.path, "", "");
            if (onReply) onReply(ServiceAnswer{call.kind, call.epoch, std::move(reply)});
        });
    }

    bool StartInstallerFetch(const std::string& url) override {
        if (!script.installerPath) return false;
        return Queue(std::nullopt, [this, url, path = *script.installerPath] {
            record_.downloads.emplace_back(url, path);
            InstallerFetch fetch{script.downloadSucceeds, InstallerCheck::CheckUnavailable, path};
            if (fetch.downloaded) {
                record_.checkedFiles.push_back(path);
                fetch.verdict = script.installerCheck;
                if (fetch.verdict != InstallerCheck::Authentic) record_.removedFiles.push_back(path);
            }
            if (onFetched) onFetched(fetch);
        });
    }

    bool ShellOpenFile(const std::string& path) override {
        if (script.shellStarts) record_.startedFiles.push_back(path);
        return script.shellStarts;
    }

private:
    struct Timer {
        std::int64_t period = 0;
        std::int64_t due = 0;
    };

    struct Work {
        std::optional<RequestKind> kind;  // none for the installer's fetch
        std::function<void()> work;
    };

    bool Queue(std::optional<RequestKind> kind, std::function<void()> work) {
        Call("StartThread");
        if (!script.threadsStart) return false;
        ++started_;
        queued_.push_back({kind, std::move(work)});
        return true;
    }

    void Call(std::string call) { record_.calls.push_back(std::move(call)); }

    // What the Windows side does with a view.
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

    const std::shared_ptr<FakeTransport> transport_;
    std::int64_t now_ = 0;
    std::map<int, Timer> timers_;
    std::deque<Work> queued_;
    int started_ = 0;
    int boxesOpen_ = 0;
    FakeRecord record_;
};

}  // namespace kov::test
