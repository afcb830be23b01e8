// Real popup menus tracked with a framework window as their owner: the
// owner's WM_MEASUREITEM and WM_DRAWITEM reach the CSideBarMenu being shown,
// and what it measured and painted is what the popup shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "menu_test_support.h"
#include "shell/framework/window.h"
#include "shell/side_bar_menu.h"

namespace kov::test {
namespace {

constexpr char kOwnerClass[] = "KovarentisMenuOwner";
constexpr UINT_PTR kFailsafeTimer = 1;
constexpr COLORREF kAccent = RGB(200, 210, 170);
constexpr COLORREF kSelect = RGB(120, 135, 60);
constexpr COLORREF kLine = RGB(0, 0, 5);

// Records the requests routed to it and then does the real work.
class RecordingSideBarMenu : public CSideBarMenu {
public:
    std::vector<UINT> measured;
    std::vector<DRAWITEMSTRUCT> drawn;

    void MeasureItem(MEASUREITEMSTRUCT& item) override {
        measured.push_back(item.itemID);
        CSideBarMenu::MeasureItem(item);
    }
    void DrawItem(const DRAWITEMSTRUCT& item) override {
        drawn.push_back(item);
        CSideBarMenu::DrawItem(item);
    }
};

// The main window as the menus see it. When the open menu falls idle it
// records the item rectangles and a copy of the popup's pixels, optionally
// moves the selection down once, and then closes the menu.
class OwnerWindow : public Window {
public:
    OwnerWindow() {
        Window::RegisterWindowClass(kOwnerClass);
        CreateEx(0, kOwnerClass, "", WS_POPUP, RECT{0, 0, 1, 1}, nullptr, nullptr);
    }

    HMENU tracked = nullptr;
    int selectionMoves = 0;
    std::vector<RECT> itemRects;
    std::unique_ptr<Canvas> shot;
    RECT popupRect{};

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        if (message == WM_ENTERMENULOOP) ::SetTimer(Handle(), kFailsafeTimer, 5000, nullptr);
        if (message == WM_EXITMENULOOP) ::KillTimer(Handle(), kFailsafeTimer);
        if (message == WM_ENTERIDLE && wParam == MSGF_MENU) OnMenuIdle(reinterpret_cast<HWND>(lParam));
        return Window::OnMessage(message, wParam, lParam, result);
    }
    bool OnTimer(UINT_PTR timerId) override {
        if (timerId == kFailsafeTimer) ::EndMenu();
        return timerId == kFailsafeTimer;
    }

private:
    void OnMenuIdle(HWND popup) {
        if (selectionMoves > 0) {
            --selectionMoves;
            ::PostMessageA(Handle(), WM_KEYDOWN, VK_DOWN, 0);
            return;
        }
        itemRects.clear();
        for (int position = 0; position < ::GetMenuItemCount(tracked); ++position) {
            RECT rect{};
            // No window: the popup's own, and the rectangle in screen coordinates.
            ::GetMenuItemRect(nullptr, tracked, static_cast<UINT>(position), &rect);
            itemRects.push_back(rect);
        }
        ::GetWindowRect(popup, &popupRect);
        shot = std::make_unique<Canvas>(popupRect.right - popupRect.left,
                                        popupRect.bottom - popupRect.top, RGB(1, 2, 3));
        const HDC window = ::GetWindowDC(popup);
        ::BitBlt(shot->Dc(), 0, 0, shot->Width(), shot->Height(), window, 0, 0, SRCCOPY);
        ::ReleaseDC(popup, window);
        ::EndMenu();
    }
};

struct Item {
    UINT id;
    const char* text;
};

void Fill(CSideBarMenu& menu, const std::vector<Item>& items) {
    ASSERT_TRUE(menu.Create(false));
    for (const Item& item : items) {
        ASSERT_TRUE(item.id ? menu.AppendItem(item.id, item.text) : menu.AppendSeparator());
    }
}

class MenuRoutingTest : public ::testing::Test {
protected:
    void SetUp() override {
        icons = MakeIcons({RGB(250, 0, 0), RGB(0, 250, 0), RGB(0, 0, 250), RGB(250, 250, 0),
                           RGB(0, 250, 250), RGB(250, 0, 250)});
        // Two menus that share commands 303 and 305 and separators, as the
        // agent's two menus do.
        Fill(signedIn, {{300, kOnlineText}, {301, "Away"}, {0, ""}, {303, kAboutText}, {305, "Close"}});
        Fill(signedOut, {{303, kAboutText}, {0, ""}, {304, "Sign in"}, {305, "Close"}});
        signedIn.AttachIcons(&icons);
        signedOut.AttachIcons(&icons);
        ASSERT_NE(owner.Handle(), nullptr);
    }

    void Track(RecordingSideBarMenu& menu) {
        owner.tracked = menu.Handle();
        menu.TrackPopup(TPM_RIGHTBUTTON, 100, 100, owner.Handle());
        ASSERT_TRUE(owner.shot) << "the menu was shown and fell idle";
    }

    static std::vector<UINT> Sorted(std::vector<UINT> ids) {
        std::sort(ids.begin(), ids.end());
        return ids;
    }

    MenuIcons icons;
    RecordingSideBarMenu signedIn;
    RecordingSideBarMenu signedOut;
    OwnerWindow owner;
};

TEST_F(MenuRoutingTest, RequestsGoToTheMenuBeingShown) {
    Track(signedOut);
    EXPECT_EQ(Sorted(signedOut.measured), (std::vector<UINT>{0, 303, 304, 305}));
    EXPECT_TRUE(signedIn.measured.empty()) << "shared ids measured by the shown menu only";
    EXPECT_TRUE(signedIn.drawn.empty());
    std::vector<UINT> drawnIds;
    for (const DRAWITEMSTRUCT& item : signedOut.drawn) {
        drawnIds.push_back(item.itemID);
        EXPECT_EQ(item.CtlType, static_cast<UINT>(ODT_MENU));
        EXPECT_TRUE(item.itemAction & ODA_DRAWENTIRE);
        EXPECT_NE(OwnerDrawnItem::FromData(item.itemData), nullptr);
    }
    EXPECT_EQ(Sorted(drawnIds), (std::vector<UINT>{0, 303, 304, 305}));

    signedOut.measured.clear();
    signedOut.drawn.clear();
    Track(signedIn);
    EXPECT_EQ(Sorted(signedIn.measured), (std::vector<UINT>{0, 300, 301, 303, 305}));
    EXPECT_TRUE(signedOut.measured.empty());
    EXPECT_TRUE(signedOut.drawn.empty());
    EXPECT_EQ(owner.TrackedMenu(), nullptr) << "the tracking ends with the call";
}

TEST_F(MenuRoutingTest, PopupItemsHaveTheMeasuredHeights) {
    Track(signedOut);
    const LONG textHeight = ScreenTextSize(kAboutText).cy;
    ASSERT_EQ(owner.itemRects.size(), 4u);
    EXPECT_EQ(owner.itemRects[0].bottom - owner.itemRects[0].top, textHeight + 5);
    EXPECT_EQ(owner.itemRects[1].bottom - owner.itemRects[1].top, 6) << "separator";
    EXPECT_EQ(owner.itemRects[2].bottom - owner.itemRects[2].top, textHeight + 5);
    EXPECT_EQ(owner.itemRects[3].bottom - owner.itemRects[3].top, textHeight + 5);
}

// What the popup shows: the checked status in the accent colour with its icon
// at left + 3, the separator line, and the keyboard selection routed as
// ODA_SELECT to the item it moves to.
TEST_F(MenuRoutingTest, PopupShowsTheAccentTheIconsAndTheSelection) {
    signedIn.CheckItem(300, MF_BYCOMMAND | MF_CHECKED);
    owner.selectionMoves = 2;  // onto Online, then onto Away
    Track(signedIn);

    auto local = [this](int position, int dx, int dy) {
        const RECT& item = owner.itemRects[static_cast<std::size_t>(position)];
        return POINT{item.left - owner.popupRect.left + dx, item.top - owner.popupRect.top + dy};
    };
    auto pixel = [this, &local](int position, int dx, int dy) {
        const POINT at = local(position, dx, dy);
        return owner.shot->Pixel(at.x, at.y);
    };
    ASSERT_EQ(owner.itemRects.size(), 5u);
    const LONG itemWidth = owner.itemRects[0].right - owner.itemRects[0].left;
    EXPECT_EQ(pixel(0, 22, 0), kAccent) << "checked Online, no longer selected";
    EXPECT_EQ(pixel(0, itemWidth - 1, 1), kAccent);
    EXPECT_EQ(pixel(0, 3 + 8, 2 + 8), RGB(250, 0, 0)) << "icon 0";
    EXPECT_EQ(pixel(1, 22, 0), kSelect) << "Away selected";
    EXPECT_EQ(pixel(1, 3 + 8, 2 + 8), RGB(0, 250, 0)) << "icon 1";
    EXPECT_EQ(pixel(2, 24, 2), kLine);
    EXPECT_EQ(pixel(2, itemWidth - 1, 2), kLine);
    EXPECT_EQ(pixel(3, 22, 0), RGB(255, 255, 250)) << "About not selected";

    bool selectedAway = false;
    for (const DRAWITEMSTRUCT& item : signedIn.drawn) {
        if (item.itemID == 301 && (item.itemAction & ODA_SELECT) && (item.itemState & ODS_SELECTED)) {
            selectedAway = true;
        }
    }
    EXPECT_TRUE(selectedAway);
}

}  // namespace
}  // namespace kov::test
