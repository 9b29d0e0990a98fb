// The channels an override holds: take-over and give-back, and the common play, pause and stop.
#include "FakeBroadcastChannels.h"
#include "OverrideSession.h"

#include <gtest/gtest.h>

using namespace tessora;
using tessora::test::FakeBroadcastChannels;

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

TEST(OverrideSession, TakesAndGivesBackOnlyOnAChange) {
    FakeBroadcastChannels channels(3);
    {
        TOverrideSession session(channels, QString(), TOverrideKind::AllCall);
        session.SetTaken(1, true);
        session.SetTaken(1, true);   // already taken: no second take-over
        session.SetTaken(2, false);  // never taken: nothing to give back
        session.SetTaken(7, true);   // no such channel
        EXPECT_TRUE(session.IsTaken(1));
        EXPECT_FALSE(session.IsTaken(0));
        session.SetTaken(1, false);
        session.SetTaken(0, true);
        EXPECT_EQ(channels.log, QStringList({"take 1  once", "give 1", "take 0  once"}));
        channels.log.clear();
    }
    // The end of the session gives back what it still holds, and only that.
    EXPECT_EQ(channels.log, QStringList({"give 0"}));
}

TEST(OverrideSession, ANewFileReachesEveryTakenChannelAndLaterOnes) {
    FakeBroadcastChannels channels(3);
    TOverrideSession session(channels, QString(), TOverrideKind::AllCall);
    session.SetTaken(0, true);
    session.SetTaken(2, true);
    EXPECT_TRUE(channels.channels[0].file.isEmpty());  // taken before any file: silent
    channels.log.clear();
    session.SetFile("/music/call.mp3");
    EXPECT_EQ(channels.log, QStringList({"file 0 /music/call.mp3", "file 2 /music/call.mp3"}));
    EXPECT_FALSE(channels.channels[1].taken);
    EXPECT_EQ(channels.channels[2].file, "/music/call.mp3");
    session.SetTaken(1, true);
    EXPECT_EQ(channels.channels[1].file, "/music/call.mp3");
}

TEST(OverrideSession, PlayTogglesEachTakenChannelByItself) {
    FakeBroadcastChannels channels(4);
    channels.channels[0].state = PlayOn;
    channels.channels[1].state = PlayStopped;
    channels.channels[2].state = PlayPaused;
    channels.channels[3].state = PlayOn;  // not taken: left alone
    TOverrideSession session(channels, "/a.wav", TOverrideKind::AllCall);
    for (int i = 0; i < 3; ++i) session.SetTaken(i, true);

    EXPECT_EQ(session.TogglePlay(), std::optional<uint8_t>(PlayOn));  // the last taken one
    EXPECT_EQ(channels.channels[0].state, PlayPaused);
    EXPECT_EQ(channels.channels[1].state, PlayOn);
    EXPECT_EQ(channels.channels[2].state, PlayOn);
    EXPECT_EQ(channels.channels[3].state, PlayOn);
    EXPECT_EQ(session.TogglePlay(), std::optional<uint8_t>(PlayPaused));
    EXPECT_EQ(channels.channels[0].state, PlayOn);
}

TEST(OverrideSession, PlayWithoutTakenChannelsReportsNothing) {
    FakeBroadcastChannels channels(2);
    TOverrideSession session(channels, "/a.wav", TOverrideKind::AllCall);
    EXPECT_EQ(session.TogglePlay(), std::nullopt);
    EXPECT_TRUE(channels.log.isEmpty());
}

TEST(OverrideSession, StopChangesOnlyChannelsNotStoppedYet) {
    FakeBroadcastChannels channels(3, PlayStopped);
    TOverrideSession session(channels, "/a.wav", TOverrideKind::AllCall);
    session.SetTaken(0, true);
    session.SetTaken(1, true);
    channels.log.clear();
    EXPECT_FALSE(session.Stop());
    EXPECT_TRUE(channels.log.isEmpty());
    channels.channels[1].state = PlayPaused;
    channels.channels[2].state = PlayOn;  // not taken
    EXPECT_TRUE(session.Stop());
    EXPECT_EQ(channels.log, QStringList({"state 1 2"}));
    EXPECT_EQ(channels.channels[2].state, PlayOn);
}

TEST(OverrideSession, PlayStateSurvivesGivingBack) {
    FakeBroadcastChannels channels(1);
    TOverrideSession session(channels, "/a.wav", TOverrideKind::AllCall);
    session.SetTaken(0, true);
    session.TogglePlay();
    session.GiveBackAll();
    EXPECT_FALSE(channels.channels[0].taken);
    EXPECT_EQ(channels.channels[0].state, PlayPaused);
}

TEST(OverrideSession, KeepsLoopingOnTakenChannelsOnly) {
    FakeBroadcastChannels channels(3);
    TOverrideSession session(channels, "/station/alarm.wav", TOverrideKind::Alarm);
    session.SetTaken(0, true);
    session.SetTaken(2, true);
    session.SetTaken(2, false);
    channels.log.clear();
    session.KeepLooping();
    // A channel given back follows its timetable, whose items loop as they say.
    EXPECT_EQ(channels.log, QStringList({"loop 0 on"}));
}

TEST(OverrideSession, AllCallLeavesPausedAndStoppedChannelsSilent) {
    FakeBroadcastChannels channels(2);
    channels.channels[0].state = PlayPaused;
    channels.channels[1].state = PlayStopped;
    TOverrideSession session(channels, "/a.wav", TOverrideKind::AllCall);
    session.SetTaken(0, true);
    session.SetTaken(1, true);
    session.KeepLooping();  // nothing to keep for a call that plays once
    EXPECT_EQ(channels.log, QStringList({"take 0 /a.wav once", "take 1 /a.wav once"}));
}

TEST(OverrideSession, AlarmSoundsOnStoppedChannelsAndLeavesThemStoppedAfter) {
    FakeBroadcastChannels channels(3);
    channels.channels[0].state = PlayOn;
    channels.channels[1].state = PlayStopped;
    channels.channels[2].state = PlayPaused;
    {
        TOverrideSession session(channels, "/station/alarm.wav", TOverrideKind::Alarm);
        for (int i = 0; i < 3; ++i) session.SetTaken(i, true);
        for (const auto& c : channels.channels) EXPECT_EQ(c.state, PlayOn);
        // One press silences every channel, the next sounds every one again.
        EXPECT_EQ(session.TogglePlay(), std::optional<uint8_t>(PlayPaused));
        for (const auto& c : channels.channels) EXPECT_EQ(c.state, PlayPaused);
        EXPECT_EQ(session.TogglePlay(), std::optional<uint8_t>(PlayOn));
        session.TogglePlay();
    }
    // Paused by the alarm's button: stays paused. Stopped or paused before: as before.
    EXPECT_EQ(channels.channels[0].state, PlayPaused);
    EXPECT_EQ(channels.channels[1].state, PlayStopped);
    EXPECT_EQ(channels.channels[2].state, PlayPaused);
}
