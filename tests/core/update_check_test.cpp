// The installer-URL rules and the signature verdict, without Windows.
#include "core/update_check.h"

#include <gtest/gtest.h>

#include <utility>

namespace kov {
namespace {

TEST(InstallerUrlToFetch, TakesHttpAndHttpsInAnyCaseTrimmedAndUnquoted) {
    EXPECT_EQ(InstallerUrlToFetch("http://dl.test/setup.exe"), "http://dl.test/setup.exe");
    EXPECT_EQ(InstallerUrlToFetch("HTTPS://dl.test/setup.exe"), "HTTPS://dl.test/setup.exe");
    EXPECT_EQ(InstallerUrlToFetch("hTtP://dl.test/a b.exe"), "hTtP://dl.test/a b.exe");
    EXPECT_EQ(InstallerUrlToFetch("\"https://dl.test/setup.exe\" \r\n"), "https://dl.test/setup.exe");
    EXPECT_EQ(InstallerUrlToFetch("http://dl.test/setup.exe\r\n \n"), "http://dl.test/setup.exe");
}

TEST(InstallerUrlToFetch, RefusesEverythingElse) {
    for (const char* payload : {
             "file:///C:/Windows/evil.exe", "FILE://host/share/x.exe", "\\\\host\\share\\x.exe",
             "//host/share/x.exe", "C:\\Temp\\x.exe", "ftp://dl.test/x.exe", "httpx://dl.test/x.exe",
             "http:/dl.test/x.exe", "http:\\\\dl.test\\x.exe", "http://", "\"https://\"", "", " ",
             " http://dl.test/x.exe",          // a leading blank is not an http URL either
             "http://dl.test/x.exe\r\nX: y",   // a line break inside would split the request
             "http://dl.test/x\t.exe", "mailto:x@dl.test", "javascript:alert(1)"}) {
        EXPECT_EQ(InstallerUrlToFetch(payload), std::nullopt) << payload;
    }
}

// Self-signed publisher: WinVerifyTrust stops at the untrusted root.
SignatureFacts GoodSelfSigned() {
    SignatureFacts facts;
    facts.agentSigned = true;
    facts.verify = VerifyResult::UntrustedRoot;
    facts.chain = ChainFault::UntrustedRootOnly;
    facts.sameRoot = true;
    facts.sameSubject = true;
    facts.sameCertificate = true;
    return facts;
}

SignatureFacts GoodTrusted() {
    SignatureFacts facts = GoodSelfSigned();
    facts.verify = VerifyResult::Verified;
    facts.chain = ChainFault::None;
    return facts;
}

TEST(JudgeSignature, TheAgentsOwnCertificateIsAuthenticTrustedOrNot) {
    EXPECT_EQ(JudgeSignature(GoodSelfSigned()), InstallerCheck::Authentic);
    SignatureFacts wineSelfSigned = GoodSelfSigned();  // Wine verifies it; its chain still tells
    wineSelfSigned.verify = VerifyResult::Verified;
    EXPECT_EQ(JudgeSignature(wineSelfSigned), InstallerCheck::Authentic);
    EXPECT_EQ(JudgeSignature(GoodTrusted()), InstallerCheck::Authentic);
}

TEST(JudgeSignature, ARenewedCertificateCountsOnlyUnderATrustedAndTheSameRoot) {
    SignatureFacts renewed = GoodTrusted();
    renewed.sameCertificate = false;
    EXPECT_EQ(JudgeSignature(renewed), InstallerCheck::Authentic);

    SignatureFacts otherRoot = renewed;
    otherRoot.sameRoot = false;
    EXPECT_EQ(JudgeSignature(otherRoot), InstallerCheck::OtherAuthority);

    SignatureFacts copiedName = GoodSelfSigned();  // a self-signed certificate with the publisher's name
    copiedName.sameCertificate = false;
    EXPECT_EQ(JudgeSignature(copiedName), InstallerCheck::OtherPublisher);
}

TEST(JudgeSignature, AnotherSubjectIsAnotherPublisherEvenWhenTrusted) {
    SignatureFacts other = GoodTrusted();
    other.sameCertificate = false;
    other.sameSubject = false;
    EXPECT_EQ(JudgeSignature(other), InstallerCheck::OtherPublisher);
}

// A failure of the system check refuses even the agent's own certificate.
TEST(JudgeSignature, AFailedSystemCheckOrAnUnsignedAgentRefuses) {
    SignatureFacts revoked = GoodSelfSigned();
    revoked.verify = VerifyResult::Revoked;
    EXPECT_EQ(JudgeSignature(revoked), InstallerCheck::Revoked);
    SignatureFacts unsignedAgent = GoodSelfSigned();
    unsignedAgent.agentSigned = false;
    EXPECT_EQ(JudgeSignature(unsignedAgent), InstallerCheck::AgentUnsigned);
}

// The agent's own certificate does not excuse a chain fault that the system
// check let through (Wine verifies without looking at the chain).
TEST(JudgeSignature, AChainFaultOrASecondSignerCertificateRefusesEvenTheAgentsOwnCertificate) {
    const std::pair<ChainFault, InstallerCheck> cases[] = {
        {ChainFault::Revoked, InstallerCheck::Revoked},
        {ChainFault::NotTimeValid, InstallerCheck::Expired},
        {ChainFault::WrongUsage, InstallerCheck::NotForCodeSigning},
        {ChainFault::Other, InstallerCheck::SignatureInvalid},
    };
    for (const auto& [fault, verdict] : cases) {
        SignatureFacts facts = GoodSelfSigned();
        facts.verify = VerifyResult::Verified;
        facts.chain = fault;
        EXPECT_EQ(JudgeSignature(facts), verdict) << static_cast<int>(fault);
    }
    SignatureFacts ambiguous = GoodSelfSigned();
    ambiguous.signerAmbiguous = true;
    EXPECT_EQ(JudgeSignature(ambiguous), InstallerCheck::AmbiguousSigner);
    ambiguous.verify = VerifyResult::OtherFailure;  // the system check may stumble on the second one
    EXPECT_EQ(JudgeSignature(ambiguous), InstallerCheck::AmbiguousSigner);
}

VersionFacts NewerInstaller() {
    VersionFacts facts;
    facts.recordFound = true;
    facts.namedAsInstaller = true;
    facts.fileVersion = 0x0001000300000000ull;
    facts.agentVersion = 0x0001000200000000ull;
    return facts;
}

TEST(JudgeVersion, OnlyANewerInstallerThatIsNoUninstallerPasses) {
    EXPECT_EQ(JudgeVersion(NewerInstaller()), InstallerCheck::Authentic);
    VersionFacts same = NewerInstaller();
    same.fileVersion = same.agentVersion;
    EXPECT_EQ(JudgeVersion(same), InstallerCheck::NotNewer);
    VersionFacts uninstaller = NewerInstaller();
    uninstaller.uninstaller = true;
    EXPECT_EQ(JudgeVersion(uninstaller), InstallerCheck::Uninstaller);
    VersionFacts agent = NewerInstaller();
    agent.namedAsInstaller = false;
    EXPECT_EQ(JudgeVersion(agent), InstallerCheck::NotAnInstaller);
    VersionFacts noRecord = NewerInstaller();
    noRecord.recordFound = false;
    EXPECT_EQ(JudgeVersion(noRecord), InstallerCheck::NotAnInstaller);
}

}  // namespace
}  // namespace kov
