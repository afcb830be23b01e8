// The registry profile store under Wine's registry: where the values live,
// what reads as empty, that bytes go through unchanged, that secrets are
// stored encrypted, and what a failed write logs.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "shell/registry_profile_store.h"
#include "tests/core/recording_log.h"

namespace kov::test {
namespace {

// A key of this test's own, with the trailing blank of the agent's key.
constexpr char kTestKey[] = "Kovarentis Tests ";
constexpr char kApplication[] = "StoreTest";
constexpr char kSection[] = "Software\\Kovarentis Tests \\StoreTest\\App";

class RegistryProfileStoreTest : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean() {
        ::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Kovarentis Tests ");
        ::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Kovarentis Tests");
    }
    static bool KeyExists(const char* path) {
        HKEY key = nullptr;
        if (::RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        ::RegCloseKey(key);
        return true;
    }

    // The value's bytes when it has the type given, else "".
    static std::string RawValue(const char* name, DWORD expectedType) {
        char data[1024] = {};
        DWORD size = sizeof data;
        DWORD type = 0;
        if (::RegGetValueA(HKEY_CURRENT_USER, kSection, name, RRF_RT_ANY, &type, data, &size) != ERROR_SUCCESS ||
            type != expectedType) {
            return {};
        }
        return std::string(data, size);
    }

    RegistryProfileStore store{kTestKey, kApplication};
};

TEST_F(RegistryProfileStoreTest, WritesStringValuesBelowTheKeyTheApplicationAndTheSection) {
    EXPECT_EQ(store.SectionPath("App"), kSection);
    store.WriteString("App", "Login", "consultant");
    char data[64] = {};
    DWORD size = sizeof data;
    DWORD type = 0;
    ASSERT_EQ(::RegGetValueA(HKEY_CURRENT_USER, kSection, "Login", RRF_RT_ANY, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_STREQ(data, "consultant");
    EXPECT_EQ(store.ReadString("App", "Login"), "consultant");
    EXPECT_FALSE(KeyExists("Software\\Kovarentis Tests\\StoreTest\\App"))
        << "the name without the blank is another key";
}

TEST_F(RegistryProfileStoreTest, AbsentEmptyAndNonStringValuesReadAsEmpty) {
    EXPECT_EQ(store.ReadString("App", "Token"), "");
    EXPECT_FALSE(KeyExists("Software\\Kovarentis Tests ")) << "reading creates no key";

    store.WriteString("App", "Token", "");
    EXPECT_EQ(store.ReadString("App", "Token"), "");
    const DWORD number = 7;
    ASSERT_EQ(::RegSetKeyValueA(HKEY_CURRENT_USER, kSection, "Number", REG_DWORD, &number, sizeof number),
              ERROR_SUCCESS);
    EXPECT_EQ(store.ReadString("App", "Number"), "");
}

TEST_F(RegistryProfileStoreTest, Windows1251BytesAndOverwritesGoThroughUnchanged) {
    const std::string login = "\xCA\xEE\xED\xF1\xF3\xEB\xFC\xF2\xE0\xED\xF2 & 1";  // Консультант & 1
    store.WriteString("App", "Login", "an earlier, longer login");
    store.WriteString("App", "Login", login);
    EXPECT_EQ(store.ReadString("App", "Login"), login);
}

// An executable named in any script keeps its own key: names are UTF-8.
TEST_F(RegistryProfileStoreTest, AnApplicationNameOutsideTheAnsiCodePageGetsItsOwnKey) {
    RegistryProfileStore greek(kTestKey, "\xce\x91\xce\xb3\xce\xad\xce\xbd\xcf\x84\xce\xb7\xcf\x82");  // Αγέντης
    greek.WriteString("App", "Login", "consultant");
    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Kovarentis Tests \\\u0391\u03b3\u03ad\u03bd\u03c4\u03b7\u03c2\\App",
                              0, KEY_READ, &key),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
    EXPECT_EQ(greek.ReadString("App", "Login"), "consultant");
    EXPECT_EQ(store.ReadString("App", "Login"), "") << "another application's key";
}

// The token as an earlier version left it: a plain string.
TEST_F(RegistryProfileStoreTest, APlainSecretIsReadThenStoredEncrypted) {
    const std::string token = "tok-secret";
    ASSERT_EQ(::RegSetKeyValueA(HKEY_CURRENT_USER, kSection, "Token", REG_SZ, token.c_str(), token.size() + 1),
              ERROR_SUCCESS);

    EXPECT_EQ(store.ReadSecret("App", "Token"), token);

    const std::string stored = RawValue("Token", REG_BINARY);
    EXPECT_FALSE(stored.empty());
    EXPECT_EQ(stored.find(token), std::string::npos);
    EXPECT_EQ(store.ReadSecret("App", "Token"), token);
}

TEST_F(RegistryProfileStoreTest, SecretsAreStoredEncryptedAndAnEmptyOneAsAnEmptyString) {
    store.WriteSecret("App", "Token", "t0k3n");
    EXPECT_EQ(RawValue("Token", REG_BINARY).find("t0k3n"), std::string::npos);
    EXPECT_EQ(store.ReadSecret("App", "Token"), "t0k3n");

    store.WriteSecret("App", "Token", "");
    EXPECT_EQ(RawValue("Token", REG_SZ), std::string(1, '\0'));
    EXPECT_EQ(store.ReadSecret("App", "Token"), "");
}

TEST_F(RegistryProfileStoreTest, BinaryThatIsNotThisUsersSecretReadsAsEmpty) {
    const char garbage[] = "not encrypted";
    ASSERT_EQ(::RegSetKeyValueA(HKEY_CURRENT_USER, kSection, "Token", REG_BINARY, garbage, sizeof garbage),
              ERROR_SUCCESS);
    EXPECT_EQ(store.ReadSecret("App", "Token"), "");
}

// A volatile key can have no lasting key below it, so the section cannot be made.
TEST_F(RegistryProfileStoreTest, AFailedWriteLogsTheCallTheValuesNameAndTheErrorButNotTheValue) {
    HKEY parent = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Kovarentis Tests ", 0, nullptr, REG_OPTION_VOLATILE,
                                KEY_ALL_ACCESS, nullptr, &parent, nullptr),
              ERROR_SUCCESS);
    ::RegCloseKey(parent);
    const auto log = std::make_shared<RecordingLog>();
    store.SetDiagnosticLog(log);

    store.WriteString("App", "Token", "tok-secret");

    const std::vector<std::string> expected = {"registry: RegCreateKeyEx for value \"Token\" failed: Windows error " +
                                               std::to_string(ERROR_CHILD_MUST_BE_VOLATILE)};
    EXPECT_EQ(log->Lines(), expected);
}

TEST(ApplicationNameTest, IsTheExecutablesFileNameWithoutExtension) {
    EXPECT_EQ(ApplicationNameOf("C:\\Program Files\\Kovarentis\\Kovarentis.exe"), "Kovarentis");
    EXPECT_EQ(ApplicationNameOf("Z:\\tmp\\agent.v2\\Kovarentis.exe"), "Kovarentis");
    EXPECT_EQ(ApplicationNameOf("Z:/tmp/agent/Agent.Test.exe"), "Agent.Test");
    EXPECT_EQ(ApplicationNameOf("C:\\bin\\Kovarentis"), "Kovarentis");
}

}  // namespace
}  // namespace kov::test
