// The installer check's libraries come only from the folder named: one
// without them gives no table, although the system's copies are a bare name
// away, and says why in the log; the system folder gives the same table the
// check uses.
#include "net/signature_api.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/core/recording_log.h"

namespace kov {
namespace {

TEST(SignatureApi, IsLoadedFromTheFolderNamedOrNotAtAllAndSaysWhyNot) {
    wchar_t temp[MAX_PATH] = {};
    ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
    const WideString empty = WideString(temp) + L"no-signature-libraries-" +
                             std::to_wstring(GetCurrentProcessId()).c_str();
    ASSERT_TRUE(CreateDirectoryW(empty.c_str(), nullptr));
    test::RecordingLog log;
    const SignatureApiLoad fromEmpty = LoadSignatureApi(empty);
    EXPECT_FALSE(fromEmpty.api.has_value());
    LogLoadFailure(fromEmpty, log);
    RemoveDirectoryW(empty.c_str());
    const std::vector<std::string> expected = {"signature check: LoadLibraryEx crypt32.dll failed: Windows error " +
                                               std::to_string(ERROR_MOD_NOT_FOUND)};
    EXPECT_EQ(log.Lines(), expected);

    wchar_t system[MAX_PATH] = {};
    ASSERT_NE(GetSystemDirectoryW(system, MAX_PATH), 0u);
    const std::optional<SignatureApi> fromSystem = LoadSignatureApi(system).api;
    ASSERT_TRUE(fromSystem.has_value());
    LogLoadFailure(SystemSignatureLoad(), log);
    EXPECT_EQ(log.Lines().size(), 1u) << "a load that worked is not logged";
    const SignatureApi* used = SystemSignatureApi();
    ASSERT_NE(used, nullptr);
    EXPECT_EQ(used->CryptQueryObject, fromSystem->CryptQueryObject);
    EXPECT_EQ(used->WinVerifyTrust, fromSystem->WinVerifyTrust);
}

}  // namespace
}  // namespace kov
