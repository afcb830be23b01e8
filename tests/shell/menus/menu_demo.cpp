// Shows the agent's tray icon with one of its two menus, for screenshots:
//   menu_demo.exe main|signed-out REPORT_FILE SECONDS
// A right click on the icon opens the menu. The main menu carries the check
// on Online, the agent's status after a successful poll. Once the menu is
// open, REPORT_FILE gets its screen rectangle "left top width height" and the
// centre "x y" of its fourth item, so that a script can crop the screenshot
// and point at an item. The program ends by itself after SECONDS.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/texts.h"
#include "shell/system_tray.h"
#include "shell/texts_loader.h"

namespace {

constexpr char kOwnerClass[] = "KovarentisMenuDemo";
constexpr UINT_PTR kEndTimer = 1;

// Stands in for the agent's main window: owner of the popup; the tray's
// commands it gets are ignored, the demo only shows the menus.
class DemoWindow : public kov::Window {
public:
    DemoWindow(const char* reportFile, UINT seconds) : reportFile_(reportFile) {
        RegisterWindowClass(kOwnerClass);
        CreateEx(WS_EX_TOOLWINDOW, kOwnerClass, "", WS_POPUP, RECT{0, 0, 0, 0}, nullptr, nullptr);
        ::SetTimer(Handle(), kEndTimer, seconds * 1000, nullptr);
    }

    kov::Menu* shown = nullptr;

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        if (message == WM_ENTERIDLE && wParam == MSGF_MENU) Report(reinterpret_cast<HWND>(lParam));
        return Window::OnMessage(message, wParam, lParam, result);
    }
    bool OnTimer(UINT_PTR timerId) override {
        if (timerId != kEndTimer) return false;
        ::EndMenu();
        ::PostQuitMessage(0);
        return true;
    }
private:
    void Report(HWND popup) {
        if (reported_ || !TrackedMenu()) return;
        reported_ = true;
        RECT window{};
        RECT fourth{};
        ::GetWindowRect(popup, &window);
        ::GetMenuItemRect(nullptr, TrackedMenu()->Handle(), 3, &fourth);
        if (FILE* out = std::fopen(reportFile_, "w")) {
            std::fprintf(out, "%ld %ld %ld %ld %ld %ld\n", window.left, window.top,
                         window.right - window.left, window.bottom - window.top,
                         (fourth.left + fourth.right) / 2, (fourth.top + fourth.bottom) / 2);
            std::fclose(out);
        }
    }

    const char* reportFile_;
    bool reported_ = false;
};

}  // namespace

int WINAPI WinMain(HINSTANCE program, HINSTANCE, LPSTR, int) {
    if (__argc < 4) return 2;
    const bool signedIn = std::strcmp(__argv[1], "main") == 0;
    ::SetThreadLocale(MAKELCID(1049, SORT_DEFAULT));

    DemoWindow owner(__argv[2], static_cast<UINT>(std::atoi(__argv[3])));
    const kov::Texts texts = kov::LoadTexts(program);
    kov::CSystemTray tray(texts);
    const kov::TextId status = signedIn ? kov::TextId::Online : kov::TextId::NotSignedIn;
    const std::string tooltip = std::string(kov::kCaption) + ": " + texts[status];
    tray.Create({tooltip, kov::TrayIcon::Online, kov::Command::OpenConsultPage}, owner.Handle());
    kov::TrayView view;
    view.menu = signedIn ? kov::MenuKind::Main : kov::MenuKind::SignedOut;
    view.checkedCommand = kov::Command::StatusOnline;
    tray.Show(view);

    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    return 0;
}
