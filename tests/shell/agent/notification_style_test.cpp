// The core's notification words on Windows: balloon kinds as the shell's
// record flags and click commands, the notification states that mean "busy",
// and a balloon asked for by a worker reaching the tray with its click.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "shell/framework/menu.h"
#include "shell/framework/window.h"
#include "shell/notification_style.h"
#include "shell/system_tray.h"
#include "winsupport/wide_text.h"
#include "net/service_request.h"
#include "shell/windows_platform.h"
// Last: its macros would rename the core's constants of the same names.
#include "shell/res/resource.h"

namespace kov::test {
namespace {

TEST(NotificationStyle, FullScreenPresentationAndQuietTimeAreBusy) {
    for (const auto busy : {QUNS_BUSY, QUNS_RUNNING_D3D_FULL_SCREEN, QUNS_PRESENTATION_MODE, QUNS_QUIET_TIME}) {
        EXPECT_TRUE(IsBusyState(busy)) << busy;
    }
    for (const auto free : {QUNS_ACCEPTS_NOTIFICATIONS, QUNS_NOT_PRESENT, QUNS_APP}) {
        EXPECT_FALSE(IsBusyState(free)) << free;
    }
    EXPECT_FALSE(IsBusyState(static_cast<QUERY_USER_NOTIFICATION_STATE>(99))) << "a state yet unknown";
}

// The balloon records the tray hands to the shell.
class BalloonRecordingShell final : public TrayPlatform {
public:
    BOOL NotifyIcon(DWORD, const NOTIFYICONDATAW& record) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (record.uFlags & NIF_INFO) {
            balloons_.push_back({NarrowTo1251(record.szInfo).value_or("?"), record.dwInfoFlags});
        }
        return TRUE;
    }
    struct Balloon {
        std::string text;
        DWORD flags;
    };
    std::vector<Balloon> Balloons() {
        std::lock_guard<std::mutex> lock(mutex_);
        return balloons_;
    }

private:
    std::mutex mutex_;
    std::vector<Balloon> balloons_;
};

// The main window: records the tray's commands.
class Host final : public Window {
public:
    Host() {
        RegisterWindowClass("KovarentisBalloonTestHost");
        CreateEx(0, "KovarentisBalloonTestHost", "host", WS_POPUP, RECT{0, 0, 0, 0}, nullptr, nullptr);
    }
    std::vector<Command> commands;

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        if (message == CSystemTray::kCommandMessage) commands.push_back(static_cast<Command>(wParam));
        return Window::OnMessage(message, wParam, lParam, result);
    }
};

void Pump(DWORD milliseconds) {
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < milliseconds) {
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
        ::Sleep(5);
    }
}

class PlatformBalloonTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform->Attach(host.Handle());
        platform->CreateTray({"tip", TrayIcon::Online, Command::OpenConsultPage});
        Pump(100);
        ASSERT_NE(platform->Tray(), nullptr);
        ASSERT_NE(platform->Tray()->Handle(), nullptr);
    }
    void TearDown() override { platform->Detach(); }

    void Show(BalloonKind kind) { platform->ShowBalloon({"text", "Kovarentis ", kind, 10}); }
    void ClickTheBalloon() {
        // The version-4 form: the shell above took NIM_SETVERSION.
        ::SendMessageA(platform->Tray()->Handle(), WM_TRAY_NOTIFY, 0,
                       MAKELPARAM(NIN_BALLOONUSERCLICK, CSystemTray::kIconId));
        Pump(100);
    }

    BalloonRecordingShell shell;
    std::shared_ptr<WindowsPlatform> platform = std::make_shared<WindowsPlatform>(
        std::make_shared<ServiceRequester>(TrustedServers("Software\\Kovarentis tests\\TrustedServers")), Texts(),
        std::make_shared<NoDiagnosticLog>(), shell);
    Host host;
};

TEST_F(PlatformBalloonTest, AClickOnANewMessageBalloonOpensTheConsultantPage) {
    Show(BalloonKind::NewMessages);
    const auto balloons = shell.Balloons();
    ASSERT_EQ(balloons.size(), 1u);
    EXPECT_EQ(balloons[0].text, "text");
    EXPECT_EQ(balloons[0].flags, static_cast<DWORD>(NIIF_INFO | NIIF_RESPECT_QUIET_TIME | NIIF_NOSOUND));
    ClickTheBalloon();
    EXPECT_EQ(host.commands, std::vector<Command>{Command::OpenConsultPage});
}

TEST_F(PlatformBalloonTest, AClickOnAFailureOrHintBalloonDoesNothingEvenAfterANewMessageBalloon) {
    const std::pair<BalloonKind, DWORD> silent[] = {{BalloonKind::Warning, NIIF_WARNING | NIIF_NOSOUND},
                                                    {BalloonKind::Hint, NIIF_INFO | NIIF_NOSOUND}};
    for (const auto& [kind, flags] : silent) {
        Show(BalloonKind::NewMessages);
        Show(kind);
        ASSERT_FALSE(shell.Balloons().empty());
        EXPECT_EQ(shell.Balloons().back().flags, flags);
        ClickTheBalloon();
    }
    EXPECT_TRUE(host.commands.empty());
}

}  // namespace
}  // namespace kov::test
