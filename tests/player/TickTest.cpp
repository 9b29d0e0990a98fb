// The player's tick stepped through simulated days with a fake channel and panel.
#include "PlayerTestSupport.h"

#include <gtest/gtest.h>

#include <utility>

namespace tessora::test {
namespace {

using Times = std::vector<int64_t>;

const QString kBell = QStringLiteral("/music/bell.wav");
const QString kTone = QStringLiteral("/music/tone.wav");
const QString kMusic = QStringLiteral("/music/music.wav");

TEST(PlayerDay, AWholeDayOfADayList) {
    Station s;
    s.SetDayList({
        Item(1, "早铃", At(8, 0, 0), At(8, 0, 30), kBell),
        Item(2, "循环", At(9, 0, 0), At(9, 0, 30), kTone, KindFile, 1),
        Item(3, "音乐一", At(10, 0, 0), At(10, 5, 0), kMusic),
        Item(4, "音乐二", At(10, 5, 0), At(10, 10, 0), kMusic),
        Item(5, "外设", At(11, 0, 0), At(11, 10, 0), "Line In", KindDevice),
    });
    s.channel->files[kBell] = {20000};
    s.channel->files[kTone] = {20000};
    s.channel->files[kMusic] = {3600000};

    bool eachSilentAtNoItem = true;
    bool deviceItemTouchedChannel = false;
    size_t eventsAtDeviceItem = 0;
    s.RunUntil(kMsPerDayInt - 1, [&] {
        const int64_t t = s.Now();
        const bool due = (t > At(8, 0, 0) && t < At(8, 0, 30)) || (t > At(9, 0, 0) && t < At(9, 0, 30)) ||
                         (t > At(10, 0, 0) && t < At(10, 10, 0));
        if (!due && s.channel->GetState() != PlayerChannel::Stopped) eachSilentAtNoItem = false;
        if (!due && !s.channel->FileName().isEmpty()) eachSilentAtNoItem = false;
        if (t == At(11, 0, 0, 250)) eventsAtDeviceItem = s.channel->events.size();
        if (t > At(11, 0, 0, 250) && t < At(11, 10, 0) && s.channel->events.size() != eventsAtDeviceItem)
            deviceItemTouchedChannel = true;
    });

    // A 20-second bell in a 30-second item sounds twice: again from the tick after its end,
    // and is cut off by the item's end.
    EXPECT_EQ(s.channel->OpensOf(kBell), (Times{At(8, 0, 0, 250), At(8, 0, 20, 250)}));
    // A looping file sounds once, without a gap, until the item's end.
    EXPECT_EQ(s.channel->OpensOf(kTone), (Times{At(9, 0, 0, 250)}));
    // Two items naming the same file: the file is not restarted at the change of item.
    EXPECT_EQ(s.channel->OpensOf(kMusic), (Times{At(10, 0, 0, 250)}));
    EXPECT_TRUE(eachSilentAtNoItem);
    // A device item starts nothing and leaves the channel as it was.
    EXPECT_FALSE(deviceItemTouchedChannel);

    std::vector<std::pair<int64_t, QString>> ends;
    for (const ChannelEvent& e : s.channel->Events("End")) ends.emplace_back(e.atMs, e.file);
    EXPECT_EQ(ends, (std::vector<std::pair<int64_t, QString>>{{At(8, 0, 20, 250), kBell}}));
    EXPECT_EQ(s.panel.caption, "一号-");
    EXPECT_EQ(s.panel.listLabel, "day.lst");
}

TEST(PlayerDay, ALoopingItemLoopsTheChannelAndANonLoopingOneDoesNot) {
    Station s;
    s.SetDayList({Item(1, "a", At(8, 0, 0), At(8, 1, 0), kBell), Item(2, "b", At(8, 1, 0), At(8, 2, 0), kTone, KindFile, 1)});
    s.RunUntil(At(8, 0, 1));
    EXPECT_FALSE(s.channel->Loop());
    s.RunUntil(At(8, 1, 1));
    EXPECT_TRUE(s.channel->Loop());
}

TEST(PlayerDay, APanelFollowsThePlayingItem) {
    Station s;
    s.player.Volume = -1500;
    s.SetDayList({Item(1, "早铃", At(8, 0, 0), At(8, 0, 30), kBell)});
    s.channel->files[kBell] = {20000, 8000, 1, 8};
    s.RunUntil(At(8, 0, 10));
    EXPECT_EQ(s.panel.caption, "一号-早铃");
    EXPECT_EQ(s.panel.fileLabel, "bell.wav");
    EXPECT_EQ(s.panel.rangeMin, 0);
    EXPECT_EQ(s.panel.rangeMax, 20000);
    EXPECT_EQ(s.panel.value, int(s.channel->Position()));
    EXPECT_EQ(s.channel->Volume(), -1500);

    // While the operator holds the progress bar, the player does not move it.
    s.panel.dragging = true;
    const int writes = s.panel.valueWrites;
    s.RunUntil(At(8, 0, 15));
    EXPECT_EQ(s.panel.valueWrites, writes);
}

TEST(PlayerDay, TheVolumeIsSetBeforeTheFileStarts) {
    Station s;
    s.player.Volume = -3000;
    s.SetDayList({Item(1, "a", At(8, 0, 0), At(8, 0, 30), kBell)});
    s.JumpTo(At(8, 0, 0));
    int32_t volumeAtPlay = 0;
    s.RunUntil(At(8, 0, 1), [&] {
        if (!s.channel->Events("Play").empty() && volumeAtPlay == 0) volumeAtPlay = s.channel->Volume();
    });
    EXPECT_EQ(volumeAtPlay, -3000);
}

// ---------------------------------------------------------------------------------------------
// Pause, stop and play again

struct StateChange {
    int64_t at;
    uint8_t state;
};

struct PauseCase {
    const char* name;
    std::vector<StateChange> changes;
    int64_t until;
    Times opens;                 // opens of the item's file
    std::vector<uint32_t> resumedAt;  // positions of every Play after the first
    bool soundingAtEnd;
};

class PlayerPause : public ::testing::TestWithParam<PauseCase> {};

TEST_P(PlayerPause, FollowsThePlayState) {
    const PauseCase& c = GetParam();
    Station s;
    s.SetDayList({Item(1, "音乐", At(8, 0, 0), At(8, 10, 0), kMusic)});
    s.channel->files[kMusic] = {3600000};
    size_t next = 0;
    s.RunUntil(c.until, [&] {
        while (next < c.changes.size() && s.Now() >= c.changes[next].at) s.player.PlayState = c.changes[next++].state;
    });
    EXPECT_EQ(s.channel->OpensOf(kMusic), c.opens);
    const auto plays = s.channel->Events("Play");
    std::vector<uint32_t> resumed;
    for (size_t i = 1; i < plays.size(); ++i) resumed.push_back(plays[i].position);
    EXPECT_EQ(resumed, c.resumedAt);
    EXPECT_EQ(s.channel->GetState() == PlayerChannel::Playing, c.soundingAtEnd);
}

INSTANTIATE_TEST_SUITE_P(
    States, PlayerPause,
    ::testing::Values(
        // Paused at the tick after one minute, played again at two: it goes on from where it
        // paused.
        PauseCase{"PauseAndPlay", {{At(8, 1, 0), PlayPaused}, {At(8, 2, 0), PlayOn}}, At(8, 3, 0),
                  {At(8, 0, 0, 250)}, {60500}, true},
        // Stopped and played again: the same file starts from its beginning, not reopened.
        PauseCase{"StopAndPlay", {{At(8, 1, 0), PlayStopped}, {At(8, 2, 0), PlayOn}}, At(8, 3, 0),
                  {At(8, 0, 0, 250)}, {0}, true},
        PauseCase{"PauseThenStopThenPlay",
                  {{At(8, 1, 0), PlayPaused}, {At(8, 1, 30), PlayStopped}, {At(8, 2, 0), PlayOn}}, At(8, 3, 0),
                  {At(8, 0, 0, 250)}, {0}, true},
        // A pause that lasts past the item's end: on play the channel closes and stays silent.
        PauseCase{"PausePastTheEnd", {{At(8, 9, 0), PlayPaused}, {At(8, 15, 0), PlayOn}}, At(8, 20, 0),
                  {At(8, 0, 0, 250)}, {}, false},
        // A channel stored as stopped starts silent.
        PauseCase{"StoredStopped", {{0, PlayStopped}}, At(8, 20, 0), {}, {}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PlayerPause, NothingFollowsTheTimetableWhilePaused) {
    Station s;
    s.SetDayList({Item(1, "a", At(8, 0, 0), At(8, 1, 0), kMusic), Item(2, "b", At(8, 1, 0), At(8, 2, 0), kBell)});
    s.channel->files[kMusic] = {3600000};
    s.RunUntil(At(8, 0, 30));
    s.player.PlayState = PlayPaused;
    s.RunUntil(At(8, 1, 30));
    // The paused file stays open whatever the clock says.
    EXPECT_EQ(s.channel->FileName(), kMusic);
    EXPECT_EQ(s.channel->GetState(), PlayerChannel::Paused);
    s.player.PlayState = PlayOn;
    s.RunUntil(At(8, 1, 31));
    EXPECT_EQ(s.channel->FileName(), kBell);
}

// ---------------------------------------------------------------------------------------------
// The panel's texts

struct TextCase {
    uint8_t state;
    uint8_t mode;
    const char* caption;
    const char* fileLabel;
    const char* listLabel;
    bool gaugesZero;
};

class PlayerTexts : public ::testing::TestWithParam<TextCase> {};

TEST_P(PlayerTexts, ShowStateAndMode) {
    const TextCase& c = GetParam();
    Station s;
    s.SetDayList({Item(1, "早铃", At(8, 0, 0), At(8, 30, 0), kBell)}, "/lists/周一.lst");
    s.channel->files[kBell] = {3600000};
    s.channel->sound.assign(44100 * 4, 0x80);  // full level on both channels
    s.player.ManualFile = "/music/speech.wav";
    s.channel->files["/music/speech.wav"] = {3600000};
    s.player.PlayMode = c.mode;
    s.JumpTo(At(8, 0, 0, 250));
    s.RunUntil(At(8, 0, 2));
    ASSERT_EQ(s.panel.left, 100);
    s.player.PlayState = c.state;
    s.RunUntil(At(8, 0, 3));
    EXPECT_EQ(s.panel.caption, QString::fromUtf8(c.caption));
    EXPECT_EQ(s.panel.fileLabel, QString::fromUtf8(c.fileLabel));
    EXPECT_EQ(s.panel.listLabel, QString::fromUtf8(c.listLabel));
    if (c.gaugesZero) {
        EXPECT_EQ(s.panel.left, 0);
        EXPECT_EQ(s.panel.right, 0);
    } else {
        EXPECT_EQ(s.panel.left, 100);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, PlayerTexts,
    ::testing::Values(TextCase{PlayOn, ListMode, "一号-早铃", "bell.wav", "周一.lst", false},
                      TextCase{PlayOn, ManualMode, "一号手动播放", "speech.wav", "", false},
                      TextCase{PlayPaused, ListMode, "一号(暂停)", "bell.wav", "/lists/周一.lst", true},
                      TextCase{PlayPaused, ManualMode, "一号(手动暂停)", "speech.wav", "", true},
                      TextCase{PlayStopped, ListMode, "一号(停止)", "bell.wav", "周一.lst", true},
                      TextCase{PlayStopped, ManualMode, "一号手动停止", "speech.wav", "", true}));

TEST(PlayerTexts, TheEndOfAFileShowsStoppedUntilTheNextTick) {
    Station s;
    s.SetDayList({Item(1, "早铃", At(8, 0, 0), At(8, 0, 30), kBell)});
    s.channel->files[kBell] = {1000};
    QString captionAtEnd;
    s.channel->OnEnd = [&, forward = s.channel->OnEnd] {
        forward();
        captionAtEnd = s.panel.caption;
    };
    s.RunUntil(At(8, 0, 2));
    EXPECT_EQ(captionAtEnd, "一号停止");
    EXPECT_EQ(s.panel.caption, "一号-早铃");
}

// ---------------------------------------------------------------------------------------------
// A single file ("单曲")

TEST(PlayerManual, ASingleFilePlaysOnceThenTheChannelStaysSilent) {
    Station s;
    s.SetDayList({Item(1, "音乐", At(8, 0, 0), At(9, 0, 0), kMusic)});
    s.channel->files[kMusic] = {3600000};
    const QString speech = "/music/speech.wav";
    s.channel->files[speech] = {5000};
    s.RunUntil(At(8, 1, 0));
    s.player.ManualFile = speech;
    s.player.PlayMode = ManualMode;
    s.RunUntil(At(8, 30, 0));
    EXPECT_EQ(s.channel->OpensOf(speech), (Times{At(8, 1, 0, 250)}));
    EXPECT_EQ(s.channel->Events("End").size(), 1u);
    EXPECT_TRUE(s.player.ManualFile.isEmpty());
    EXPECT_TRUE(s.channel->FileName().isEmpty());
    EXPECT_EQ(s.panel.caption, "一号手动播放");

    // Back to the list ("日列表"): the item still current plays again.
    s.player.PlayMode = ListMode;
    s.RunUntil(At(8, 30, 1));
    EXPECT_EQ(s.channel->FileName(), kMusic);
    EXPECT_EQ(s.channel->GetState(), PlayerChannel::Playing);
}

TEST(PlayerManual, ALoopingManualFileGoesOn) {
    Station s;
    const QString alarm = "/station/alarm.wav";
    s.channel->files[alarm] = {2000};
    s.player.ManualFile = alarm;
    s.player.PlayMode = ManualMode;
    s.RunUntil(At(0, 0, 1));
    s.channel->SetLoop(true);  // as the alarm window does
    s.RunUntil(At(0, 1, 0));
    EXPECT_EQ(s.player.ManualFile, alarm);
    EXPECT_EQ(s.channel->OpensOf(alarm).size(), 1u);
    EXPECT_EQ(s.channel->GetState(), PlayerChannel::Playing);
}

TEST(PlayerManual, AnOverrideGivingTheChannelBackRestartsTheItemLoopingAsItSays) {
    Station s;
    s.SetDayList({Item(1, "循环", At(8, 0, 0), At(9, 0, 0), kTone, KindFile, 1)});
    s.channel->files[kTone] = {3000};
    s.RunUntil(At(8, 1, 0));
    // An override takes the channel and gives it back.
    s.player.SavedPlayMode = s.player.PlayMode;
    s.player.PlayMode = ManualMode;
    s.player.ManualFile = "/music/speech.wav";
    s.channel->Open(QString());
    s.RunUntil(At(8, 2, 0));
    s.player.PlayMode = s.player.SavedPlayMode;
    s.RunUntil(At(8, 3, 0));
    EXPECT_EQ(s.channel->FileName(), kTone);
    EXPECT_TRUE(s.channel->Loop());
    EXPECT_EQ(s.channel->OpensOf(kTone).size(), 2u);
}

TEST(PlayerManual, AFileAnOverrideLeftPausedDoesNotSoundWhenTheItemComesBack) {
    Station s;
    s.SetDayList({Item(1, "音乐", At(8, 0, 0), At(9, 0, 0), kMusic)});
    s.channel->files[kMusic] = {3600000};
    s.RunUntil(At(8, 1, 0));
    s.player.PlayMode = ManualMode;
    s.player.ManualFile = "/music/speech.wav";
    s.RunUntil(At(8, 1, 5));
    s.player.PlayState = PlayPaused;
    s.RunUntil(At(8, 1, 10));
    ASSERT_EQ(s.channel->GetState(), PlayerChannel::Paused);
    s.player.PlayMode = ListMode;
    s.player.PlayState = PlayOn;
    s.RunUntil(At(8, 1, 11));
    for (const ChannelEvent& e : s.channel->Events("Play")) {
        if (e.atMs > At(8, 1, 10)) {
            EXPECT_EQ(e.file, kMusic);
        }
    }
    EXPECT_EQ(s.channel->FileName(), kMusic);
}

// ---------------------------------------------------------------------------------------------
// The channel file's fields

TEST(PlayerConfig, RoundTripsAndRepairsDamagedValues) {
    TListPlayer player;
    LoadedChannel loaded;
    loaded.Config = {"二号", "", 3, PlayStopped, "/lists/week.lsm", -2500, ManualMode};
    loaded.PeriodicLines = QStringList{"a", "b", "c", "d", "e", "f", "g"};
    player.SetFromConfig(loaded);
    EXPECT_EQ(player.Config(), loaded.Config);
    EXPECT_EQ(player.PeriodicList, loaded.PeriodicLines);

    loaded.Config.PlayState = 9;
    loaded.Config.PlayMode = 7;
    loaded.Config.Volume = 500;
    player.SetFromConfig(loaded);
    EXPECT_EQ(player.PlayState, PlayOn);
    EXPECT_EQ(player.PlayMode, ListMode);
    EXPECT_EQ(player.Volume, 0);
}

}  // namespace
}  // namespace tessora::test

namespace tessora::test {
namespace {

// An end notice that a tick overtakes (queued behind it, then dropped by a Play) must not make
// the resume step play the ended file a second time.
TEST(PlayerEnd, AFileThatEndedIsNeverStartedAgainByTheResumeStep) {
    const QString speech = "/music/speech.wav";
    {
        Station s;
        s.channel->files[speech] = {5000};
        s.channel->holdEnds = true;
        s.player.ManualFile = speech;
        s.player.PlayMode = ManualMode;
        s.RunUntil(At(8, 0, 30));
        s.channel->DeliverHeldEnds();
        s.RunUntil(At(8, 1, 0));
        EXPECT_EQ(s.channel->Events("Play").size(), 1u) << "manual file";
        EXPECT_TRUE(s.player.ManualFile.isEmpty());
    }
    {
        TempFolder folder;
        folder.Write("music/a.wav");
        folder.Write("music/b.wav");
        Station s;
        s.SetDayList({Item(1, "音乐", At(8, 0, 0), At(8, 1, 0), folder.Path("music"), KindFolder)});
        s.channel->files[folder.Path("music/a.wav")] = {20000};
        s.channel->files[folder.Path("music/b.wav")] = {20000};
        s.channel->holdEnds = true;
        s.RunUntil(At(8, 0, 50), [&] { s.channel->DeliverHeldEnds(); });
        // Each file started once and followed by the next, never replayed from the start.
        EXPECT_EQ(s.channel->OpensOf(folder.Path("music/a.wav")).size(), 2u);
        EXPECT_EQ(s.channel->OpensOf(folder.Path("music/b.wav")).size(), 1u);
        for (const ChannelEvent& e : s.channel->Events("Play")) EXPECT_EQ(e.position, 0u);
        EXPECT_EQ(s.channel->Events("Play").size(), 3u);
    }
}

TEST(PlayerLevels, TheGaugesShowNothingWhileTheChannelIsNotSounding) {
    Station s;
    s.SetDayList({Item(1, "铃", At(8, 0, 0), At(8, 0, 10), kMusic), Item(2, "铃", At(8, 1, 0), At(8, 1, 10), kMusic)});
    s.channel->sound.assign(200000, 0x7f);  // loud 16-bit samples
    s.RunUntil(At(8, 0, 5));
    EXPECT_GT(s.panel.left, 0);
    s.RunUntil(At(8, 0, 30));
    EXPECT_EQ(s.panel.left, 0);
    EXPECT_EQ(s.panel.right, 0);
}

TEST(PlayerTexts, ACardThatIsNotThereIsNamedInTheCaption) {
    Station s;
    s.channel->defaultOutputInstead = true;
    s.SetDayList({Item(1, "铃", At(8, 0, 0), At(8, 0, 10), kMusic)});
    s.RunUntil(At(8, 0, 5));
    EXPECT_EQ(s.panel.caption, "一号(默认输出)-铃");
}

TEST(PlayerTexts, WhileTheSoundServerIsAwaitedTheCaptionSaysSoAndEachTickLooksForIt) {
    Station s;
    s.channel->waitingForOutputs = true;
    s.channel->defaultOutputInstead = true;  // on the stand-in outputs, not worth naming
    s.SetDayList({Item(1, "铃", At(8, 0, 0), At(8, 0, 10), kMusic)});
    s.RunUntil(At(8, 0, 5));
    EXPECT_EQ(s.panel.caption, "一号(等待声音服务)-铃");
    const int calls = s.channel->followOutputsCalls;
    EXPECT_GE(calls, 10);
    s.channel->waitingForOutputs = false;
    s.channel->defaultOutputInstead = false;
    s.RunUntil(At(8, 0, 7));
    EXPECT_EQ(s.panel.caption, "一号-铃");
    EXPECT_GT(s.channel->followOutputsCalls, calls);
}

}  // namespace
}  // namespace tessora::test
