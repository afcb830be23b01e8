// The frame animation of the tray icon, and the icons' replacement by
// others of the same pictures.
#include <exception>
#include <memory>

#include "shell/system_tray.h"

namespace kov {
namespace {

// A worker-mode animation's pace, whatever period Animate was given.
constexpr DWORD kWorkerStepMs = 200;

// The framework's standard error box, captioned with the program's name.
void ReportOutOfMemory() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    char name[MAX_PATH] = {};
    ::_splitpath(path, nullptr, nullptr, name, nullptr);
    ::MessageBoxA(nullptr, "Out of memory.", name, MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

BOOL CSystemTray::SetIconList(const HICON* icons, UINT count) {
    try {
        frameList_.assign(icons, icons + count);
    } catch (const std::exception&) {
        frameList_.clear();
        ReportOutOfMemory();
        return FALSE;
    }
    return TRUE;
}

// A running worker is stopped while the handles change, then goes on with
// the new frames from where it was.
void CSystemTray::ReplaceIcons(const std::function<HICON(HICON)>& replace) {
    const bool workerRan = worker_ != nullptr;
    const int workerIndex = StopWorker();
    for (HICON& frame : frameList_) frame = replace(frame);
    if (savedIcon_) savedIcon_ = replace(savedIcon_);
    if (enabled_ && record_.hIcon) {
        // A worker shows its new frame at once when it starts again.
        if (workerRan) {
            record_.hIcon = replace(record_.hIcon);
        } else {
            ShowIcon(replace(record_.hIcon));
        }
    }
    ReleaseUnusedIcons();
    if (workerRan) StartWorker(workerIndex);
}

// A worker-mode animation steps on the window's timer like the other, at the
// worker's pace and without a time limit, and moves to a worker thread only
// while the window's thread is blocked (KeepAnimatingDuring): a thread kept or
// started for every connecting animation would cost the idle agent a thread's
// memory for the whole day.
BOOL CSystemTray::Animate(UINT periodMs, DWORD durationSeconds, BOOL useWorker) {
    if (frameList_.empty()) return FALSE;  // a running animation goes on
    StopAnimation();

    frameIndex_ = 0;
    animationStart_ = platform_.LocalSeconds();
    workerMode_ = useWorker != FALSE;
    animationDuration_ = workerMode_ ? 0 : durationSeconds;
    savedIcon_ = enabled_ ? record_.hIcon : nullptr;
    return StartAnimationTimer(workerMode_ ? kWorkerStepMs : periodMs);
}

BOOL CSystemTray::StartAnimationTimer(UINT periodMs) {
    // Without its window the tray would get a thread timer that nobody handles.
    if (!Handle()) return FALSE;
    animationTimerId_ = ::SetTimer(Handle(), ANIMATION_TIMER, periodMs, nullptr);
    return animationTimerId_ != 0 ? TRUE : FALSE;
}

// A worker takes over from the frame the timer got to and hands back the one
// it got to. Whatever the call did to the animation stands: after a stop or a
// new animation there is nothing to take back.
void CSystemTray::KeepAnimatingDuring(const std::function<void()>& blockingCall) {
    const bool handOver = workerMode_ && animationTimerId_ != 0;
    if (handOver) {
        ::KillTimer(Handle(), animationTimerId_);
        animationTimerId_ = 0;
        StartWorker(frameIndex_);
    }
    blockingCall();
    if (!handOver || !workerMode_ || animationTimerId_ != 0) return;
    if (worker_) frameIndex_ = StopWorker();
    StartAnimationTimer(kWorkerStepMs);
}

// Frame 0 is shown last in each cycle: the index moves before the frame shows.
BOOL CSystemTray::StepAnimation() {
    if (frameList_.empty()) return FALSE;
    if (++frameIndex_ >= static_cast<int>(frameList_.size())) frameIndex_ = 0;
    const BOOL result = ShowIcon(frameList_[frameIndex_]);
    ReleaseUnusedIcons();
    return result;
}

// The worker has ended before the icon is restored, so that no step of it
// can overwrite the restored icon.
BOOL CSystemTray::StopAnimation() {
    BOOL killed = FALSE;
    if (animationTimerId_ != 0) {
        killed = ::KillTimer(Handle(), animationTimerId_);
        animationTimerId_ = 0;
    }
    StopWorker();
    workerMode_ = false;
    if (savedIcon_) {
        ShowIcon(savedIcon_);
        savedIcon_ = nullptr;
        ReleaseUnusedIcons();
    }
    return killed;
}

void CSystemTray::OnAnimationTimer(UINT_PTR timerId) {
    if (timerId != ANIMATION_TIMER || animationTimerId_ == 0) return;
    const long long elapsed = platform_.LocalSeconds() - animationStart_;
    // Compared as unsigned: 0xFFFFFFFF seconds never pass, and a clock put
    // back before the start ends the animation.
    const bool expired = animationDuration_ != 0 && static_cast<DWORD>(elapsed) > animationDuration_;
    if (expired) {
        StopAnimation();
    } else {
        StepAnimation();
    }
}

// The worker sends the icon changes itself, with a copy of the record that
// changes only in its frame; while it runs, the window's record still holds
// the icon to restore, and the shell shows something else.
void CSystemTray::StartWorker(int index) {
    NOTIFYICONDATAW record = record_;
    record.uFlags = NIF_ICON;
    auto worker = std::unique_ptr<Worker>(new Worker{platform_, record, frameList_, index,
                                                     UniqueHandle(::CreateEventA(nullptr, TRUE, FALSE, nullptr)),
                                                     UniqueHandle()});
    // A worker that cannot be woken would not pause either.
    if (!enabled_ || !worker->wake) return;
    worker->thread.Reset(::CreateThread(nullptr, 0, &CSystemTray::RunWorker, worker.get(), 0, nullptr));
    if (!worker->thread) return;
    workerFramesShown_ = true;
    worker_ = std::move(worker);
}

// Wakes the worker from its pause and waits for it; it may be in the middle
// of a step, which it finishes first.
int CSystemTray::StopWorker() {
    if (!worker_) return 0;
    ::SetEvent(worker_->wake.Get());
    ::WaitForSingleObject(worker_->thread.Get(), INFINITE);
    const int index = worker_->frameIndex;
    worker_.reset();
    return index;
}

DWORD WINAPI CSystemTray::RunWorker(LPVOID parameter) {
    Worker& worker = *static_cast<Worker*>(parameter);
    const int count = static_cast<int>(worker.frames.size());
    do {
        if (++worker.frameIndex >= count) worker.frameIndex = 0;
        worker.record.hIcon = worker.frames[worker.frameIndex];
        worker.platform.NotifyIcon(NIM_MODIFY, worker.record);
    } while (worker.platform.WaitBetweenFrames(worker.wake.Get(), kWorkerStepMs) != WAIT_OBJECT_0);
    return 0;
}

}  // namespace kov
