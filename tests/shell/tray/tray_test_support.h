#pragma once
// Shared pieces of the tray tests: a platform that records every shell call,
// a log that keeps its lines, the owner window that records what the tray
// posts it, and message pumping for the UI thread (the test's main thread).
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/diagnostic_log.h"
#include "core/platform.h"
#include "core/texts.h"
#include "shell/framework/menu.h"
#include "shell/framework/window.h"
#include "shell/system_tray.h"

namespace kov::test {

constexpr UINT kTrayCallback = 0x8001;  // WM_TRAY_NOTIFY
constexpr UINT kWholeIcon = NIF_MESSAGE | NIF_ICON | NIF_TIP;

struct ShellCall {
    DWORD message;
    NOTIFYICONDATAW record;
};

class FakeTrayPlatform : public TrayPlatform {
public:
    BOOL NotifyIcon(DWORD message, const NOTIFYICONDATAW& record) override;
    long long LocalSeconds() override { return clock; }
    bool ScreenReaderOn() override { return screenReader; }
    bool HighContrastOn() override { return highContrast; }

    std::vector<ShellCall> TakeCalls();
    std::size_t CallCount() const { return calls_.size(); }

    BOOL addResult = TRUE;
    BOOL modifyResult = TRUE;
    BOOL deleteResult = TRUE;
    BOOL setVersionResult = TRUE;
    // What GetLastError says after a refusal.
    DWORD refusalError = ERROR_TIMEOUT;
    long long clock = 1'000'000;
    bool screenReader = false;
    bool highContrast = false;
    // Runs inside each shell call.
    std::function<void(DWORD message, const NOTIFYICONDATAW& record)> inspect;

private:
    std::vector<ShellCall> calls_;
};

class RecordingLog final : public DiagnosticLog {
public:
    void Write(std::string_view line) override { lines.emplace_back(line); }
    std::vector<std::string> lines;
};

// A text of the record as the Windows-1251 bytes it was given as.
std::string Text(const wchar_t* recordText);
// The messages of the calls, in order.
std::vector<DWORD> Messages(const std::vector<ShellCall>& calls);

// Dispatches the UI thread's messages until the condition holds or the time
// is up; returns the condition.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs);
void PumpFor(DWORD milliseconds);

// The agent's main window as the tray sees it: it records the tray's
// commands and WM_NULL, and closes each popup menu as soon as the menu is
// idle, or chooses an item with the keyboard when asked to.
class TargetWindow : public Window {
public:
    TargetWindow();

    std::vector<Command> commands;
    int nulls = 0;
    int menusShown = 0;
    RECT menuRect{};
    // Down keys pressed before Enter (separators are skipped); 0 closes the
    // menu without a choice, with Esc when escapes is set.
    int downsBeforeEnter = 0;
    bool escapes = false;
    // A character typed into the open menu instead; 0 for none.
    wchar_t typed = 0;
    // The menu shown last, as it was while open.
    HMENU shownMenu = nullptr;

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    bool OnTimer(UINT_PTR timerId) override;

private:
    void OnMenuIdle(HWND popup);
};

// A tray over the fake platform, owned by a TargetWindow, with the
// program's icons.
class TrayTest : public ::testing::Test {
protected:
    // A hook may capture a test's locals; the tray's end still calls the shell.
    void TearDown() override { platform.inspect = nullptr; }

    // Signed out with the Online icon; the add is left among the calls.
    BOOL CreateTray(const std::string& tooltip = "Kovarentis : online",
                    Command defaultCommand = Command::OpenConsultPage);
    // The icon resource (IDI_...) of a call's icon, 0 for none of the tray's.
    int IconOf(const ShellCall& call) const { return tray.Icons().IdOf(call.record.hIcon); }
    // The one call made since the last look.
    ShellCall OnlyCall();
    void BroadcastTaskbarCreated();
    // In the version-4 form: event and icon id in lParam, the anchor in wParam.
    void Callback(UINT event, UINT iconId = CSystemTray::kIconId, POINT anchor = {});

    FakeTrayPlatform platform;
    std::shared_ptr<RecordingLog> log = std::make_shared<RecordingLog>();
    Texts texts;
    TargetWindow owner;
    CSystemTray tray{texts, platform, log};
};

TrayView SteadyView(TrayIcon icon, std::optional<std::string> tooltip = std::nullopt);
TrayView AnimationView(std::vector<TrayIcon> frames, int periodMs);

// A menu that records the owner-draw requests routed to it.
class RecordingMenu : public Menu {
public:
    std::vector<UINT> measured;
    std::vector<UINT> drawn;
    void MeasureItem(MEASUREITEMSTRUCT& item) override;
    void DrawItem(const DRAWITEMSTRUCT& item) override;
};

}  // namespace kov::test
