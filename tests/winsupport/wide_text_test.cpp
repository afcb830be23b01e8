// UTF-16 paths at any length: the forms handed to Windows, the running
// program's own path, and reading a file by a UTF-8 path.
#include "winsupport/wide_text.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace kov {
namespace {

TEST(ExtendedLengthPath, OnlyLongAbsolutePathsGetThePrefix) {
    const WideString longTail(300, L'x');
    EXPECT_EQ(ExtendedLengthPath(L"C:\\Temp\\a.exe"), L"C:\\Temp\\a.exe");
    EXPECT_EQ(ExtendedLengthPath(L"C:\\" + longTail), L"\\\\?\\C:\\" + longTail);
    EXPECT_EQ(ExtendedLengthPath(L"\\\\host\\share\\" + longTail), L"\\\\?\\UNC\\host\\share\\" + longTail);
    EXPECT_EQ(ExtendedLengthPath(L"\\\\?\\C:\\" + longTail), L"\\\\?\\C:\\" + longTail) << "not twice";
    EXPECT_EQ(ExtendedLengthPath(longTail), longTail) << "a relative path cannot take the prefix";
}

TEST(WideText, Utf8AndWindows1251RoundTrips) {
    const std::string utf8 = "\xce\xb1\xce\xb2 \xe6\xbc\xa2 \xd0\x96";  // αβ 漢 Ж
    EXPECT_EQ(WideFromUtf8(utf8), L"\u03b1\u03b2 \u6f22 \u0416");
    EXPECT_EQ(Utf8FromWide(WideFromUtf8(utf8)), utf8);
    EXPECT_EQ(WideFrom1251("http://\xe4\xee\xec.test/\xc6"), L"http://\u0434\u043e\u043c.test/\u0416");
    EXPECT_EQ(WideFromUtf8(""), L"");
}

// The system's ANSI code page is not 1251 in every test environment; the
// agent's texts must not depend on it either way.
TEST(WideText, Windows1251BothWaysWithoutLookAlikes) {
    const std::string every1251 = "\xc0\xff\xa8\xb8\xb9 ok";  // "Аяё Ё №" byte for byte
    EXPECT_EQ(WideFrom1251(every1251), L"\u0410\u044f\u0401\u0451\u2116 ok");
    EXPECT_EQ(NarrowTo1251(WideFrom1251(every1251)), every1251);
    EXPECT_EQ(NarrowTo1251(L""), std::string());
    EXPECT_EQ(NarrowTo1251(L"a\u0105"), std::nullopt) << "no best-fit 'a' for the Polish letter";
    EXPECT_EQ(NarrowTo1251(L"\u6f22"), std::nullopt) << "the default character is not accepted either";
    EXPECT_EQ(NarrowTo1251(L"?"), "?") << "a real question mark is not a substitution";
    EXPECT_EQ(WideFrom1251(std::string("a\0b", 3)).size(), 3u) << "the length is the view's, not strlen";
}

TEST(ModuleFilePath, IsTheRunningProgramsFullPath) {
    const auto path = ModuleFilePath(nullptr);
    ASSERT_TRUE(path.has_value());
    wchar_t expected[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, expected, MAX_PATH), 0u);
    EXPECT_EQ(*path, expected);
}

// A folder chain whose full path passes 259 characters, with a file in it.
TEST(ReadWholeFileByUtf8Path, ReadsAFileBeyondTheOldPathLimit) {
    wchar_t temp[MAX_PATH] = {};
    ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
    const WideString base = WideString(temp) + L"kov-long-" + std::to_wstring(GetCurrentProcessId()).c_str();
    const WideString greek = base + L"\\\u03b1\u03b2\u03b3";
    const WideString deeper = greek + L"\\" + WideString(120, L'd');
    const std::vector<WideString> made = {base, greek, deeper, deeper + L"\\" + WideString(120, L'e')};
    for (const auto& dir : made) ASSERT_TRUE(CreateDirectoryW(ExtendedLengthPath(dir).c_str(), nullptr));
    const WideString file = made.back() + L"\\Params.ini";
    ASSERT_GT(file.size(), 259u);
    const HANDLE handle = CreateFileW(ExtendedLengthPath(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(handle, "Server=x\r\n", 10, &written, nullptr);
    CloseHandle(handle);

    EXPECT_EQ(ReadWholeFileByUtf8Path(Utf8FromWide(file)), "Server=x\r\n");
    EXPECT_EQ(ReadWholeFileByUtf8Path(Utf8FromWide(made.back() + L"\\missing.ini")), "");

    DeleteFileW(ExtendedLengthPath(file).c_str());
    for (auto dir = made.rbegin(); dir != made.rend(); ++dir) RemoveDirectoryW(ExtendedLengthPath(*dir).c_str());
}

}  // namespace
}  // namespace kov
