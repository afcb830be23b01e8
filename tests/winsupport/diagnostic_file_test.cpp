// The diagnostic log's file under Wine: UTF-8 lines with their stamp, the
// bound with one previous file, the flush at the end, and that a file that
// cannot be written costs nothing but its lines.
#include "winsupport/diagnostic_file.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "winsupport/wide_text.h"

namespace kov {
namespace {

class DiagnosticFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        ASSERT_NE(::GetTempPathW(MAX_PATH, temp), 0u);
        folder_ = WideString(temp) + L"kov-diagnostic-" + WideFromUtf8(std::to_string(::GetCurrentProcessId()));
        ::CreateDirectoryW(folder_.c_str(), nullptr);
        Remove();
    }
    void TearDown() override {
        Remove();
        ::RemoveDirectoryW(folder_.c_str());
    }

    WideString Path() const { return folder_ + L"\\agent.log"; }
    WideString Previous() const { return Path() + L".1"; }

    static std::string Read(const WideString& path) {
        std::ifstream file(Utf8FromWide(path), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    static bool Exists(const WideString& path) {
        return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

private:
    void Remove() const {
        ::DeleteFileW(Path().c_str());
        ::DeleteFileW(Previous().c_str());
    }

    WideString folder_;
};

TEST_F(DiagnosticFileTest, LinesAreStampedUtf8WithCrLf) {
    const auto log = DiagnosticFile::Open(Path());
    ASSERT_TRUE(log);
    EXPECT_FALSE(Exists(Path())) << "nothing is written before the first line";
    log->Write("sign-in as \"\xc8\xe2\xe0\xed\": accepted");  // Иван in Windows-1251
    log->Write("status: online");
    ASSERT_TRUE(log->Flush(10000));
    const std::string text = Read(Path());
    const std::regex stamped(
        "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} \\[\\d+\\] sign-in as \"\xd0\x98\xd0\xb2\xd0\xb0\xd0\xbd\": "
        "accepted\r\n"
        "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} \\[\\d+\\] status: online\r\n");
    EXPECT_TRUE(std::regex_match(text, stamped)) << text;
}

TEST_F(DiagnosticFileTest, PastTheBoundTheFileBecomesThePreviousOneAndANewOneStarts) {
    constexpr std::uint64_t kBound = 4096;
    const std::string filler(90, 'x');
    {
        const auto log = DiagnosticFile::Open(Path(), kBound);
        ASSERT_TRUE(log);
        for (int i = 0; i < 150; ++i) log->Write("line " + std::to_string(i) + " " + filler);
        ASSERT_TRUE(log->Flush(10000));
    }
    const std::string current = Read(Path());
    const std::string previous = Read(Previous());
    EXPECT_GT(current.size(), 0u);
    EXPECT_LE(current.size(), kBound);
    EXPECT_GT(previous.size(), kBound - 200) << "the previous file was full";
    EXPECT_LE(previous.size(), kBound);
    EXPECT_NE(current.find("] line 149 "), std::string::npos) << "the last line is in the current file";
    EXPECT_EQ(current.find("] line 0 "), std::string::npos) << "older files than one previous are dropped";
}

TEST_F(DiagnosticFileTest, TheLastLinesReachTheFileWhenTheLogGoes) {
    {
        const auto log = DiagnosticFile::Open(Path());
        ASSERT_TRUE(log);
        log->Write("end: Kovarentis 1.2.0.0");
    }
    EXPECT_NE(Read(Path()).find("] end: Kovarentis 1.2.0.0\r\n"), std::string::npos);
}

TEST_F(DiagnosticFileTest, AFileThatCannotBeWrittenLosesItsLinesAndNothingElse) {
    const auto log = DiagnosticFile::Open(Path() + L"\\no such folder\\agent.log");
    ASSERT_TRUE(log);
    log->Write("status: online");
    EXPECT_TRUE(log->Flush(10000)) << "given up, not waited for";
}

}  // namespace
}  // namespace kov
