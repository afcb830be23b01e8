// The Windows side of an agent update, for real: the temporary path, the
// download from the stand-in service, the "MZ" check and the shell start.
#include "net/update_download.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "standin_control.h"

namespace kov {
namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
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
    std::string dir_;
    std::string target_;
};

TEST(InstallerPath, IsTheSetupFileInTheUsersTemporaryDirectory) {
    char temp[MAX_PATH] = {};
    const DWORD length = GetTempPathA(MAX_PATH, temp);
    ASSERT_GT(length, 0u);
    ASSERT_EQ(temp[length - 1], '\\');

    const auto path = InstallerPath();

    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(*path, std::string(temp) + "KovarentisSetup.exe");
}

TEST_F(UpdateDownloadTest, DownloadsTheInstallerAndTheShellStartsIt) {
    const char* program = std::getenv("KOV_MARKER_PROGRAM");
    ASSERT_NE(program, nullptr);
    const std::string installer = ReadFile(program);
    ASSERT_GT(installer.size(), 1000u);
    ASSERT_TRUE(control_.Queue("other", installer));

    ASSERT_TRUE(DownloadToFile("http://127.0.0.1/download/KovarentisSetup.exe", target_));

    EXPECT_EQ(ReadFile(target_), installer);
    EXPECT_TRUE(StartsWithMz(target_));
    EXPECT_TRUE(OpenWithShell(target_));
    EXPECT_TRUE(AwaitFile(target_ + ".started")) << "the downloaded program did not run";
}

// URLDownloadToFileA may report success for an error page and save the page;
// what decides whether the agent starts the file is the pair of both checks.
TEST_F(UpdateDownloadTest, AnErrorPageIsNeverTakenForAnInstaller) {
    ASSERT_TRUE(control_.Queue("other", "<html>Not found</html>", "status=404"));

    const bool reported = DownloadToFile("http://127.0.0.1/download/KovarentisSetup.exe", target_);

    EXPECT_FALSE(reported && StartsWithMz(target_));
    EXPECT_EQ(control_.LogSize(), 1) << "the download did not reach the service";
}

TEST_F(UpdateDownloadTest, ARefusedConnectionFails) {
    EXPECT_FALSE(DownloadToFile("http://127.0.0.9/KovarentisSetup.exe", target_));
    EXPECT_FALSE(StartsWithMz(target_));
}

TEST_F(UpdateDownloadTest, OnlyFilesBeginningWithMzCountAsPrograms) {
    WriteFile(target_, "M");
    EXPECT_FALSE(StartsWithMz(target_));
    WriteFile(target_, "ZM and more");
    EXPECT_FALSE(StartsWithMz(target_));
    WriteFile(target_, "MZ");
    EXPECT_TRUE(StartsWithMz(target_));
    DeleteFileA(target_.c_str());
    EXPECT_FALSE(StartsWithMz(target_));
}

}  // namespace
}  // namespace kov
