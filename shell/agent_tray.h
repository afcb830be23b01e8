#pragma once
// The agent's tray on the UI thread: the icon in the notification area, its
// two menus and the icons at the notification area's size. It applies the
// core's tray views and balloons as they come. Created when the main window
// exists and destroyed before it, on the UI thread, which alone uses it.
#include <windows.h>

#include <functional>
#include <memory>

#include "core/platform.h"
#include "core/texts.h"
#include "shell/agent_menus.h"
#include "shell/system_tray.h"
#include "shell/tray_icons.h"

namespace kov {

class AgentTray {
public:
    // The icon's callback message (WM_TRAY_NOTIFY) and its id.
    static const UINT kNotifyMessage;
    static const UINT kIconId;

    // The menus' texts must outlive the tray and stay unchanged.
    AgentTray(const Texts& texts, TrayPlatform& shell);

    // The icon's commands go to mainWindow.
    void Create(const TrayStart& start, HWND mainWindow);
    void Show(const TrayView& view);
    void ShowBalloon(const BalloonTip& balloon);
    // The icons again, at the small-icon size of the new DPI.
    void OnDpiChanged(UINT dpi);
    // Runs a call that blocks the UI thread; the connecting animation goes on
    // meanwhile.
    void KeepAnimatingDuring(const std::function<void()>& blockingCall) {
        tray_.KeepAnimatingDuring(blockingCall);
    }

    // Before Create.
    void SetDiagnosticLog(std::shared_ptr<DiagnosticLog> log) { tray_.SetDiagnosticLog(std::move(log)); }
    const CSystemTray& Tray() const { return tray_; }
    const AgentMenus& Menus() const { return menus_; }

    using PlaySoundFunction = BOOL(WINAPI*)(LPCSTR sound, HMODULE module, DWORD flags);

private:
    HICON Icon(TrayIcon icon);
    void ShowIcon(const IconView& icon);
    void PlayNewMessageSound();

    const Texts& texts_;
    // Before the tray, so that the icons outlive it.
    std::unique_ptr<TrayIconSet> icons_;
    CSystemTray tray_;
    AgentMenus menus_;
    // Loaded by the first sound.
    PlaySoundFunction playSound_ = nullptr;
};

}  // namespace kov
