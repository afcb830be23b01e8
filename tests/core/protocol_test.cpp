// What the agent sends to the service and how it reads the replies.
#include "core/protocol.h"

#include <gtest/gtest.h>

#include <string>

namespace kov {
namespace {

// Reverses the encoding, failing the test on anything malformed.
std::string PercentDecode(std::string_view text) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded += text[i];
            continue;
        }
        const std::string hex(text.substr(i + 1, 2));
        EXPECT_EQ(hex.size(), 2u);
        EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos) << hex;
        decoded += static_cast<char>(std::stoi(hex, nullptr, 16));
        i += 2;
    }
    return decoded;
}

TEST(PercentEncode, EscapesQueryMetacharactersAndControlBytes) {
    EXPECT_EQ(PercentEncode("a&b=c"), "a%26b%3Dc");
    EXPECT_EQ(PercentEncode("#%+ ?/"), "%23%25%2B%20%3F%2F");
    EXPECT_EQ(PercentEncode("tok\r\n"), "tok%0D%0A");
    EXPECT_EQ(PercentEncode(std::string("a\0b", 3)), "a%00b");
}

TEST(PercentEncode, EscapesWindows1251BytesInUpperCaseHex) {
    EXPECT_EQ(PercentEncode("\xc8\xe2\xe0\xed\xee\xe2"),  // "Иванов"
              "%C8%E2%E0%ED%EE%E2");
    EXPECT_EQ(PercentEncode("\x80\xff"), "%80%FF");
}

TEST(PercentEncode, LeavesUnreservedBytesUntouched) {
    const std::string unreserved =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~";
    EXPECT_EQ(PercentEncode(unreserved), unreserved);
    EXPECT_EQ(PercentEncode(""), "");
}

TEST(PercentEncode, EveryByteRoundTripsAndOnlySafeCharactersRemain) {
    std::string allBytes;
    for (int b = 0; b < 256; ++b) allBytes += static_cast<char>(b);
    const std::string encoded = PercentEncode(allBytes);
    EXPECT_EQ(encoded.find_first_not_of(
                  "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~%"),
              std::string::npos);
    EXPECT_EQ(PercentDecode(encoded), allBytes);
    EXPECT_EQ(encoded.size(), 66 + 3 * (256 - 66)) << "66 unreserved bytes stay single";
}

TEST(ObjectNames, SignInCarriesEncodedLoginAndDigest) {
    const std::string digest = PasswordDigest("secret");
    EXPECT_EQ(SignInObjectName("newmessages", "ivan", digest),
              "newmessages?do=login&login=ivan&password=" + digest);
    // An ampersand in the login must not add a parameter to the query.
    EXPECT_EQ(SignInObjectName("/api/", "a&password=x", digest),
              "/api/?do=login&login=a%26password%3Dx&password=" + digest);
}

TEST(ObjectNames, StatusCarriesStatusNumberLoginAndToken) {
    EXPECT_EQ(StatusObjectName("newmessages", PresenceStatus::Online, "ivan", "t0k"),
              "newmessages?do=get&status=0&login=ivan&token=t0k");
    EXPECT_EQ(StatusObjectName("p", PresenceStatus::Away, "\xc8\xe2", "a+b/c="),
              "p?do=get&status=1&login=%C8%E2&token=a%2Bb%2Fc%3D");
    EXPECT_EQ(StatusObjectName("p", PresenceStatus::Offline, "", "x y#z"),
              "p?do=get&status=2&login=&token=x%20y%23z");
}

TEST(ObjectNames, ProbeIsThePrefixAlone) {
    EXPECT_EQ(ProbeObjectName("newmessages"), "newmessages");
    EXPECT_EQ(ProbeObjectName("/check?v=1"), "/check?v=1");
}

TEST(PasswordDigest, IsLowerCaseHexWithLeadingZeros) {
    EXPECT_EQ(PasswordDigest(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(PasswordDigest("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(PasswordDigest("\xcf\xe0\xf0\xee\xeb\xfc"),  // "Пароль" in Windows-1251
              "08f8e03bd59a7c67dc44028b3e073d5e");
}

TEST(ReadReply, TheFirstCharacterDecidesTheKind) {
    EXPECT_EQ(ReadReply("0").kind, ReplyKind::Accepted);
    EXPECT_EQ(ReadReply("1 wrong").kind, ReplyKind::Rejected);
    EXPECT_EQ(ReadReply("2 \"http://h/s.exe\"").kind, ReplyKind::Outdated);
    const ServiceReply none = ReadReply("");
    EXPECT_EQ(none.kind, ReplyKind::Failure);
    EXPECT_EQ(none.unexpectedBytes, 0u) << "no reply at all";
    const ServiceReply page = ReadReply("<html><body>502</body></html>");
    EXPECT_EQ(page.kind, ReplyKind::Failure);
    EXPECT_EQ(page.unexpectedBytes, 29u);
    EXPECT_EQ(ReadReply("1 0042").messageCount, 0) << "only an accepted reply has a count";
}

TEST(ReplyToken, DropsTheTrailingLineEndOnly) {
    EXPECT_EQ(ReadReply("0 abc123\r\n").token, "abc123");
    EXPECT_EQ(ReadReply("0 abc123\n\n").token, "abc123");
    EXPECT_EQ(ReadReply("0 abc123\r").token, "abc123");
    EXPECT_EQ(ReadReply("0:abc123").token, "abc123") << "the separator may be anything";
    EXPECT_EQ(ReadReply("0 abc  ").token, "abc  ") << "blanks are part of the token";
    EXPECT_EQ(ReadReply("0 ab\r\ncd\r\n").token, "ab\r\ncd") << "only the trailing run goes";
    EXPECT_EQ(ReadReply("0 \r\nab").token, "\r\nab");
}

TEST(ReplyToken, IsEmptyForShortOrLineEndOnlyReplies) {
    EXPECT_EQ(ReadReply("").token, "");
    EXPECT_EQ(ReadReply("0").token, "");
    EXPECT_EQ(ReadReply("0 ").token, "");
    EXPECT_EQ(ReadReply("0 x").token, "x");
    EXPECT_EQ(ReadReply("0 \r\n").token, "");
}

TEST(ReplyMessageCount, ReadsPositionsTwoToFive) {
    EXPECT_EQ(ReadReply("0 0042").messageCount, 42);
    EXPECT_EQ(ReadReply("0    7").messageCount, 7);
    EXPECT_EQ(ReadReply("0 7   ").messageCount, 7);
    EXPECT_EQ(ReadReply("0\t9999").messageCount, 9999);
    EXPECT_EQ(ReadReply("0 12ab").messageCount, 12);
    EXPECT_EQ(ReadReply("0 +5  ").messageCount, 5);
    EXPECT_EQ(ReadReply("0 \t\n8 ").messageCount, 8) << "leading white space of any kind";
}

TEST(ReplyMessageCount, ANegativeCountIsNoNewMessages) {
    EXPECT_EQ(ReadReply("0 -3xx").messageCount, 0);
    EXPECT_EQ(ReadReply("0 -999").messageCount, 0);
    EXPECT_EQ(ReadReply("0  -1 ").messageCount, 0);
    EXPECT_EQ(ReadReply("0 -0  ").messageCount, 0);
}

TEST(ReplyMessageCount, IgnoresEverythingFromPositionSix) {
    EXPECT_EQ(ReadReply("0 00123456").messageCount, 12);
    EXPECT_EQ(ReadReply("0 0001999\r\n").messageCount, 1);
    EXPECT_EQ(ReadReply("0   1234").messageCount, 12);
}

TEST(ReplyMessageCount, IsZeroWithoutDigitsOrForShortReplies) {
    EXPECT_EQ(ReadReply("").messageCount, 0);
    EXPECT_EQ(ReadReply("0 42\n").messageCount, 0) << "5 characters";
    EXPECT_EQ(ReadReply("0   7").messageCount, 0) << "5 characters";
    EXPECT_EQ(ReadReply("0 abcd").messageCount, 0);
    EXPECT_EQ(ReadReply("0 - 5x").messageCount, 0) << "a sign must be followed by digits";
    EXPECT_EQ(ReadReply("0 +-5 ").messageCount, 0);
    EXPECT_EQ(ReadReply("0     ").messageCount, 0);
}

TEST(ReplyInstallerUrl, IsThePayloadUnchanged) {
    EXPECT_EQ(ReadReply("2 \"https://h/KovarentisSetup.exe\"\r\n").installerUrl,
              "\"https://h/KovarentisSetup.exe\"\r\n");
    EXPECT_EQ(ReadReply("2 x").installerUrl, "x");
    EXPECT_EQ(ReadReply("2 ").installerUrl, "");
    EXPECT_EQ(ReadReply("2").installerUrl, "");
    EXPECT_EQ(ReadReply("").installerUrl, "");
}

}  // namespace
}  // namespace kov
