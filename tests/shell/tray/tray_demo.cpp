// Shows the tray icon with its tooltip, and a balloon after twelve seconds, for
// tools/tray-screenshot.sh; ends by itself after the number of seconds given
// on the command line (default 40).
#include <windows.h>

#include <cstdlib>

#include "core/texts.h"
#include "shell/system_tray.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    const int seconds = std::atoi(commandLine) > 0 ? std::atoi(commandLine) : 40;
    const kov::Texts texts;
    kov::CSystemTray tray(texts);
    // "Kovarentis : Онлайн", in Windows-1251; no owner, so clicks do nothing.
    tray.Create({"Kovarentis : \xCE\xED\xEB\xE0\xE9\xED", kov::TrayIcon::Online, kov::Command::OpenConsultPage},
                nullptr);

    const UINT_PTR balloonTimer = ::SetTimer(nullptr, 0, 12000, nullptr);
    const UINT_PTR endTimer = ::SetTimer(nullptr, 0, static_cast<UINT>(seconds) * 1000, nullptr);
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && message.hwnd == nullptr) {
            if (message.wParam == endTimer) break;
            if (message.wParam == balloonTimer) {
                ::KillTimer(nullptr, balloonTimer);
                // "Нет связи с сервером" (no connection to the server).
                tray.ShowBalloon({"\xCD\xE5\xF2 \xF1\xE2\xFF\xE7\xE8 \xF1 \xF1\xE5\xF0\xE2\xE5\xF0\xEE\xEC",
                                  "Kovarentis ", kov::BalloonKind::Warning, 10});
            }
            continue;
        }
        ::DispatchMessageA(&message);
    }
    return 0;
}
