// The tray's icons come at the size the notification area draws, from the
// frame drawn for it, so the shell never scales them.
#include <gtest/gtest.h>

#include "shell/dpi.h"
#include "shell/res/resource.h"
#include "shell/tray_icons.h"

namespace kov {
namespace {

int WidthOf(HICON icon) {
    ICONINFO info{};
    if (!::GetIconInfo(icon, &info)) return 0;
    BITMAP colour{};
    ::GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof colour, &colour);
    if (info.hbmColor) ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    return colour.bmWidth;
}

TEST(TrayIconSetTest, IconsComeAtTheSmallIconSizeOnceEach) {
    TrayIconSet icons;
    EXPECT_EQ(icons.Size(), ::GetSystemMetrics(SM_CXSMICON));
    for (const int id : {IDI_ONLINE, IDI_AWAY, IDI_CONNECTING_1, IDI_NEW_MESSAGE}) {
        const HICON icon = icons.Get(id);
        ASSERT_NE(icon, nullptr) << id;
        EXPECT_EQ(WidthOf(icon), icons.Size()) << id << ": not the notification area's size";
        EXPECT_EQ(icons.Get(id), icon) << id << " loaded twice";
    }
    EXPECT_NE(icons.Get(IDI_ONLINE), icons.Get(IDI_AWAY));
    EXPECT_EQ(icons.Get(129), nullptr) << "there is no icon 129";
}

// At 150 % the set is made for 24 pixels and takes the 24-pixel frames; the
// size for a DPI comes from the system where it has the per-DPI call.
TEST(TrayIconSetTest, ASetForAnotherDpiHasItsOwnIconsOfThatSize) {
    EXPECT_EQ(SmallIconSizeForDpi(96), 16);
    EXPECT_EQ(SmallIconSizeForDpi(144), 24);
    TrayIconSet normal(16);
    TrayIconSet scaled(SmallIconSizeForDpi(144));
    const HICON small = normal.Get(IDI_AWAY);
    const HICON large = scaled.Get(IDI_AWAY);
    ASSERT_TRUE(small && large);
    EXPECT_EQ(WidthOf(small), 16);
    EXPECT_EQ(WidthOf(large), 24);
    EXPECT_EQ(normal.IdOf(small), IDI_AWAY);
    EXPECT_EQ(normal.IdOf(large), 0) << "another set's icon";
    EXPECT_EQ(scaled.IdOf(large), IDI_AWAY);
}

}  // namespace
}  // namespace kov
