// The installer-URL rules and the signature verdict, without Windows.
#include "core/update_check.h"

#include <gtest/gtest.h>

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

SignatureFacts GoodSelfSigned() {
    SignatureFacts facts;
    facts.agentSigned = true;
    facts.fileSigned = true;
    facts.digestMatches = true;
    facts.chainTrusted = false;
    facts.sameSubject = true;
    facts.sameCertificate = true;
    return facts;
}

TEST(JudgeSignature, TheAgentsOwnCertificateIsAuthentic) {
    EXPECT_EQ(JudgeSignature(GoodSelfSigned()), InstallerCheck::Authentic);
    SignatureFacts trusted = GoodSelfSigned();
    trusted.chainTrusted = true;
    EXPECT_EQ(JudgeSignature(trusted), InstallerCheck::Authentic);
}

TEST(JudgeSignature, ARenewedCertificateOfTheSameSubjectCountsOnlyWithATrustedChain) {
    SignatureFacts renewed = GoodSelfSigned();
    renewed.sameCertificate = false;
    renewed.chainTrusted = true;
    EXPECT_EQ(JudgeSignature(renewed), InstallerCheck::Authentic);

    SignatureFacts copiedName = renewed;
    copiedName.chainTrusted = false;  // a self-signed certificate with the publisher's name
    EXPECT_EQ(JudgeSignature(copiedName), InstallerCheck::OtherPublisher);
}

TEST(JudgeSignature, AnotherSubjectIsAnotherPublisherEvenWhenTrusted) {
    SignatureFacts other = GoodSelfSigned();
    other.sameCertificate = false;
    other.sameSubject = false;
    EXPECT_EQ(JudgeSignature(other), InstallerCheck::OtherPublisher);
    other.chainTrusted = true;
    EXPECT_EQ(JudgeSignature(other), InstallerCheck::OtherPublisher);
}

TEST(JudgeSignature, MissingOrBrokenSignaturesAndAnUnsignedAgentRefuse) {
    SignatureFacts altered = GoodSelfSigned();
    altered.digestMatches = false;
    EXPECT_EQ(JudgeSignature(altered), InstallerCheck::AlteredAfterSigning);

    SignatureFacts unsignedFile = GoodSelfSigned();
    unsignedFile.fileSigned = false;
    EXPECT_EQ(JudgeSignature(unsignedFile), InstallerCheck::Unsigned);

    SignatureFacts unsignedAgent = GoodSelfSigned();
    unsignedAgent.agentSigned = false;
    EXPECT_EQ(JudgeSignature(unsignedAgent), InstallerCheck::AgentUnsigned);
}

}  // namespace
}  // namespace kov
