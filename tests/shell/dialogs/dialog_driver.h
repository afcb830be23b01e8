#pragma once
// Runs a modal dialog on the test's thread while a script drives it from a
// second thread, as a consultant would: characters, keys, clicks and pastes
// reach the dialog's controls as window messages.
#include <windows.h>

#include <functional>
#include <string>

namespace kov::test {

// What the script gets: the dialog, and a way to wait until the dialog's
// thread has handled everything posted to it so far.
class Driver {
public:
    Driver(HWND dialog, HWND marker) : dialog(dialog), marker_(marker) {}

    // Posted messages come out of a thread's queue in order: a marker posted
    // after them is seen after them (or the dialog has ended).
    void Settle() const;
    void Cancel() const { ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0); }
    // Enter or Escape as the dialog's message loop sees them.
    void PressKey(HWND control, UINT virtualKey) const;

    const HWND dialog;

private:
    HWND marker_;
};

struct DialogRun {
    INT_PTR result = 0;
    // False when the dialog did not show, or was still open after the script
    // and had to be cancelled by the driver.
    bool endedByScript = false;
};

// Runs `runModal`, which shows a dialog titled `caption`, on this thread and
// `script` on another once the dialog is visible.
DialogRun RunDriven(const std::function<INT_PTR()>& runModal, const std::wstring& caption,
                    const std::function<void(const Driver&)>& script);

HWND Item(HWND dialog, int id);
// WM_CHAR for each character, as typing does.
void Type(HWND control, const std::wstring& text);
void Backspace(HWND control);
// Through the clipboard and WM_PASTE.
void Paste(HWND control, const std::wstring& text);
std::wstring Text(HWND window);
bool IsEnabled(HWND window);
// The work area of the screen the window is on.
RECT WorkAreaOf(HWND window);

}  // namespace kov::test
