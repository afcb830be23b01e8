// What the controller writes to the diagnostic log, and what it never writes.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/core/controller_fixture.h"
#include "tests/core/recording_log.h"

namespace kov::test {
namespace {

constexpr char kSecretDigest[] = "5ebe2294ecd0e0f08eab7690d2a6ee69";  // MD5 of "secret"

class LogTest : public ControllerTest {
protected:
    void CreateLoggedAgent() { CreateAgent(log); }

    bool Has(const std::string& line) const {
        const auto lines = log->Lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    std::size_t Count(const std::string& line) const {
        const auto lines = log->Lines();
        return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
    }

    std::shared_ptr<RecordingLog> log = std::make_shared<RecordingLog>();
};

TEST_F(LogTest, SignInPollsAndSignOutAreLoggedWithTheLoginButNoSecret) {
    platform->script.signIns.push_back(SignInEntry{"ivan", "secret", true});
    transport->QueueReply("0 tok-abc123\r\n");
    CreateLoggedAgent();
    agent->OnInitDialog();
    transport->QueueReply("0 0003");
    RunThreads();
    transport->QueueReply("");
    Tick(kRequestTimeout);
    transport->QueueReply("0 0000");
    Tick(kRequestTimeout);
    agent->OnCommand(Command::SignInOut);
    RunThreads();

    EXPECT_TRUE(Has("sign-in as \"ivan\": accepted"));
    EXPECT_TRUE(Has("poll: accepted, 3 new messages"));
    EXPECT_TRUE(Has("poll: failure (no reply)"));
    EXPECT_TRUE(Has("sign-out of \"ivan\""));
    EXPECT_EQ(Count("status: online"), 2u) << log->All();
    EXPECT_EQ(Count("status: signed out"), 2u) << "after the failure and after the sign-out";
    const std::string all = log->All();
    EXPECT_EQ(all.find("secret"), std::string::npos);
    EXPECT_EQ(all.find(kSecretDigest), std::string::npos);
    EXPECT_EQ(all.find("tok-abc123"), std::string::npos);
}

TEST_F(LogTest, AStatusIsLoggedWhenItChangesNotOnEveryPoll) {
    settings.login = "ivan";
    settings.token = "tok";
    CreateLoggedAgent();
    agent->OnInitDialog();
    for (int poll = 0; poll < 3; ++poll) {
        transport->QueueReply("0 0000");
        Tick(kRequestTimeout);
    }
    agent->OnCommand(Command::StatusAway);
    transport->QueueReply("0 0000");
    RunThreads();
    agent->OnCommand(Command::StatusOffline);
    RunThreads();
    EXPECT_EQ(Count("status: online"), 1u) << log->All();
    EXPECT_EQ(Count("status: away"), 1u) << log->All();
    EXPECT_EQ(Count("status: offline"), 1u) << log->All();
    EXPECT_TRUE(Has("offline send: failure (no reply)")) << log->All();
    EXPECT_EQ(log->All().find("tok"), std::string::npos);
}

class UpdateLogTest : public LogTest {
protected:
    void OfferUpdate(const std::string& payload) {
        settings.login = "ivan";
        settings.token = "tok";
        CreateLoggedAgent();
        agent->OnInitDialog();
        transport->QueueReply("0 0000");
        RunThreads();
        transport->QueueReply("2 " + payload);
        Tick(kRequestTimeout);
    }
};

TEST_F(UpdateLogTest, EachDecisionIsLoggedWithItsReason) {
    platform->script.installerCheck = InstallerCheck::Unsigned;
    OfferUpdate("http://dl.test/setup.exe");
    EXPECT_TRUE(Has("poll: outdated (an update is offered)"));
    EXPECT_TRUE(Has("update: offered \"http://dl.test/setup.exe\""));
    EXPECT_TRUE(Has("update: refused, the installer is not signed")) << log->All();
}

TEST_F(UpdateLogTest, AnUnusableUrlIsRefusedWithoutAVerdict) {
    OfferUpdate("file:///C:/evil.exe");
    EXPECT_TRUE(Has("update: refused, the installer URL is not an http or https URL")) << log->All();
}

TEST_F(UpdateLogTest, DeclinedFailedAndStarted) {
    platform->script.boxAnswers.push_back(BoxAnswer::No);
    OfferUpdate("http://dl.test/a.exe");
    EXPECT_TRUE(Has("update: declined (not asked, or answered No)")) << log->All();

    platform->script.downloadSucceeds = false;
    transport->QueueReply("2 http://dl.test/b.exe");
    Tick(kRequestTimeout);
    EXPECT_TRUE(Has("update: download failed")) << log->All();

    platform->script.downloadSucceeds = true;
    transport->QueueReply("2 http://dl.test/c.exe");
    Tick(kRequestTimeout);
    EXPECT_TRUE(Has("update: installer verified and started; the agent ends")) << log->All();
}

}  // namespace
}  // namespace kov::test
