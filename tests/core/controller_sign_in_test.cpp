// The sign-in flow: the dialog loop, what it stores, and that two runs never
// overlap.
#include <gtest/gtest.h>

#include "tests/core/controller_fixture.h"

namespace kov::test {
namespace {

constexpr char kSecretDigest[] = "5ebe2294ecd0e0f08eab7690d2a6ee69";  // MD5 of "secret"

class SignInTest : public ControllerTest {
protected:
    // Starts without stored credentials: the sign-in runs first.
    void StartSigningIn() {
        settings.login = "";
        settings.token = "";
        CreateAgent();
        agent->OnInitDialog();
        platform->RunSignIns();
    }

    void Type(const std::string& login, const std::string& password, bool remember) {
        platform->script.signIns.push_back(SignInEntry{login, password, remember});
    }

    std::vector<SentRequest> SignInRequests() const {
        std::vector<SentRequest> found;
        for (const auto& r : transport->Requests()) {
            if (IsSignInRequest(r)) found.push_back(r);
        }
        return found;
    }
};

TEST_F(SignInTest, AcceptedSignInSendsTheDigestAndStoresLoginAndToken) {
    Type("ivan", "secret", true);
    transport->QueueReply("0 abc123");
    StartSigningIn();

    const auto requests = SignInRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].server, kServer);
    EXPECT_EQ(requests[0].path.rfind(std::string(kPrefix) + "?do=login&", 0), 0u);
    EXPECT_EQ(QueryValue(requests[0].path, "login"), "ivan");
    EXPECT_EQ(QueryValue(requests[0].path, "password"), kSecretDigest);
    EXPECT_EQ(requests[0].path.find("secret"), std::string::npos) << "the password itself never leaves";
    EXPECT_EQ(requests[0].body, "");
    EXPECT_EQ(requests[0].headers, "");

    EXPECT_EQ(settings.login, "ivan");
    EXPECT_EQ(settings.token, "abc123");
    EXPECT_EQ(store.Stored("App", "Login"), std::optional<std::string>("ivan"));
    EXPECT_EQ(store.Stored("App", "Token"), std::optional<std::string>("abc123"));
    EXPECT_TRUE(Record().boxes.empty());
    EXPECT_EQ(Record().signInPresets, std::vector<bool>{true});
}

TEST_F(SignInTest, UntickedRememberForgetsStoredCredentialsAndKeepsTheTokenInMemory) {
    store.Preset("App", "Login", "old");
    store.Preset("App", "Token", "oldtoken");
    Type("ivan", "secret", false);
    transport->QueueReply("0 abc123");
    StartSigningIn();

    EXPECT_EQ(settings.login, "ivan");
    EXPECT_EQ(settings.token, "abc123");
    EXPECT_EQ(settings.remember, 0);
    EXPECT_EQ(store.Stored("App", "Login"), std::optional<std::string>(""));
    EXPECT_EQ(store.Stored("App", "Token"), std::optional<std::string>(""));
    for (const auto& write : store.Writes()) {
        EXPECT_EQ(write.value, "") << write.name << " must not be stored";
    }
}

TEST_F(SignInTest, EachFailedAttemptShowsOneBoxAndTheDialogAgain) {
    Type("ivan", "wrong", false);  // rejected
    Type("ivan", "secret", true);  // no connection
    Type("ivan", "secret", true);  // an HTML error page
    Type("ivan", "secret", true);  // accepted
    transport->QueueReply("1");
    transport->QueueReply("");
    transport->QueueReply("<html>");
    transport->QueueReply("0 tok");
    StartSigningIn();

    const FakeRecord record = Record();
    ASSERT_EQ(record.boxes.size(), 3u);
    EXPECT_EQ(record.boxes[0].text, kBadLoginText);
    EXPECT_EQ(record.boxes[1].text, kConnectFailedText);
    EXPECT_EQ(record.boxes[2].text, kConnectFailedText) << "no separate text for unexpected replies";
    for (const auto& box : record.boxes) {
        EXPECT_EQ(box.caption, kCaptionText);
        EXPECT_EQ(box.kind, BoxKind::Warning);
    }
    // Each new dialog starts from the remember box as the consultant left it.
    EXPECT_EQ(record.signInPresets, (std::vector<bool>{true, false, true, true}));
    EXPECT_EQ(SignInRequests().size(), 4u);
    EXPECT_TRUE(record.tray.created);
    EXPECT_EQ(settings.token, "tok");
}

TEST_F(SignInTest, FailedAttemptKeepsThePreviousTokenButEmptiesStoredValuesWhenUnticked) {
    StartOnline();
    agent->OnCommand(Command::SignInOut);  // out: token gone
    RunThreads();                          // its Offline request
    settings.token = "kept";           // as if left by an earlier sign-in of this run
    store.Preset("App", "Login", "ivan");
    store.Preset("App", "Token", "kept");
    Type("maria", "pw", false);
    transport->QueueReply("1");
    agent->OnCommand(Command::SignInOut);  // the second dialog is cancelled
    platform->RunSignIns();

    EXPECT_EQ(settings.login, "maria");
    EXPECT_EQ(settings.token, "kept");
    EXPECT_EQ(settings.remember, 0);
    EXPECT_EQ(store.Stored("App", "Login"), std::optional<std::string>(""));
    EXPECT_EQ(store.Stored("App", "Token"), std::optional<std::string>(""));
    EXPECT_EQ(Record().signInPresets, (std::vector<bool>{true, false}));
    EXPECT_EQ(platform->QueuedThreads(), 0) << "a cancelled sign-in starts no poll";
}

TEST_F(SignInTest, CancellingTheFirstDialogChangesNothing) {
    StartOnline();
    settings.login = "ivan";
    agent->OnCommand(Command::SignInOut);  // out
    const std::size_t writes = store.Writes().size();
    settings.token = "t";
    agent->OnCommand(Command::SignInOut);  // in, cancelled
    EXPECT_EQ(settings.login, "");
    EXPECT_EQ(settings.token, "t");
    EXPECT_EQ(settings.remember, 1);
    EXPECT_EQ(store.Writes().size(), writes);
    EXPECT_EQ(SignInRequests().size(), 0u);
}

TEST_F(SignInTest, UpdateReplyOffersTheUpdateAndCountsAsSignedIn) {
    for (const BoxAnswer answer : {BoxAnswer::No, BoxAnswer::Yes}) {
        SCOPED_TRACE(answer == BoxAnswer::No ? "declined" : "accepted but the download fails");
        transport = std::make_shared<FakeTransport>();
        platform = std::make_shared<FakePlatform>(transport);
        platform->script.downloadSucceeds = false;
        platform->script.boxAnswers.push_back(answer);
        settings.token = "before";
        settings.login = "";
        Type("ivan", "secret", true);
        transport->QueueReply("2 http://dl.test/setup.exe");
        CreateAgent();
        agent->OnInitDialog();
        RunThreads();

        const FakeRecord record = Record();
        ASSERT_GE(record.boxes.size(), 1u);
        EXPECT_EQ(record.boxes[0].text, kUpdateQuestionText);
        EXPECT_EQ(record.signInPresets.size(), 1u) << "no second dialog";
        EXPECT_TRUE(record.tray.created) << "the sign-in returned 0";
        EXPECT_TRUE(record.endResults.empty());
        EXPECT_EQ(settings.token, "before");
        agent.reset();
        platform->RunQueuedThreads();
    }
}

TEST_F(SignInTest, UpdateStartedFromTheFirstSignInEndsTheAgentWithoutATray) {
    Type("ivan", "secret", true);
    transport->QueueReply("2 http://dl.test/setup.exe");
    StartSigningIn();
    RunThreads();
    const FakeRecord record = Record();
    EXPECT_EQ(record.startedFiles.size(), 1u);
    EXPECT_EQ(record.endResults, std::vector<int>{2});
    EXPECT_FALSE(record.tray.created);
    EXPECT_TRUE(StatusRequests().empty());
}

TEST_F(SignInTest, SignInCommandWhileTheDialogIsOpenBringsItForward) {
    StartOnline();
    agent->OnCommand(Command::SignInOut);  // out
    RunThreads();
    Type("ivan", "secret", true);
    transport->QueueReply("0 t");
    platform->duringSignIn = [&] {
        platform->duringSignIn = nullptr;
        agent->OnCommand(Command::SignInOut);
        agent->OnActivateAgent();
    };
    agent->OnCommand(Command::SignInOut);  // in

    EXPECT_EQ(Record().signInPresets.size(), 1u);
    EXPECT_EQ(Record().signInForward, 2);
    EXPECT_EQ(platform->QueuedThreads(), 1) << "the one sign-in's request";
}

TEST_F(SignInTest, RejectedTokenWhileTheConsultantSignsInBringsTheOpenDialogForward) {
    StartWithReply("");  // connecting
    Type("ivan", "secret", true);
    transport->QueueReply("1");     // the poll running meanwhile is rejected
    transport->QueueReply("0 new");  // the consultant's sign-in
    transport->QueueReply("0 0000");
    platform->duringSignIn = [&] {
        platform->duringSignIn = nullptr;
        Tick(kRequestTimeout);
    };
    agent->OnCommand(Command::SignInOut);
    RunThreads();

    const FakeRecord record = Record();
    EXPECT_EQ(record.signInPresets.size(), 1u);
    EXPECT_EQ(record.signInForward, 1);
    EXPECT_EQ(settings.token, "new");
    EXPECT_FALSE(agent->State().signedOut) << "the new sign-in's poll was accepted";
}

TEST_F(SignInTest, SignInCommandDuringTheRejectedBoxDoesNotOpenASecondDialog) {
    StartOnline();
    transport->QueueReply("1");
    platform->duringBox = [&](const BoxShown& box) {
        if (box.text == kBadLoginText) agent->OnCommand(Command::SignInOut);
    };
    Tick(kRequestTimeout);
    EXPECT_EQ(Record().signInPresets.size(), 1u);
    EXPECT_EQ(Record().signInForward, 1);
}

}  // namespace
}  // namespace kov::test
