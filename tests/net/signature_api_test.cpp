// The installer check's libraries come only from the folder named: one
// without them gives no table, although the system's copies are a bare name
// away, and the system folder gives the same table the check uses.
#include "net/signature_api.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace kov {
namespace {

TEST(SignatureApi, IsLoadedFromTheFolderNamedOrNotAtAll) {
    wchar_t temp[MAX_PATH] = {};
    ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
    const WideString empty = WideString(temp) + L"no-signature-libraries-" +
                             std::to_wstring(GetCurrentProcessId()).c_str();
    ASSERT_TRUE(CreateDirectoryW(empty.c_str(), nullptr));
    EXPECT_FALSE(LoadSignatureApi(empty).has_value());
    RemoveDirectoryW(empty.c_str());

    wchar_t system[MAX_PATH] = {};
    ASSERT_NE(GetSystemDirectoryW(system, MAX_PATH), 0u);
    const std::optional<SignatureApi> fromSystem = LoadSignatureApi(system);
    ASSERT_TRUE(fromSystem.has_value());
    const SignatureApi* used = SystemSignatureApi();
    ASSERT_NE(used, nullptr);
    EXPECT_EQ(used->CryptQueryObject, fromSystem->CryptQueryObject);
    EXPECT_EQ(used->WinVerifyTrust, fromSystem->WinVerifyTrust);
}

}  // namespace
}  // namespace kov
