#include "shell/framework/window.h"

#include "shell/framework/menu.h"
#include "winsupport/wide_text.h"

namespace kov {
namespace {

// Window property that carries the Window object of a window.
constexpr char kObjectProperty[] = "Kovarentis.Window";

HINSTANCE ProgramInstance() { return ::GetModuleHandleA(nullptr); }

// Dialog procedures return these messages' results themselves instead of
// through DWLP_MSGRESULT.
bool DialogReturnsDirectly(UINT message) {
    switch (message) {
    case WM_INITDIALOG:
    case WM_CHARTOITEM:
    case WM_VKEYTOITEM:
    case WM_COMPAREITEM:
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return true;
    default:
        return false;
    }
}

}  // namespace

Window::~Window() { Destroy(); }

Window* Window::FromHandle(HWND hwnd) {
    if (!hwnd) return nullptr;
    DWORD process = 0;
    ::GetWindowThreadProcessId(hwnd, &process);
    if (process != ::GetCurrentProcessId()) return nullptr;
    return static_cast<Window*>(::GetPropA(hwnd, kObjectProperty));
}

// Unicode windows throughout, so that text reaches them unconverted by the
// system's ANSI code page.
bool Window::RegisterWindowClass(const char* className, UINT classStyle) {
    const WideString name = WideFrom1251(className);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (::GetClassInfoExW(ProgramInstance(), name.c_str(), &existing)) {
        return existing.lpfnWndProc == &Window::Procedure;
    }
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = classStyle;
    windowClass.lpfnWndProc = &Window::Procedure;
    windowClass.hInstance = ProgramInstance();
    windowClass.lpszClassName = name.c_str();
    return ::RegisterClassExW(&windowClass) != 0;
}

bool Window::CreateEx(DWORD exStyle, const char* className, const char* title, DWORD style,
                      const RECT& bounds, HWND parent, HMENU menu) {
    if (hwnd_) return false;
    // The object arrives as the creation parameter and is bound at WM_NCCREATE.
    const HWND hwnd = ::CreateWindowExW(exStyle, WideFrom1251(className).c_str(),
                                        WideFrom1251(title).c_str(), style, bounds.left, bounds.top,
                                        bounds.right - bounds.left, bounds.bottom - bounds.top,
                                        parent, menu, ProgramInstance(), this);
    created_ = hwnd != nullptr;
    return created_;
}

void Window::Destroy() {
    if (created_ && hwnd_) ::DestroyWindow(hwnd_);  // WM_NCDESTROY detaches
}

void Window::Attach(HWND hwnd) {
    ::SetPropA(hwnd, kObjectProperty, this);
    hwnd_ = hwnd;
}

void Window::Detach() {
    if (hwnd_) ::RemovePropA(hwnd_, kObjectProperty);
    hwnd_ = nullptr;
    created_ = false;
}

LRESULT CALLBACK Window::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* self = FromHandle(hwnd);
    if (!self && message == WM_NCCREATE) {
        self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        if (self) self->Attach(hwnd);
    }
    LRESULT result = 0;
    if (!self || !self->OnMessage(message, wParam, lParam, result)) {
        result = ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (self && message == WM_NCDESTROY) self->Detach();
    return result;
}

bool Window::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_TIMER:
        return OnTimer(wParam);
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_MEASUREITEM:
        if (!RouteMeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam))) return false;
        result = TRUE;
        return true;
    case WM_DRAWITEM:
        if (!RouteDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return false;
        result = TRUE;
        return true;
    case WM_MENUCHAR: {
        Menu* menu = Menu::FromHandle(reinterpret_cast<HMENU>(lParam));
        return menu && menu->MenuChar(static_cast<wchar_t>(LOWORD(wParam)), result);
    }
    default:
        return false;
    }
}

// A measure request names no menu, only an item: it belongs to the menu this
// window is tracking, or to the sub-menu of it that holds the item.
bool Window::RouteMeasureItem(MEASUREITEMSTRUCT& item) {
    if (item.CtlType != ODT_MENU || !trackedMenu_) return false;
    Menu* holder = trackedMenu_->FindMenuHolding(item.itemID);
    if (!holder) return false;
    holder->MeasureItem(item);
    return true;
}

// A draw request carries its menu's handle, which leads to the menu object.
bool Window::RouteDrawItem(const DRAWITEMSTRUCT& item) {
    if (item.CtlType != ODT_MENU) return false;
    Menu* menu = Menu::FromHandle(reinterpret_cast<HMENU>(item.hwndItem));
    if (!menu) return false;
    menu->DrawItem(item);
    return true;
}

INT_PTR Dialog::RunModal(HWND parent) {
    return ::DialogBoxParamW(ProgramInstance(), MAKEINTRESOURCEW(templateId_), parent,
                             &Dialog::Procedure, reinterpret_cast<LPARAM>(this));
}

void Dialog::EndDialog(INT_PTR result) {
    if (Handle()) ::EndDialog(Handle(), result);
}

bool Dialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == WM_INITDIALOG) {
        result = OnInitDialog();
        return true;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDOK) {
            OnOK();
            return true;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            return true;
        }
    }
    return Window::OnMessage(message, wParam, lParam, result);
}

INT_PTR CALLBACK Dialog::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    // Only dialogs run this procedure, so the bound object is a Dialog.
    auto* self = static_cast<Dialog*>(FromHandle(hwnd));
    if (!self && message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        self->Attach(hwnd);
    }
    if (!self) return FALSE;
    LRESULT result = 0;
    const bool handled = self->OnMessage(message, wParam, lParam, result);
    if (message == WM_NCDESTROY) self->Detach();
    if (!handled) return FALSE;
    if (DialogReturnsDirectly(message)) return result;
    ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}

}  // namespace kov
