// The tray texts' %s and %d, as printf gave them.
#include "core/format_text.h"

#include <gtest/gtest.h>

#include <climits>

namespace kov {
namespace {

TEST(FormatTextTest, TextsAndNumbersTakeTheirPlacesInOrder) {
    EXPECT_EQ(FormatText("%s: %s%d", {"Kovarentis ", "\xcd\xee\xe2\xfb\xf5 ", 12}), "Kovarentis : \xcd\xee\xe2\xfb\xf5 12");
    EXPECT_EQ(FormatText("%s%d", {"n=", 0}), "n=0");
    EXPECT_EQ(FormatText("%d|%d|%d", {-7, INT32_MAX, INT32_MIN}), "-7|2147483647|-2147483648");
}

TEST(FormatTextTest, PercentSignsAndMissingArgumentsAreHandledAsPrintfWouldNotCrash) {
    EXPECT_EQ(FormatText("100%% %x %", {}), "100% %x %");
    EXPECT_EQ(FormatText("%s and %s", {"one"}), "one and ");
    EXPECT_EQ(FormatText("%s", {static_cast<const char*>(nullptr)}), "");
}

}  // namespace
}  // namespace kov
