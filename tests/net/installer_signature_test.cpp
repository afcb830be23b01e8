// The installer check on real files signed with real certificates (made by
// tools/signing/make-test-signatures.py): agent.exe, signed by the build's
// self-signed publisher, and authority-agent.exe, signed under the test
// authority, stand in for the running agent. The test authority is a trusted
// root of this prefix (trusted_test_ca.cpp).
#include "net/installer_signature.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "winsupport/handles.h"
#include "winsupport/wide_text.h"

namespace kov {
namespace {

std::string SignedDir() {
    const char* dir = std::getenv("KOV_SIGNED_DIR");
    return dir ? dir : "";
}

std::string Program(const char* variant) { return SignedDir() + "\\" + variant + ".exe"; }

// Through a handle opened as the agent opens the downloaded installer.
InstallerCheck CheckFile(const std::string& path, const std::string& reference) {
    const UniqueFile file(CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(file) << path;
    return CheckSignedLike(file.Get(), path, reference);
}

class InstallerSignature : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(SignedDir().empty()) << "KOV_SIGNED_DIR names the signed programs";
        ASSERT_NE(GetFileAttributesA(Program("agent").c_str()), INVALID_FILE_ATTRIBUTES);
    }
    static InstallerCheck Check(const char* variant, const char* agent = "agent") {
        return CheckFile(Program(variant), Program(agent));
    }
};

TEST_F(InstallerSignature, ANewerInstallerOfTheSamePublisherPassesAndSoDoesARenewalUnderTheSameRoot) {
    EXPECT_EQ(Check("publisher"), InstallerCheck::Authentic);
    EXPECT_EQ(Check("renewed", "authority-agent"), InstallerCheck::Authentic);
}

// Rollback, the uninstaller and the agent itself are all signed by the
// publisher.
TEST_F(InstallerSignature, OnlyANewerInstallerOfThisAgentPasses) {
    EXPECT_EQ(Check("older"), InstallerCheck::NotNewer);
    EXPECT_EQ(Check("agent"), InstallerCheck::NotNewer);
    EXPECT_EQ(Check("nsis-uninstaller"), InstallerCheck::Uninstaller);
    EXPECT_EQ(Check("self"), InstallerCheck::NotAnInstaller);
}

TEST_F(InstallerSignature, TheAuthorityIsPinnedToTheAgentsOwnRoot) {
    EXPECT_EQ(Check("renewed"), InstallerCheck::OtherAuthority);
    EXPECT_EQ(Check("publisher", "authority-agent"), InstallerCheck::OtherPublisher);
}

// Under a trusted root the Authenticode policy has to pass on its own.
TEST_F(InstallerSignature, ACertificateNotForCodeSigningOrExpiredWithoutATimestampIsRefused) {
    EXPECT_EQ(Check("wrong-usage", "authority-agent"), InstallerCheck::NotForCodeSigning);
    EXPECT_EQ(Check("expired", "authority-agent"), InstallerCheck::Expired);
}

TEST_F(InstallerSignature, AnotherPublisherIsRefusedWhetherTrustedSelfSignedOrCopyingTheName) {
    EXPECT_EQ(Check("other"), InstallerCheck::OtherPublisher);
    EXPECT_EQ(Check("trusted-other", "authority-agent"), InstallerCheck::OtherPublisher);
    EXPECT_EQ(Check("impostor"), InstallerCheck::OtherPublisher);
}

// Verified against one certificate, judged by another: refused outright.
TEST_F(InstallerSignature, ASecondCertificateWithTheSignersIssuerAndSerialIsRefused) {
    EXPECT_EQ(Check("duplicate"), InstallerCheck::AmbiguousSigner);
}

TEST_F(InstallerSignature, AFileChangedAfterSigningOrNeverSignedIsRefused) {
    EXPECT_EQ(Check("altered"), InstallerCheck::AlteredAfterSigning);
    EXPECT_EQ(Check("unsigned"), InstallerCheck::Unsigned);
}

TEST_F(InstallerSignature, AnUnsignedReferenceTrustsNothing) {
    for (const char* variant : {"publisher", "unsigned", "renewed"}) {
        EXPECT_EQ(Check(variant, "unsigned"), InstallerCheck::AgentUnsigned) << variant;
    }
}

// Folders named in scripts outside both Windows-1251 and Windows-1252.
TEST_F(InstallerSignature, WorksInAFolderOfAnyName) {
    char temp[MAX_PATH] = {};
    ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
    const WideString folder = WideFromUtf8(temp) + L"\u03b1\u03b2\u03b3-\u6f22\u5b57-" +
                              std::to_wstring(GetCurrentProcessId()).c_str();
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const WideString copy = folder + L"\\KovarentisSetup.exe";
    const WideString agent = folder + L"\\Kovarentis.exe";
    ASSERT_TRUE(CopyFileW(WideFromUtf8(Program("publisher")).c_str(), copy.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(WideFromUtf8(Program("agent")).c_str(), agent.c_str(), FALSE));

    EXPECT_EQ(CheckFile(Utf8FromWide(copy), Utf8FromWide(agent)), InstallerCheck::Authentic);

    DeleteFileW(copy.c_str());
    DeleteFileW(agent.c_str());
    RemoveDirectoryW(folder.c_str());
}

}  // namespace
}  // namespace kov
