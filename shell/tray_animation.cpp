// The frame animation of the tray icon, and the icons' replacement by
// others of the same pictures.
#include <exception>

#include "shell/system_tray.h"

namespace kov {
namespace {

// The worker's pace, whatever period Animate was given.
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
    std::vector<HICON> frames;
    bool built = true;
    try {
        frames.assign(icons, icons + count);
    } catch (const std::exception&) {
        built = false;
    }
    {
        std::lock_guard<std::mutex> control(animationControl_);
        std::lock_guard<std::mutex> lock(recordLock_);
        frameList_.swap(frames);
    }
    if (!built) ReportOutOfMemory();  // not while other threads wait for the locks
    return built ? TRUE : FALSE;
}

void CSystemTray::ReplaceIcons(const std::function<HICON(HICON)>& replace) {
    std::lock_guard<std::mutex> control(animationControl_);
    std::lock_guard<std::mutex> lock(recordLock_);
    for (HICON& frame : frameList_) frame = replace(frame);
    if (savedIcon_) savedIcon_ = replace(savedIcon_);
    if (enabled_ && record_.hIcon) SetIconHeld(replace(record_.hIcon));
    ReleaseUnusedIcons();
}

BOOL CSystemTray::Animate(UINT periodMs, DWORD durationSeconds, BOOL useWorker) {
    std::lock_guard<std::mutex> control(animationControl_);
    {
        std::lock_guard<std::mutex> lock(recordLock_);
        if (frameList_.empty()) return FALSE;  // a running animation goes on
    }
    StopAnimationHeld();

    std::lock_guard<std::mutex> lock(recordLock_);
    frameIndex_ = 0;
    animationStart_ = platform_.LocalSeconds();
    animationDuration_ = durationSeconds;
    savedIcon_ = enabled_ ? record_.hIcon : nullptr;
    if (useWorker) {
        StartWorker();
        return FALSE;
    }
    // Without its window the tray would get a thread timer that nobody handles.
    if (!Handle()) return FALSE;
    animationTimerId_ = ANIMATION_TIMER;
    animationPeriodMs_ = periodMs;
    if (!OnWindowThread()) {
        // A window's timers are set by its own thread: the tray's thread arms it.
        if (::PostMessageA(Handle(), WM_ARM_ANIMATION_TIMER, 0, 0)) return TRUE;
        animationTimerId_ = 0;
        return FALSE;
    }
    ArmAnimationTimerHeld();
    return animationTimerId_ != 0 ? TRUE : FALSE;
}

void CSystemTray::ArmAnimationTimer() {
    std::lock_guard<std::mutex> control(animationControl_);
    std::lock_guard<std::mutex> lock(recordLock_);
    ArmAnimationTimerHeld();
}

// Stopped or replaced meanwhile: animationTimerId_ tells, nothing is armed.
void CSystemTray::ArmAnimationTimerHeld() {
    if (animationTimerId_ == 0) return;
    animationTimerId_ = ::SetTimer(Handle(), ANIMATION_TIMER, animationPeriodMs_, nullptr);
}

bool CSystemTray::OnWindowThread() const {
    return ::GetWindowThreadProcessId(Handle(), nullptr) == ::GetCurrentThreadId();
}

// Frame 0 is shown last in each cycle: the index moves before the frame shows.
BOOL CSystemTray::StepAnimation() {
    std::lock_guard<std::mutex> lock(recordLock_);
    if (frameList_.empty()) return FALSE;
    if (++frameIndex_ >= static_cast<int>(frameList_.size())) frameIndex_ = 0;
    const BOOL result = SetIconHeld(frameList_[frameIndex_]);
    ReleaseUnusedIcons();
    return result;
}

BOOL CSystemTray::StopAnimation() {
    std::lock_guard<std::mutex> control(animationControl_);
    return StopAnimationHeld();
}

BOOL CSystemTray::StopAnimationHeld() {
    BOOL killed = FALSE;
    {
        std::lock_guard<std::mutex> lock(recordLock_);
        if (animationTimerId_ != 0) {
            // Another thread only marks it stopped; the tray's thread kills the
            // timer at its next tick.
            killed = OnWindowThread() ? ::KillTimer(Handle(), animationTimerId_) : TRUE;
            animationTimerId_ = 0;
        }
    }
    // Without recordLock_: the worker needs it to finish its step.
    StopWorker();

    // Only now, so that no step of the worker can overwrite the restored icon.
    std::lock_guard<std::mutex> lock(recordLock_);
    if (savedIcon_) {
        SetIconHeld(savedIcon_);
        savedIcon_ = nullptr;
        ReleaseUnusedIcons();
    }
    return killed;
}

void CSystemTray::OnAnimationTimer(UINT_PTR timerId) {
    // Taken first so that no Animate on another thread can slip in between
    // the check below and the step or stop it decides on.
    std::lock_guard<std::mutex> control(animationControl_);
    bool expired = false;
    {
        std::lock_guard<std::mutex> lock(recordLock_);
        if (timerId != ANIMATION_TIMER) return;
        if (animationTimerId_ == 0) {
            ::KillTimer(Handle(), timerId);  // stopped from another thread
            return;
        }
        const long long elapsed = platform_.LocalSeconds() - animationStart_;
        // Compared as unsigned: 0xFFFFFFFF seconds never pass, and a clock put
        // back before the start ends the animation.
        expired = animationDuration_ != 0 && static_cast<DWORD>(elapsed) > animationDuration_;
    }
    if (expired) {
        StopAnimationHeld();
    } else {
        StepAnimation();
    }
}

void CSystemTray::StartWorker() {
    if (!workerWake_) return;  // a worker that cannot be woken would not pause either
    ::ResetEvent(workerWake_.Get());
    animationRunning_.store(true);
    animationWorker_.Reset(::CreateThread(nullptr, 0, &CSystemTray::AnimationWorker, this, 0, nullptr));
    if (!animationWorker_) animationRunning_.store(false);
}

// Ends the worker, waking it from its pause; it may be in the middle of a
// step, which it finishes first.
void CSystemTray::StopWorker() {
    if (!animationWorker_) return;
    animationRunning_.store(false);
    ::SetEvent(workerWake_.Get());
    ::WaitForSingleObject(animationWorker_.Get(), INFINITE);
    animationWorker_.Reset();
}

DWORD WINAPI CSystemTray::AnimationWorker(LPVOID parameter) {
    auto* tray = static_cast<CSystemTray*>(parameter);
    while (tray->animationRunning_.load()) {
        tray->StepAnimation();
        if (tray->platform_.WaitBetweenFrames(tray->workerWake_.Get(), kWorkerStepMs) ==
            WAIT_OBJECT_0) {
            break;
        }
    }
    return 0;
}

}  // namespace kov
