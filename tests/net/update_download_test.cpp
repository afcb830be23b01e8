// The Windows side of an agent update, for real: the temporary path, the
// download from the stand-in service, removal and the shell start.
#include "net/update_download.h"
#include "net/installer_folder.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>
#include <aclapi.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "tests/core/recording_log.h"
#include "winsupport/handles.h"
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

bool IsCurrentUser(PSID sid) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    BYTE user[256] = {};
    DWORD size = sizeof user;
    const bool read = GetTokenInformation(token, TokenUser, user, size, &size) != FALSE;
    CloseHandle(token);
    return read && EqualSid(sid, reinterpret_cast<TOKEN_USER*>(user)->User.Sid);
}

// Whether a folder's access list lets in no one but the current user (and the
// system itself, which Wine always lists).
bool OnlyTheUserMayOpen(const WideString& folder) {
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    bool onlyUser = acl != nullptr;
    for (DWORD index = 0; onlyUser && index < acl->AceCount; ++index) {
        void* ace = nullptr;
        onlyUser = GetAce(acl, index, &ace) && static_cast<ACE_HEADER*>(ace)->AceType == ACCESS_ALLOWED_ACE_TYPE;
        const PSID sid = onlyUser ? &static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart : nullptr;
        onlyUser = onlyUser && (IsCurrentUser(sid) || IsWellKnownSid(sid, WinLocalSystemSid));
    }
    LocalFree(descriptor);
    return onlyUser;
}

// The folder is made once, for the consultant alone, and then reused; what
// an earlier update left in it goes before the next download.
TEST(PrepareInstallerPath, IsTheSetupFileInTheAgentsOwnFolderEmptiedOfAnEarlierOne) {
    wchar_t local[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH), 0u);
    test::RecordingLog log;

    const auto path = PrepareInstallerPath(log);
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(*path, Utf8FromWide(WideString(local) + L"\\KovarentisUpdate\\KovarentisSetup.exe"));
    WriteFile(*path, "an earlier installer");
    ASSERT_TRUE(Exists(*path));

    EXPECT_EQ(PrepareInstallerPath(log), path);
    EXPECT_FALSE(Exists(*path));
    EXPECT_TRUE(log.Lines().empty());
    EXPECT_TRUE(OnlyTheUserMayOpen(WideString(local) + L"\\KovarentisUpdate"));
}

TEST_F(UpdateDownloadTest, DownloadsTheInstallerAndStartsIt) {
    const char* program = std::getenv("KOV_MARKER_PROGRAM");
    ASSERT_NE(program, nullptr);
    const std::string installer = ReadFile(program);
    ASSERT_GT(installer.size(), 1000u);
    ASSERT_TRUE(control_.Queue("other", installer));

    ASSERT_TRUE(DownloadToFile(kInstallerUrl, target_, log_));

    EXPECT_EQ(ReadFile(target_), installer);
    EXPECT_TRUE(StartInstaller(target_));
    EXPECT_TRUE(AwaitFile(target_ + ".started")) << "the downloaded program did not run";
}

TEST_F(UpdateDownloadTest, EachDownloadFetchesAFreshCopyAndLeavesNothingInTheUrlCache) {
    ASSERT_TRUE(control_.Queue("other", "MZ first build", "header=Cache-Control:%20max-age=86400"));
    ASSERT_TRUE(control_.Queue("other", "MZ second build", "header=Cache-Control:%20max-age=86400"));

    ASSERT_TRUE(DownloadToFile(kInstallerUrl, target_, log_));
    RemoveFile(target_);
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

// Leading zeros, or more digits than the cap has, do not hide the length.
TEST_F(UpdateDownloadTest, AContentLengthOfAnyNumberOfDigitsIsHeld) {
    ASSERT_TRUE(control_.Queue("other", "MZ short", "header=Content-Length:%2000000000000000100"));
    ASSERT_TRUE(control_.Queue("other", "MZ short", "header=Content-Length:%2099999999999"));
    EXPECT_FALSE(DownloadToFile(kInstallerUrl, target_, log_));
    EXPECT_FALSE(DownloadToFile(kInstallerUrl, target_, log_));
    const std::vector<std::string> expected = {"update download: body of 8 bytes where 100 were announced",
                                               "update download: body over the installer size cap"};
    EXPECT_EQ(log_.Lines(), expected);
}

// A byte every second keeps each read alive; the deadline still ends it.
TEST_F(UpdateDownloadTest, ADrippingServerIsGivenUpAtTheDeadline) {
    ASSERT_TRUE(control_.Queue("other", std::string(100, 'x'), "cut=10&drip=1"));
    const DWORD started = GetTickCount();
    EXPECT_FALSE(DownloadToFile(kInstallerUrl, target_, log_, 2500));
    EXPECT_LT(GetTickCount() - started, 10000u);
    EXPECT_FALSE(Exists(target_));
    EXPECT_EQ(log_.Lines(), std::vector<std::string>{"update download: not complete by its deadline"});
}

TEST_F(UpdateDownloadTest, AFileAlreadyThereIsNeitherReplacedNorRemoved) {
    WriteFile(target_, "placed by someone else");
    ASSERT_TRUE(control_.Queue("other", "MZ installer"));
    EXPECT_FALSE(DownloadToFile(kInstallerUrl, target_, log_));
    EXPECT_EQ(ReadFile(target_), "placed by someone else");
}

// Most download links redirect from http to https; the way back would drop
// the protection that https gave.
TEST_F(UpdateDownloadTest, AnHttpLinkMayRedirectToHttpsButNotTheReverse) {
    const std::string secure = "https://127.0.0.5/download/KovarentisSetup.exe";
    ASSERT_TRUE(control_.Queue("other", "", "status=302&header=Location:%20" + secure));
    ASSERT_TRUE(control_.Queue("other", "MZ over https"));
    ASSERT_TRUE(DownloadToFile(kInstallerUrl, target_, log_));
    EXPECT_EQ(ReadFile(target_), "MZ over https");
    EXPECT_GE(control_.Connections("127.0.0.5:443"), 1);
    RemoveFile(target_);

    ASSERT_TRUE(control_.Reset());
    ASSERT_TRUE(control_.Queue("other", "", "status=302&header=Location:%20" + kInstallerUrl));
    ASSERT_TRUE(control_.Queue("other", "MZ over http"));
    EXPECT_FALSE(DownloadToFile(secure, target_, log_));
    EXPECT_FALSE(Exists(target_));
    EXPECT_EQ(log_.Lines(), std::vector<std::string>{"update download: redirected from https to http"});
}

// Each failing step is logged with the Windows error it left, WinINet's too.
TEST_F(UpdateDownloadTest, ARefusedConnectionOrAFileThatCannotBeMadeFailsAndLogsTheStepAndError) {
    EXPECT_FALSE(DownloadToFile("http://127.0.0.9/KovarentisSetup.exe", target_, log_));
    EXPECT_FALSE(Exists(target_));
    ASSERT_TRUE(control_.Queue("other", "MZ installer"));
    EXPECT_FALSE(DownloadToFile(kInstallerUrl, dir_ + "\\missing\\KovarentisSetup.exe", log_));

    const std::vector<std::string> expected = {
        "update download: HttpSendRequest failed: Windows error " + std::to_string(ERROR_INTERNET_CANNOT_CONNECT),
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

// The handle the check ran through keeps the file as checked until the start.
TEST_F(UpdateDownloadTest, WhileTheCheckedFileIsHeldNobodyWritesOrRemovesItAndItStillStarts) {
    const char* program = std::getenv("KOV_MARKER_PROGRAM");
    ASSERT_NE(program, nullptr);
    ASSERT_TRUE(CopyFileA(program, target_.c_str(), FALSE));

    HeldInstaller held = OpenAndCheck(target_, log_);

    ASSERT_TRUE(held.file);
    EXPECT_EQ(held.verdict, InstallerCheck::AgentUnsigned) << "the test program itself is not signed";
    const WideString path = WideFromUtf8(target_);
    const UniqueFile writer(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(writer);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(DeleteFileW(path.c_str()));
    EXPECT_FALSE(MoveFileW(path.c_str(), (path + L".moved").c_str()));
    EXPECT_TRUE(StartInstaller(target_));
    EXPECT_TRUE(AwaitFile(target_ + ".started")) << "the held program did not run";
}

TEST_F(UpdateDownloadTest, RemoveFileDeletesAndToleratesAMissingFile) {
    WriteFile(target_, "MZ");
    RemoveFile(target_);
    EXPECT_FALSE(Exists(target_));
    RemoveFile(target_);
    EXPECT_FALSE(Exists(target_));
}

TEST_F(UpdateDownloadTest, AFileThatCannotStartIsReported) {
    EXPECT_FALSE(StartInstaller(dir_ + "\\missing.exe"));
    WriteFile(target_, "not a program");
    EXPECT_FALSE(StartInstaller(target_));
}

}  // namespace
}  // namespace kov
