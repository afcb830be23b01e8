#pragma once
// Base of the shell's windows and dialogs: binds a window handle to its C++
// object and hands the window's messages to member handlers.
//
// The binding lives in a window property, the one per-window store Windows
// offers, so the framework keeps no table of its own. Everything here runs on
// the thread that owns the window.
#include <windows.h>

namespace kov {

class Menu;

class Window {
public:
    Window() = default;
    // Destroys the window this object created, if it still exists.
    virtual ~Window();

    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND Handle() const { return hwnd_; }

    // The object bound to a window of this process, or null for any other window.
    static Window* FromHandle(HWND hwnd);

    // Registers a window class served by this framework. Registering a name that
    // is already registered succeeds, so every creator may call it.
    static bool RegisterWindowClass(const char* className, UINT classStyle = 0);

    // Creates a window of a class registered above and binds it to this object.
    bool CreateEx(DWORD exStyle, const char* className, const char* title, DWORD style,
                  const RECT& bounds, HWND parent, HMENU menu);
    void Destroy();

    // The menu this window owns while Menu::TrackPopup shows it, else null.
    Menu* TrackedMenu() const { return trackedMenu_; }

protected:
    // Handles one message and sets its result; false leaves the message to the
    // default processing. The base routes WM_TIMER, WM_COMMAND, and the
    // owner-draw requests and typed access keys of menus; derived windows
    // handle more and call it.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    virtual bool OnTimer(UINT_PTR /*timerId*/) { return false; }
    virtual bool OnCommand(UINT /*id*/, UINT /*notifyCode*/, HWND /*control*/) { return false; }

    void Attach(HWND hwnd);
    void Detach();

private:
    friend class Menu;

    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    bool RouteMeasureItem(MEASUREITEMSTRUCT& item);
    bool RouteDrawItem(const DRAWITEMSTRUCT& item);

    HWND hwnd_ = nullptr;
    bool created_ = false;
    Menu* trackedMenu_ = nullptr;
};

// A modal dialog built from a dialog template in the program's resources.
class Dialog : public Window {
public:
    explicit Dialog(UINT templateId) : templateId_(templateId) {}

    // Runs the dialog until EndDialog; returns the value given to it, or -1
    // when the dialog could not be created.
    INT_PTR RunModal(HWND parent = nullptr);
    void EndDialog(INT_PTR result);

protected:
    // Return TRUE to let the dialog put the focus on its first tab stop.
    virtual BOOL OnInitDialog() { return TRUE; }
    // The OK button or Enter.
    virtual void OnOK() { EndDialog(IDOK); }
    // The Cancel button, Escape or the close box.
    virtual void OnCancel() { EndDialog(IDCANCEL); }

    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    static INT_PTR CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    UINT templateId_;
};

}  // namespace kov
