// The common controls made ready on demand: the library is the one the
// manifest names and its window classes are registered.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "shell/framework/common_controls.h"

namespace kov::test {
namespace {

std::wstring Lower(std::wstring text) {
    ::CharLowerW(text.data());
    return text;
}

// The agent's resources, linked into this program, bring its manifest, which
// asks for the common controls 6.0: the library loaded is the side-by-side one
// that the name leads to, as it was when the agent imported it.
TEST(EnsureCommonControls, LoadsTheLibraryTheManifestNamesAndRegistersItsClasses) {
    ASSERT_TRUE(EnsureCommonControls());
    EXPECT_TRUE(EnsureCommonControls()) << "asked again";
    const HMODULE library = ::GetModuleHandleW(L"comctl32.dll");
    ASSERT_NE(library, nullptr) << "not the library the manifest names";
    wchar_t path[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameW(library, path, MAX_PATH), 0u);
    EXPECT_NE(Lower(path).find(L"microsoft.windows.common-controls_6595b64144ccf1df_6.0."), std::wstring::npos)
        << std::wstring(path);
    WNDCLASSEXW list{};
    list.cbSize = sizeof list;
    EXPECT_TRUE(::GetClassInfoExW(nullptr, L"SysListView32", &list)) << "one of the classes asked for";
}

}  // namespace
}  // namespace kov::test
