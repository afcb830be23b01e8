// The window framework: binding objects to windows, message dispatch, modal
// dialogs, the menu wrapper and the routing of owner-draw menu requests.
#include <gtest/gtest.h>

#include <tuple>

#include "tray_test_support.h"

namespace kov::test {
namespace {

constexpr char kProbeClass[] = "KovarentisFrameworkProbe";
constexpr UINT kTestDialog = 310;

class ProbeWindow : public Window {
public:
    std::vector<UINT_PTR> timers;
    std::vector<std::tuple<UINT, UINT, HWND>> commands;

protected:
    bool OnTimer(UINT_PTR timerId) override {
        timers.push_back(timerId);
        return true;
    }
    bool OnCommand(UINT id, UINT notifyCode, HWND control) override {
        commands.emplace_back(id, notifyCode, control);
        return true;
    }
};

TEST(FrameworkWindowTest, BindsTheObjectForTheLifeOfTheWindow) {
    ASSERT_TRUE(Window::RegisterWindowClass(kProbeClass));
    EXPECT_TRUE(Window::RegisterWindowClass(kProbeClass)) << "a second registration succeeds";
    EXPECT_FALSE(Window::RegisterWindowClass("BUTTON")) << "a class served by another procedure";

    HWND hwnd = nullptr;
    {
        ProbeWindow window;
        ASSERT_TRUE(window.CreateEx(0, kProbeClass, "probe title", WS_POPUP, RECT{0, 0, 5, 5},
                                    nullptr, nullptr));
        hwnd = window.Handle();
        EXPECT_EQ(Window::FromHandle(hwnd), &window);
        EXPECT_FALSE(window.CreateEx(0, kProbeClass, "", WS_POPUP, RECT{}, nullptr, nullptr))
            << "one window per object";
        char title[32] = {};
        EXPECT_EQ(::GetWindowTextA(hwnd, title, sizeof title), 11) << "default processing";

        window.Destroy();
        EXPECT_EQ(window.Handle(), nullptr);
        EXPECT_FALSE(::IsWindow(hwnd));
        EXPECT_EQ(Window::FromHandle(hwnd), nullptr);

        ASSERT_TRUE(window.CreateEx(0, kProbeClass, "", WS_POPUP, RECT{}, nullptr, nullptr));
        hwnd = window.Handle();
    }
    EXPECT_FALSE(::IsWindow(hwnd)) << "the object's end destroys its window";
    EXPECT_EQ(Window::FromHandle(nullptr), nullptr);
    EXPECT_EQ(Window::FromHandle(::GetDesktopWindow()), nullptr);
}

TEST(FrameworkWindowTest, TimersAndCommandsReachTheirHandlers) {
    ASSERT_TRUE(Window::RegisterWindowClass(kProbeClass));
    ProbeWindow window;
    ASSERT_TRUE(window.CreateEx(0, kProbeClass, "", WS_POPUP, RECT{}, nullptr, nullptr));
    ::SendMessageA(window.Handle(), WM_COMMAND, MAKEWPARAM(7, 3), reinterpret_cast<LPARAM>(window.Handle()));
    EXPECT_EQ(window.commands, (std::vector<std::tuple<UINT, UINT, HWND>>{{7, 3, window.Handle()}}));

    ASSERT_NE(::SetTimer(window.Handle(), 5, 10, nullptr), 0u);
    ASSERT_TRUE(PumpUntil([&] { return !window.timers.empty(); }, 2000));
    ::KillTimer(window.Handle(), 5);
    EXPECT_EQ(window.timers.front(), 5u);
}

TEST(FrameworkMenuTest, OwnsAndEditsItsPopupMenu) {
    HMENU handle = nullptr;
    {
        Menu menu;
        EXPECT_FALSE(menu.Append(MF_STRING, 1, "no menu yet"));
        ASSERT_TRUE(menu.CreatePopup());
        handle = menu.Handle();
        EXPECT_EQ(Menu::FromHandle(handle), &menu);
        ASSERT_TRUE(menu.Append(MF_STRING, 300, "Online"));
        ASSERT_TRUE(menu.Append(MF_SEPARATOR, 0, nullptr));
        ASSERT_TRUE(menu.Append(MF_STRING, 305, "Close"));
        EXPECT_EQ(::GetMenuItemCount(handle), 3);
        EXPECT_EQ(menu.ItemId(2), 305u);
        EXPECT_EQ(menu.ItemId(7), static_cast<UINT>(-1));

        EXPECT_EQ(menu.CheckItem(300, MF_BYCOMMAND | MF_CHECKED), static_cast<DWORD>(MF_UNCHECKED));
        EXPECT_TRUE(::GetMenuState(handle, 300, MF_BYCOMMAND) & MF_CHECKED);
        EXPECT_EQ(menu.CheckItem(300, MF_BYCOMMAND | MF_UNCHECKED), static_cast<DWORD>(MF_CHECKED));
        EXPECT_EQ(menu.CheckItem(999, MF_BYCOMMAND | MF_CHECKED), static_cast<DWORD>(-1));

        EXPECT_TRUE(menu.SetDefaultItem(305, false));
        EXPECT_EQ(::GetMenuDefaultItem(handle, FALSE, 0), 305u);
        EXPECT_TRUE(menu.SetDefaultItem(0, true));
        EXPECT_EQ(::GetMenuDefaultItem(handle, TRUE, 0), 0u);

        ASSERT_TRUE(menu.CreatePopup());
        EXPECT_FALSE(::IsMenu(handle)) << "the old menu is destroyed";
        handle = menu.Handle();
    }
    EXPECT_FALSE(::IsMenu(handle)) << "the object's end destroys its menu";

    UniqueMenu foreign(::CreatePopupMenu());
    EXPECT_EQ(Menu::FromHandle(foreign.Get()), nullptr);
    EXPECT_EQ(Menu::FromHandle(nullptr), nullptr);
}

TEST(FrameworkMenuTest, FindsTheMenuThatHoldsAnItem) {
    Menu top;
    Menu sub;
    ASSERT_TRUE(top.CreatePopup());
    ASSERT_TRUE(sub.CreatePopup());
    top.Append(MF_STRING, 1, "top item");
    top.Append(MF_POPUP, reinterpret_cast<UINT_PTR>(sub.Handle()), "sub");
    sub.Append(MF_STRING, 2, "sub item");
    sub.Append(MF_SEPARATOR, 0, nullptr);
    EXPECT_EQ(top.FindMenuHolding(1), &top);
    EXPECT_EQ(top.FindMenuHolding(2), &sub);
    EXPECT_EQ(top.FindMenuHolding(0), &sub) << "a separator has id 0";
    EXPECT_EQ(top.FindMenuHolding(3), nullptr);
}

TEST(FrameworkMenuTest, OwnerRoutesOwnerDrawRequestsOfTheTrackedMenu) {
    static const char kFirst[] = "first";
    static const char kSeparator[] = "";
    TargetWindow owner;
    RecordingMenu menu;
    ASSERT_TRUE(menu.CreatePopup());
    menu.Append(MF_OWNERDRAW, 11, kFirst);
    menu.Append(MF_OWNERDRAW | MF_SEPARATOR, 0, kSeparator);

    menu.TrackPopup(TPM_RIGHTBUTTON, 100, 100, owner.Handle());
    EXPECT_EQ(owner.menusShown, 1);
    EXPECT_EQ(menu.measured, (std::vector<UINT>{11, 0}));
    EXPECT_FALSE(menu.drawn.empty());
    EXPECT_EQ(owner.TrackedMenu(), nullptr);

    // Requests outside a tracking are left to the default processing.
    MEASUREITEMSTRUCT measure{};
    measure.CtlType = ODT_MENU;
    measure.itemID = 11;
    EXPECT_EQ(::SendMessageA(owner.Handle(), WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure)), 0);
    EXPECT_EQ(menu.measured.size(), 2u);
}

class ProbeDialog : public Dialog {
public:
    ProbeDialog() : Dialog(kTestDialog) {}
    Window* boundAtInit = nullptr;
    int cancels = 0;
    RecordingMenu menu;
    int menusShown = 0;

protected:
    BOOL OnInitDialog() override {
        boundAtInit = FromHandle(Handle());
        ::PostMessageA(Handle(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        ::PostMessageA(Handle(), WM_APP, 0, 0);
        return TRUE;
    }
    void OnCancel() override { ++cancels; }  // stays open, as the agent's main window does
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        if (message == WM_APP) {
            // The main window's case: the dialog owns the tracked owner-drawn menu.
            menu.TrackPopup(TPM_RIGHTBUTTON, 50, 50, Handle());
            EndDialog(42);
            return true;
        }
        if (message == WM_ENTERIDLE && wParam == MSGF_MENU) {
            ++menusShown;
            ::EndMenu();
        }
        return Dialog::OnMessage(message, wParam, lParam, result);
    }
};

TEST(FrameworkDialogTest, RunsModallyWithItsOwnHandlers) {
    static const char kItem[] = "item";
    ProbeDialog dialog;
    ASSERT_TRUE(dialog.menu.CreatePopup());
    dialog.menu.Append(MF_OWNERDRAW, 21, kItem);

    EXPECT_EQ(dialog.RunModal(), 42);
    EXPECT_EQ(dialog.boundAtInit, &dialog);
    EXPECT_EQ(dialog.cancels, 1);
    EXPECT_EQ(dialog.menusShown, 1);
    EXPECT_EQ(dialog.menu.measured, (std::vector<UINT>{21}));
    EXPECT_FALSE(dialog.menu.drawn.empty());
    EXPECT_EQ(dialog.Handle(), nullptr) << "unbound once the dialog is gone";
}

class PlainDialog : public Dialog {
public:
    PlainDialog() : Dialog(kTestDialog) {}

protected:
    BOOL OnInitDialog() override {
        ::PostMessageA(Handle(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return TRUE;
    }
};

TEST(FrameworkDialogTest, OkEndsByDefaultAndAMissingTemplateFails) {
    PlainDialog plain;
    EXPECT_EQ(plain.RunModal(), IDOK);
    Dialog missing(999);
    EXPECT_EQ(missing.RunModal(), -1);
}

}  // namespace
}  // namespace kov::test
