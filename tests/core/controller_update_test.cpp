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
    platform->script.boxAnswers.push_back(kAnswerNo);
    OfferUpdate("http://dl.test/setup.exe");
    const FakeRecord record = Record();
    ASSERT_EQ(record.boxes.size(), 1u);
    EXPECT_EQ(record.boxes[0].text, kUpdateQuestionText);
    EXPECT_EQ(record.boxes[0].style, 36);
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
    agent->OnCommand(ID_STATUS_ONLINE);
    RunThreads();
    EXPECT_EQ(transport->Requests().size(), 2u) << "the ending agent sends nothing more";
}

TEST_F(UpdateTest, TrailingBlanksAndLineBreaksStayInTheUrl) {
    OfferUpdate("http://dl.test/setup.exe \r\n");
    ASSERT_EQ(Record().downloads.size(), 1u);
    EXPECT_EQ(Record().downloads[0].first, "http://dl.test/setup.exe \r\n");
}

TEST_F(UpdateTest, FailedDownloadShowsTheConnectionFailureOnceAndTheAgentGoesOn) {
    platform->script.downloadSucceeds = false;
    OfferUpdate("http://dl.test/setup.exe");
    const FakeRecord record = Record();
    ASSERT_EQ(record.boxes.size(), 2u);
    EXPECT_EQ(record.boxes[1].text, kConnectFailedText);
    EXPECT_EQ(record.boxes[1].caption, kCaptionText);
    EXPECT_EQ(record.boxes[1].style, 48);
    EXPECT_TRUE(record.startedFiles.empty());
    EXPECT_TRUE(record.endResults.empty());
    EXPECT_TRUE(platform->TimerRunning(POLL_TIMER));
}

TEST_F(UpdateTest, DownloadedErrorPageIsNotStarted) {
    platform->script.downloadIsExecutable = false;  // the "download" saved an HTTP error page
    OfferUpdate("http://dl.test/missing.exe");
    const FakeRecord record = Record();
    EXPECT_EQ(record.downloads.size(), 1u);
    ASSERT_EQ(record.boxes.size(), 2u);
    EXPECT_EQ(record.boxes[1].text, kConnectFailedText);
    EXPECT_TRUE(record.startedFiles.empty());
    EXPECT_TRUE(record.endResults.empty());

    transport->QueueReply("0 0000");
    Tick(kRequestTimeout);
    EXPECT_FALSE(agent->State().signedOut) << "the agent keeps running";
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
    platform->script.boxAnswers.push_back(kAnswerNo);
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
