// DownloadUpdate, reached through a poll whose reply says the agent is outdated.
#include <gtest/gtest.h>

#include "tests/core/controller_fixture.h"

namespace kov::test {
namespace {

class UpdateTest : public ControllerTest {
protected:
    // Online, then the next poll hears "outdated" with this payload.
    void OfferUpdate(const std::string& payload) {
        StartOnline();
        transport->QueueReply("2 " + payload);
        Tick(kRequestTimeout);
    }
};

TEST_F(UpdateTest, DecliningShowsNothingMoreAndTheAgentGoesOn) {
    platform->script.boxAnswers.push_back(BoxAnswer::No);
    OfferUpdate("http://dl.test/setup.exe");
    const FakeRecord record = Record();
    ASSERT_EQ(record.boxes.size(), 1u);
    EXPECT_EQ(record.boxes[0].text, kUpdateQuestionText);
    EXPECT_EQ(record.boxes[0].kind, BoxKind::Question);
    EXPECT_TRUE(record.downloads.empty());
    EXPECT_TRUE(record.endResults.empty());

    transport->QueueReply("0 0000");
    Tick(kRequestTimeout);
    EXPECT_EQ(StatusRequests().size(), 3u) << "the running poll timer goes on";
}

TEST_F(UpdateTest, AcceptedDownloadStartsTheInstallerAndEndsTheAgent) {
    OfferUpdate("\"http://dl.test/new \"agent\".exe\"");
    const FakeRecord record = Record();
    ASSERT_EQ(record.downloads.size(), 1u);
    EXPECT_EQ(record.downloads[0].first, "http://dl.test/new agent.exe") << "every quote removed, nothing else";
    EXPECT_EQ(record.downloads[0].second, "C:\\Temp\\KovarentisSetup.exe");
    EXPECT_EQ(record.startedFiles, std::vector<std::string>{"C:\\Temp\\KovarentisSetup.exe"});
    EXPECT_EQ(record.endResults, std::vector<int>{2});
    EXPECT_EQ(record.boxes.size(), 1u);

    Tick(10 * 60 * 1000);
    agent->OnCommand(Command::StatusOnline);
    RunThreads();
    EXPECT_EQ(transport->Requests().size(), 2u) << "the ending agent sends nothing more";
}

TEST_F(UpdateTest, TrailingBlanksAndLineBreaksAreTrimmedFromTheUrl) {
    OfferUpdate("http://dl.test/setup.exe \r\n");
    ASSERT_EQ(Record().downloads.size(), 1u);
    EXPECT_EQ(Record().downloads[0].first, "http://dl.test/setup.exe");
}

class RefusedUrlTest : public UpdateTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(RefusedUrlTest, IsRefusedWithoutAskingOrDownloadingAndNotOfferedAgain) {
    OfferUpdate(GetParam());
    const FakeRecord record = Record();
    ASSERT_EQ(record.boxes.size(), 1u);
    EXPECT_EQ(record.boxes[0].text, kUpdateNotAuthenticText);
    EXPECT_EQ(record.boxes[0].kind, BoxKind::Warning);
    EXPECT_TRUE(record.downloads.empty());

    transport->QueueReply(std::string("2 ") + GetParam());
    Tick(kRequestTimeout);
    EXPECT_EQ(Record().boxes.size(), 1u) << "the same URL was refused again";
    EXPECT_TRUE(platform->TimerRunning(POLL_TIMER));
}

INSTANTIATE_TEST_SUITE_P(OutsideHttp, RefusedUrlTest,
                         ::testing::Values("file:///C:/evil.exe", "\\\\host\\share\\x.exe",
                                           "ftp://dl.test/x.exe", "\"\""));

TEST_F(UpdateTest, FailedDownloadShowsTheConnectionFailureOnceAndTheAgentGoesOn) {
    platform->script.downloadSucceeds = false;
    OfferUpdate("http://dl.test/setup.exe");
    const FakeRecord record = Record();
    ASSERT_EQ(record.boxes.size(), 2u);
    EXPECT_EQ(record.boxes[1].text, kConnectFailedText);
    EXPECT_EQ(record.boxes[1].caption, kCaptionText);
    EXPECT_EQ(record.boxes[1].kind, BoxKind::Warning);
    EXPECT_TRUE(record.startedFiles.empty());
    EXPECT_TRUE(record.checkedFiles.empty()) << "nothing arrived to check";
    EXPECT_TRUE(record.endResults.empty());
    EXPECT_TRUE(platform->TimerRunning(POLL_TIMER));
}

class RefusedFileTest : public UpdateTest, public ::testing::WithParamInterface<InstallerCheck> {};

TEST_P(RefusedFileTest, IsDeletedRefusedOnceAndTheAgentGoesOn) {
    platform->script.installerCheck = GetParam();
    OfferUpdate("http://dl.test/setup.exe");
    const FakeRecord record = Record();
    EXPECT_EQ(record.checkedFiles, std::vector<std::string>{"C:\\Temp\\KovarentisSetup.exe"});
    EXPECT_EQ(record.removedFiles, record.checkedFiles);
    ASSERT_EQ(record.boxes.size(), 2u);
    EXPECT_EQ(record.boxes[1].text, kUpdateNotAuthenticText);
    EXPECT_EQ(record.boxes[1].kind, BoxKind::Warning);
    EXPECT_TRUE(record.startedFiles.empty());
    EXPECT_TRUE(record.endResults.empty());

    transport->QueueReply("2 http://dl.test/setup.exe\r\n");
    Tick(kRequestTimeout);
    EXPECT_EQ(Record().boxes.size(), 2u) << "asked again for a refused URL";
    transport->QueueReply("0 0000");
    Tick(kRequestTimeout);
    EXPECT_FALSE(agent->State().signedOut) << "the agent keeps polling";
}

INSTANTIATE_TEST_SUITE_P(EveryRefusal, RefusedFileTest,
                         ::testing::Values(InstallerCheck::Unsigned, InstallerCheck::AlteredAfterSigning,
                                           InstallerCheck::OtherPublisher, InstallerCheck::AgentUnsigned,
                                           InstallerCheck::CheckUnavailable));

// The first poll of the run arms no poll timer before its reply is handled;
// declined there, polling stays off as it always has (see ReplyTest).
struct FailedUpdate {
    const char* name;
    const char* payload;
    bool downloadSucceeds;
    InstallerCheck check;
    bool shellStarts;
};

class FirstPollUpdateTest : public UpdateTest, public ::testing::WithParamInterface<FailedUpdate> {};

TEST_P(FirstPollUpdateTest, AnUpdateThatFailsLeavesTheAgentPolling) {
    platform->script.downloadSucceeds = GetParam().downloadSucceeds;
    platform->script.installerCheck = GetParam().check;
    platform->script.shellStarts = GetParam().shellStarts;
    StartWithReply(std::string("2 ") + GetParam().payload);
    ASSERT_EQ(StatusRequests().size(), 1u);
    EXPECT_EQ(Record().boxes.size(), std::string(GetParam().payload).rfind("http", 0) == 0 ? 2u : 1u);
    EXPECT_TRUE(platform->TimerRunning(POLL_TIMER));
    EXPECT_EQ(platform->TimerPeriod(POLL_TIMER), kRequestTimeout);

    transport->QueueReply("0 0000");
    Tick(kRequestTimeout);
    EXPECT_EQ(StatusRequests().size(), 2u);
    EXPECT_FALSE(agent->State().signedOut);
}

INSTANTIATE_TEST_SUITE_P(
    EveryFailure, FirstPollUpdateTest,
    ::testing::Values(FailedUpdate{"UrlRefused", "file:///C:/x.exe", true, InstallerCheck::Authentic, true},
                      FailedUpdate{"DownloadFailed", "http://dl.test/s.exe", false, InstallerCheck::Authentic, true},
                      FailedUpdate{"FileRefused", "http://dl.test/s.exe", true, InstallerCheck::Unsigned, true},
                      FailedUpdate{"StartFailed", "http://dl.test/s.exe", true, InstallerCheck::Authentic, false}),
    [](const ::testing::TestParamInfo<FailedUpdate>& info) { return std::string(info.param.name); });

TEST_F(UpdateTest, ARefusedUrlDoesNotStopAnotherUrlFromBeingOffered) {
    platform->script.installerCheck = InstallerCheck::OtherPublisher;
    OfferUpdate("http://evil.test/setup.exe");
    platform->script.installerCheck = InstallerCheck::Authentic;
    transport->QueueReply("2 https://dl.test/setup.exe");
    Tick(kRequestTimeout);
    const FakeRecord record = Record();
    ASSERT_EQ(record.downloads.size(), 2u);
    EXPECT_EQ(record.downloads[1].first, "https://dl.test/setup.exe");
    EXPECT_EQ(record.startedFiles.size(), 1u);
    EXPECT_EQ(record.endResults, std::vector<int>{2});
}

TEST_F(UpdateTest, AnInstallerTheShellCannotStartShowsTheFailureAndTheAgentGoesOn) {
    platform->script.shellStarts = false;
    OfferUpdate("http://dl.test/setup.exe");
    const FakeRecord record = Record();
    ASSERT_EQ(record.boxes.size(), 2u);
    EXPECT_EQ(record.boxes[1].text, kUnexpectedErrorText);
    EXPECT_TRUE(record.endResults.empty());

    transport->QueueReply("0 0000");
    Tick(kRequestTimeout);
    EXPECT_EQ(StatusRequests().size(), 3u) << "the agent keeps polling";
    EXPECT_FALSE(agent->State().signedOut);
}

TEST_F(UpdateTest, NoTemporaryDirectoryGivesUpSilently) {
    platform->script.installerPath = std::nullopt;
    OfferUpdate("http://dl.test/setup.exe");
    const FakeRecord record = Record();
    EXPECT_EQ(record.boxes.size(), 1u);
    EXPECT_TRUE(record.downloads.empty());
    EXPECT_TRUE(record.endResults.empty());
}

TEST_F(UpdateTest, OnlyOneQuestionIsOpenAtATime) {
    StartOnline();
    platform->script.boxAnswers.push_back(BoxAnswer::No);
    transport->QueueReply("2 http://dl.test/setup.exe");
    transport->QueueReply("2 http://dl.test/setup.exe");
    transport->QueueReply("2 http://dl.test/setup.exe");
    platform->duringBox = [&](const BoxShown&) {
        Tick(kRequestTimeout);  // more polls hear "outdated" while the question waits
        Tick(kRequestTimeout);
    };
    Tick(kRequestTimeout);
    EXPECT_EQ(StatusRequests().size(), 4u);
    EXPECT_EQ(Record().boxes.size(), 1u);
}

}  // namespace
}  // namespace kov::test
