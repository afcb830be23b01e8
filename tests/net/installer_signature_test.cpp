// The installer check on real files signed with real certificates (made by
// tools/signing/make-test-signatures.py): the program signed by the build's
// publisher is the running agent's stand-in. The test authority is a trusted
// root of this prefix (trusted_test_ca.cpp).
#include "net/installer_signature.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "winsupport/wide_text.h"

namespace kov {
namespace {

std::string SignedDir() {
    const char* dir = std::getenv("KOV_SIGNED_DIR");
    return dir ? dir : "";
}

std::string Program(const char* variant) { return SignedDir() + "\\" + variant + ".exe"; }

class InstallerSignature : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(SignedDir().empty()) << "KOV_SIGNED_DIR names the signed programs";
        ASSERT_NE(GetFileAttributesA(Program("publisher").c_str()), INVALID_FILE_ATTRIBUTES);
    }
    static InstallerCheck Check(const char* variant) {
        return CheckSignedLike(Program(variant), Program("publisher"));
    }
};

TEST_F(InstallerSignature, TheSamePublisherPassesAndSoDoesItsRenewedCertificateFromATrustedAuthority) {
    EXPECT_EQ(Check("publisher"), InstallerCheck::Authentic);
    EXPECT_EQ(Check("renewed"), InstallerCheck::Authentic);
}

TEST_F(InstallerSignature, AnotherPublisherIsRefusedWhetherTrustedSelfSignedOrCopyingTheName) {
    EXPECT_EQ(Check("other"), InstallerCheck::OtherPublisher);
    EXPECT_EQ(Check("trusted-other"), InstallerCheck::OtherPublisher);
    EXPECT_EQ(Check("impostor"), InstallerCheck::OtherPublisher);
}

TEST_F(InstallerSignature, AFileChangedAfterSigningOrNeverSignedIsRefused) {
    EXPECT_EQ(Check("altered"), InstallerCheck::AlteredAfterSigning);
    EXPECT_EQ(Check("unsigned"), InstallerCheck::Unsigned);
    EXPECT_EQ(CheckSignedLike(Program("nonexistent"), Program("publisher")), InstallerCheck::Unsigned);
}

TEST_F(InstallerSignature, AnUnsignedReferenceTrustsNothing) {
    for (const char* variant : {"publisher", "unsigned", "renewed"}) {
        EXPECT_EQ(CheckSignedLike(Program(variant), Program("unsigned")), InstallerCheck::AgentUnsigned) << variant;
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
    ASSERT_TRUE(CopyFileW(WideFromUtf8(Program("publisher")).c_str(), copy.c_str(), FALSE));

    EXPECT_EQ(CheckSignedLike(Utf8FromWide(copy), Program("publisher")), InstallerCheck::Authentic);
    EXPECT_EQ(CheckSignedLike(Program("other"), Utf8FromWide(copy)), InstallerCheck::OtherPublisher);

    DeleteFileW(copy.c_str());
    RemoveDirectoryW(folder.c_str());
}

}  // namespace
}  // namespace kov
