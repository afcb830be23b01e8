// The diagnostic log's line texts.
#include "core/diagnostic_lines.h"

#include <gtest/gtest.h>

#include "core/platform.h"
#include "core/settings.h"
#include "tests/core/memory_profile_store.h"

namespace kov {
namespace {

std::string Text(const LogLine& line) { return std::string(line.View()); }

TEST(DiagnosticLinesTest, StampHasTheLocalTimeToTheMillisecondAndTheThread) {
    const LineStamp stamp{2026, 3, 7, 9, 5, 4, 7, 4321};
    EXPECT_EQ(Text(StampedLine(stamp, "status: online")), "2026-03-07 09:05:04.007 [4321] status: online");
}

TEST(DiagnosticLinesTest, ALineLongerThanItsBufferIsCut) {
    const std::string line = Text(StampedLine({}, std::string(1000, 'x')));
    EXPECT_EQ(line.size(), LogLine::kCapacity);
    EXPECT_EQ(line.substr(0, 29), "0000-00-00 00:00:00.000 [0] x");
}

TEST(DiagnosticLinesTest, StartNamesTheVersionAndTheSettingsButNeverTheToken) {
    test::MemoryProfileStore store;
    store.Preset("App", "Login", "ivan");
    store.Preset("App", "Token", "tok-secret");
    AgentSettings settings(store, "");
    settings.server = "http://127.0.0.1";
    settings.prefix = "newmessages";
    settings.requestTimeout = 15000;
    settings.awayTimeout = 600000;
    const std::string line = Text(StartLine("1.2.0.0", settings));
    EXPECT_EQ(line,
              "start: Kovarentis 1.2.0.0; server \"http://127.0.0.1\", prefix \"newmessages\", poll every 15 s, "
              "away after 10 min, update probe off, signed in yes");
    EXPECT_EQ(line.find("tok-secret"), std::string::npos);
}

TEST(DiagnosticLinesTest, ExchangeTellsTheReplyOrTheWinInetErrorAndTheTime) {
    EXPECT_EQ(Text(ExchangeLine({"127.0.0.1", true, 6, 0, 31})), "request to \"127.0.0.1\": reply of 6 bytes in 31 ms");
    EXPECT_EQ(Text(ExchangeLine({"127.0.0.1", false, 0, 12029, 1003})),
              "request to \"127.0.0.1\": failed, WinINet error 12029 in 1003 ms");
    EXPECT_EQ(Text(ExchangeLine({"h", false, 0, 0, 0})), "request to \"h\": failed (no error code) in 0 ms");
}

TEST(DiagnosticLinesTest, RepliesAreNamedByTheirMeaningNeverByTheirBody) {
    EXPECT_EQ(Text(ReplyLine(RequestKind::Poll, ReadReply("0 0003"))), "poll: accepted, 3 new messages");
    EXPECT_EQ(Text(ReplyLine(RequestKind::Poll, ReadReply("1"))), "poll: rejected (login or token)");
    EXPECT_EQ(Text(ReplyLine(RequestKind::UpdateProbe, ReadReply("2 http://x/setup.exe"))),
              "update probe: outdated (an update is offered)");
    EXPECT_EQ(Text(ReplyLine(RequestKind::OfflineSend, ReadReply(""))), "offline send: failure (no reply)");
    EXPECT_EQ(Text(ReplyLine(RequestKind::Poll, ReadReply("<html>token</html>"))),
              "poll: failure (unexpected reply of 18 bytes)");
    const std::string signIn = Text(SignInLine("\xc8\xe2\xe0\xed", ReadReply("0 the-token\r\n")));
    EXPECT_EQ(signIn, "sign-in as \"\xc8\xe2\xe0\xed\": accepted");
}

TEST(DiagnosticLinesTest, ALoginCannotForgeALineOrGrowItWithoutBound) {
    EXPECT_EQ(Text(SignOutLine("a\r\nb\x7f")), "sign-out of \"a??b?\"");
    EXPECT_EQ(Text(SignOutLine("a\": accepted")), "sign-out of \"a?: accepted\"");
    const std::string line = Text(UpdateOfferedLine(std::string(500, 'u')));
    EXPECT_EQ(line, "update: offered \"" + std::string(200, 'u') + "...\"");
}

TEST(DiagnosticLinesTest, StatusAndUpdateVerdicts) {
    EXPECT_EQ(Text(StatusLine(PresenceStatus::Away, false)), "status: away");
    EXPECT_EQ(Text(StatusLine(PresenceStatus::Online, true)), "status: signed out");
    EXPECT_EQ(Text(UpdateRefusedLine(InstallerCheck::Unsigned)), "update: refused, the installer is not signed");
    EXPECT_EQ(Text(UpdateRefusedLine(InstallerCheck::OtherPublisher)),
              "update: refused, the installer is signed by another publisher");
    EXPECT_EQ(Text(UpdateRefusedLine(InstallerCheck::CheckUnavailable)),
              "update: refused, the signature could not be checked");
    EXPECT_EQ(Text(UpdateRefusedLine(std::nullopt)), "update: refused, the installer URL is not an http or https URL");
}

}  // namespace
}  // namespace kov
