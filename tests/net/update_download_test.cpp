// The Windows side of an agent update, for real: the temporary path, the
// download from the stand-in service, removal and the shell start.
#include "net/update_download.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "tests/core/recording_log.h"
#include "winsupport/wide_text.h"
#include "standin_control.h"

namespace kov {
namespace {

const std::string kInstallerUrl = "http://127.0.0.1/download/KovarentisSetup.exe";

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

bool Exists(const std::string& path) {
    return GetFileAttributesW(WideFromUtf8(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool AwaitFile(const std::string& path) {
    for (int i = 0; i < 100; ++i) {
        if (Exists(path)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// A directory of its own under the temporary directory, removed afterwards.
class UpdateDownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(control_.Reset()) << "stand-in control not reachable";
        char temp[MAX_PATH] = {};
        ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
        dir_ = std::string(temp) + "kov-update-test-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(dir_.c_str(), nullptr);
        target_ = dir_ + "\\KovarentisSetup.exe";
    }
    void TearDown() override {
        for (const char* name : {"\\KovarentisSetup.exe.started", "\\KovarentisSetup.exe"})
            DeleteFileA((dir_ + name).c_str());
        RemoveDirectoryA(dir_.c_str());
        control_.Reset();
    }

    test::StandinControl control_;
    test::RecordingLog log_;
    std::string dir_;
    std::string target_;
};

TEST(InstallerPath, IsTheSetupFileInTheUsersTemporaryDirectoryInUtf8) {
    wchar_t temp[MAX_PATH] = {};
    const DWORD length = GetTempPathW(MAX_PATH, temp);
    ASSERT_GT(length, 0u);
    ASSERT_EQ(temp[length - 1], L'\\');

    const auto path = InstallerPath();

    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(*path, Utf8FromWide(WideString(temp) + L"KovarentisSetup.exe"));
}

TEST_F(UpdateDownloadTest, DownloadsTheInstallerAndTheShellStartsIt) {
    const char* program = std::getenv("KOV_MARKER_PROGRAM");
    ASSERT_NE(program, nullptr);
    const std::string installer = ReadFile(program);
    ASSERT_GT(installer.size(), 1000u);
    ASSERT_TRUE(control_.Queue("other", installer));

    ASSERT_TRUE(DownloadToFile(kInstallerUrl, target_, log_));

    EXPECT_EQ(ReadFile(target_), installer);
    EXPECT_TRUE(OpenWithShell(target_));
    EXPECT_TRUE(AwaitFile(target_ + ".started")) << "the downloaded program did not run";
}

TEST_F(UpdateDownloadTest, EachDownloadFetchesAFreshCopyAndLeavesNothingInTheUrlCache) {
    ASSERT_TRUE(control_.Queue("other", "MZ first build", "header=Cache-Control:%20max-age=86400"));
    ASSERT_TRUE(control_.Queue("other", "MZ second build", "header=Cache-Control:%20max-age=86400"));

    ASSERT_TRUE(DownloadToFile(kInstallerUrl, target_, log_));
    ASSERT_TRUE(DownloadToFile(kInstallerUrl, target_, log_));

    EXPECT_EQ(ReadFile(target_), "MZ second build");
    EXPECT_EQ(control_.LogSize(), 2);
    DWORD size = 0;
    EXPECT_FALSE(GetUrlCacheEntryInfoA(kInstallerUrl.c_str(), nullptr, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// An error page is never taken for the installer, and no file is left behind;
// the log has the status.
TEST_F(UpdateDownloadTest, AnyStatusButOkFailsLeavesNoFileAndLogsTheStatus) {
    std::vector<std::string> expected;
    for (const int status : {404, 500, 204}) {
        SCOPED_TRACE(status);
        WriteFile(target_, "an older download");
        ASSERT_TRUE(control_.Queue("other", "MZ<html>Not found</html>", "status=" + std::to_string(status)));

        EXPECT_FALSE(DownloadToFile(kInstallerUrl, target_, log_));
        EXPECT_FALSE(Exists(target_));
        expected.push_back("update download: HTTP status " + std::to_string(status));
    }
    EXPECT_EQ(control_.LogSize(), 3) << "the downloads did not reach the service";
    EXPECT_EQ(log_.Lines(), expected);
}

TEST_F(UpdateDownloadTest, ACutBodyFailsAndLeavesNoFile) {
    ASSERT_TRUE(control_.Queue("other", std::string(100000, 'x'), "cut=5000&cut_hang=0"));
    EXPECT_FALSE(DownloadToFile(kInstallerUrl, target_, log_));
    EXPECT_FALSE(Exists(target_));
}

// Each failing step is logged with the Windows error it left, WinINet's too.
TEST_F(UpdateDownloadTest, ARefusedConnectionOrAFileThatCannotBeMadeFailsAndLogsTheStepAndError) {
    EXPECT_FALSE(DownloadToFile("http://127.0.0.9/KovarentisSetup.exe", target_, log_));
    EXPECT_FALSE(Exists(target_));
    ASSERT_TRUE(control_.Queue("other", "MZ installer"));
    EXPECT_FALSE(DownloadToFile(kInstallerUrl, dir_ + "\\missing\\KovarentisSetup.exe", log_));

    const std::vector<std::string> expected = {
        "update download: InternetOpenUrl failed: Windows error " + std::to_string(ERROR_INTERNET_CANNOT_CONNECT),
        "update download: CreateFile failed: Windows error " + std::to_string(ERROR_PATH_NOT_FOUND)};
    EXPECT_EQ(log_.Lines(), expected);
}

// The service's requests accept an unknown authority on their second send;
// the download never does.
TEST_F(UpdateDownloadTest, AServerWithAnUntrustedCertificateIsRefused) {
    ASSERT_TRUE(control_.Queue("other", "MZ from an unknown authority"));

    EXPECT_FALSE(DownloadToFile("https://127.0.0.2/download/KovarentisSetup.exe", target_, log_));

    EXPECT_FALSE(Exists(target_));
    EXPECT_EQ(control_.LogSize(), 0) << "the request went through";
    EXPECT_GE(control_.Connections("127.0.0.2:443"), 1) << "the server was not even tried";
}

TEST_F(UpdateDownloadTest, RemoveFileDeletesAndToleratesAMissingFile) {
    WriteFile(target_, "MZ");
    RemoveFile(target_);
    EXPECT_FALSE(Exists(target_));
    RemoveFile(target_);
    EXPECT_FALSE(Exists(target_));
}

TEST_F(UpdateDownloadTest, TheShellReportsAFileItCannotStart) {
    EXPECT_FALSE(OpenWithShell(dir_ + "\\missing.exe"));
}

}  // namespace
}  // namespace kov
