// How a rise of the new-message count is announced: the balloon beside the
// sound, the Params.ini keys that shape them, and the quiet kept while the
// consultant is busy.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/core/controller_fixture.h"

namespace kov::test {
namespace {

// "Новых сообщений: " in Windows-1251, the count follows.
const std::string kBalloonText = "\xcd\xee\xe2\xfb\xf5 \xf1\xee\xee\xe1\xf9\xe5\xed\xe8\xe9: ";

class AlertTest : public ControllerTest {
protected:
    void NextPoll(const std::string& reply) {
        transport->QueueReply(reply);
        Tick(kRequestTimeout);
    }

    std::vector<BalloonShown> Balloons() const { return Record().balloons; }
    int Sounds() const { return Record().tray.sounds; }
};

TEST_F(AlertTest, EachRiseShowsOneInformationBalloonWithTheCountThatOpensThePage) {
    StartOnline(0);
    struct Step {
        const char* reply;
        int balloonsAfter;
        int soundsAfter;
    };
    // 3 after 0 announces; 3 again does not; 2 does not; 3 after 2 does; 7 does.
    for (const Step& step : {Step{"0 0003", 1, 1}, Step{"0 0003", 1, 1}, Step{"0 0002", 1, 1},
                             Step{"0 0003", 2, 2}, Step{"0 0007", 3, 3}}) {
        SCOPED_TRACE(step.reply);
        NextPoll(step.reply);
        EXPECT_EQ(Balloons().size(), static_cast<std::size_t>(step.balloonsAfter));
        EXPECT_EQ(Sounds(), step.soundsAfter);
    }
    const auto balloons = Balloons();
    ASSERT_EQ(balloons.size(), 3u);
    EXPECT_EQ(balloons[0].text, kBalloonText + "3");
    EXPECT_EQ(balloons[1].text, kBalloonText + "3");
    EXPECT_EQ(balloons[2].text, kBalloonText + "7");
    for (const auto& balloon : balloons) {
        EXPECT_EQ(balloon.title, kCaptionText);
        EXPECT_EQ(balloon.kind, BalloonKind::NewMessages);
        EXPECT_EQ(balloon.timeoutSec, 10);
    }
}

TEST_F(AlertTest, RiseWhileAwayIsAnnouncedToo) {
    StartOnline(0);
    agent->OnCommand(Command::StatusAway);
    transport->QueueReply("0 0002");
    RunThreads();
    ASSERT_EQ(agent->State().status, PresenceStatus::Away);
    ASSERT_EQ(Balloons().size(), 1u);
    EXPECT_EQ(Balloons()[0].text, kBalloonText + "2");
}

TEST_F(AlertTest, BalloonKeyOffLeavesTheSoundAlone) {
    settings.newMessageBalloon = 0;
    StartOnline(0);
    NextPoll("0 0003");
    EXPECT_TRUE(Balloons().empty());
    EXPECT_EQ(Sounds(), 1);
    EXPECT_EQ(Record().tray.tooltip, Tooltip(kNewMessagesText + "3"));
}

TEST_F(AlertTest, WhileBusyTheRiseBlinksSilentlyAndIsNotAnnouncedLater) {
    StartOnline(0);
    platform->script.busy = true;
    NextPoll("0 0003");
    EXPECT_TRUE(Balloons().empty());
    EXPECT_EQ(Sounds(), 0);
    const TrayState tray = Record().tray;
    EXPECT_EQ(tray.tooltip, Tooltip(kNewMessagesText + "3"));
    EXPECT_TRUE(tray.animating) << "the blinking goes on";
    EXPECT_EQ(agent->State().shownMessageCount, 3);

    // The consultant is free again: the same count stays unannounced, a rise is.
    platform->script.busy = false;
    NextPoll("0 0003");
    EXPECT_TRUE(Balloons().empty());
    EXPECT_EQ(Sounds(), 0);
    NextPoll("0 0004");
    ASSERT_EQ(Balloons().size(), 1u);
    EXPECT_EQ(Balloons()[0].text, kBalloonText + "4");
    EXPECT_EQ(Sounds(), 1);
}

TEST_F(AlertTest, SoundWhileBusyPlaysTheSoundButStillHoldsTheBalloonBack) {
    settings.soundWhileBusy = 1;
    StartOnline(0);
    platform->script.busy = true;
    NextPoll("0 0003");
    EXPECT_EQ(Sounds(), 1);
    EXPECT_TRUE(Balloons().empty());
}

TEST_F(AlertTest, BusyIsAskedOnlyWhenThereIsSomethingToAnnounce) {
    StartOnline(0);
    NextPoll("0 0000");
    NextPoll("0 0005");
    NextPoll("0 0005");
    NextPoll("0 0001");
    const auto calls = Record().calls;
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "ConsultantBusy"), 1);
}

TEST_F(AlertTest, FailureBalloonsKeepTheWarningKind) {
    StartOnline(3);
    NextPoll("");
    const auto balloons = Balloons();
    ASSERT_EQ(balloons.size(), 2u);
    EXPECT_EQ(balloons[0].kind, BalloonKind::NewMessages);
    EXPECT_EQ(balloons[1].kind, BalloonKind::Warning);
    EXPECT_EQ(balloons[1].text, kConnectFailedText);
}

}  // namespace
}  // namespace kov::test
