// Take-over and give-back at the players' ticks: the station's real channels on fake sound
// channels, ticked in simulated time, for channels on their timetable, playing a file by hand,
// paused and stopped.
#include "OverrideSession.h"
#include "PlayList.h"
#include "PlayerTestSupport.h"
#include "Station.h"
#include "StationChannels.h"

#include <gtest/gtest.h>

namespace tessora::test {
namespace {

const QString kAlarm = QStringLiteral("/station/alarm.wav");
const QString kCall = QStringLiteral("/music/call.wav");
const QString kOwn = QStringLiteral("/music/own.wav");

class TakeOverTick : public ::testing::Test {
protected:
    void SetUp() override {
        station = std::make_unique<TStation>(folder.Path(), passwords, [this](int, int) {
            auto channel = std::make_unique<FakeChannel>();
            channel->files[kAlarm] = {2000};
            channel->files[kCall] = {5000};
            channel->files[kOwn] = {60000};
            channel->files[Tone()] = {30000};
            channels.push_back(channel.get());
            return channel;
        });
        station->SetPanelFactory([this](int) {
            panels.push_back(std::make_unique<FakePanel>());
            return panels.back().get();
        });
    }
    void TearDown() override { station.reset(); }

    QString Tone() const { return folder.Path("tone.wav"); }

    // `count` channels on one day list: a looping 30-second tone from 08:00 to 09:00.
    void StartChannels(int count) {
        TPlayList list;
        list.Items = {Item(1, "音乐", At(8, 0, 0), At(9, 0, 0), Tone(), KindFile, 1)};
        const QString day = list.SaveToFile(folder.Path("day.lst"));
        std::vector<ChannelConfig> configs(count);
        for (int i = 0; i < count; ++i) {
            configs[i].Title = QString("通道%1").arg(i + 1);
            configs[i].DayListFile = day;
        }
        TChannelFile().SaveChannels(station->ChannelFilePath(), configs);
        ASSERT_TRUE(station->LoadChannels());
        station->StartChannels();
        // The test ticks the players itself, in simulated time; their threads' ticks wait in the
        // event queue, which nothing serves until the end.
        for (int i = 0; i < count; ++i) Player(i).Clock = [this] { return Moment(); };
        clockMs = At(8, 0, 0) - 250;
    }
    TListPlayer& Player(int index) { return const_cast<TListPlayer&>(*station->Channel(index)); }

    LocalMoment Moment() const { return {QDate(2026, 12, 7), double(clockMs) / kMsPerDay}; }
    // Tick by tick up to `untilMs`: time passes on the sound channels, then every player ticks.
    template <typename Each>
    void RunUntil(int64_t untilMs, Each each) {
        while (clockMs + kTickMs <= untilMs) {
            clockMs += kTickMs;
            for (FakeChannel* c : channels) {
                c->clockMs = clockMs;
                c->Advance(uint32_t(kTickMs));
            }
            for (int i = 0; i < station->ChannelCount(); ++i) Player(i).Tick(Moment());
            // As the event loop delivers the files that open at once.
            for (FakeChannel* c : channels) c->FinishOpen();
            each();
        }
    }
    void RunUntil(int64_t untilMs) {
        RunUntil(untilMs, [] {});
    }

    TempFolder folder;
    NoPasswords passwords;
    std::unique_ptr<TStation> station;
    std::vector<FakeChannel*> channels;
    std::vector<std::unique_ptr<FakePanel>> panels;
    int64_t clockMs = 0;
};

struct ChannelCase {
    const char* name;
    uint8_t mode;
    uint8_t state;
};
void PrintTo(const ChannelCase& c, std::ostream* os) { *os << c.name; }

class TakeOverEachChannel : public TakeOverTick, public ::testing::WithParamInterface<ChannelCase> {};

// The alarm taken straight through the station's commands: the play state decides whether it
// sounds, the mode it goes back to decides what follows.
TEST_P(TakeOverEachChannel, LoopingTakeOverAndGiveBack) {
    const ChannelCase c = GetParam();
    StartChannels(1);
    FakeChannel& ch = *channels[0];
    if (c.mode == ManualMode) station->PlayFile(0, kOwn);
    RunUntil(At(8, 0, 5));
    station->SetPlayState(0, c.state);
    RunUntil(At(8, 0, 10));
    const QString before = ch.FileName();
    ASSERT_EQ(before, c.mode == ManualMode ? kOwn : Tone());

    station->TakeOver(0, kAlarm, true);
    bool soundedThroughout = true, silentThroughout = true;
    RunUntil(At(8, 0, 30), [&] {
        const bool alarmPlays = ch.FileName() == kAlarm && ch.GetState() == PlayerChannel::Playing;
        soundedThroughout = soundedThroughout && alarmPlays;
        silentThroughout = silentThroughout && ch.GetState() != PlayerChannel::Playing;
    });
    if (c.state == PlayOn) {
        // From the first tick on, once, repeating without a gap: ten loops of a two-second file.
        EXPECT_TRUE(soundedThroughout);
        EXPECT_EQ(ch.OpensOf(kAlarm), (std::vector<int64_t>{At(8, 0, 10, 250)}));
        EXPECT_TRUE(ch.Events("End").empty() || ch.Events("End").back().file != kAlarm);
    } else {
        EXPECT_TRUE(silentThroughout);
        EXPECT_TRUE(ch.OpensOf(kAlarm).empty());
    }

    station->GiveBack(0);
    EXPECT_TRUE(ch.FileName().isEmpty() || ch.FileName() == before);  // the alarm stops at once
    EXPECT_NE(ch.FileName(), kAlarm);
    RunUntil(At(8, 0, 40));
    EXPECT_EQ(Player(0).PlayMode, c.mode);
    EXPECT_EQ(Player(0).PlayState, c.state);
    if (c.mode == ListMode && c.state == PlayOn) {
        // The timetable's item again, from the first tick after, looping as the item says.
        EXPECT_EQ(ch.OpensOf(Tone()).back(), At(8, 0, 30, 250));
        EXPECT_EQ(ch.GetState(), PlayerChannel::Playing);
        EXPECT_TRUE(ch.Loop());
    } else if (c.mode == ManualMode) {
        // Its own file is not brought back: silent in manual play.
        EXPECT_TRUE(Player(0).ManualFile.isEmpty());
        EXPECT_TRUE(ch.FileName().isEmpty());
        EXPECT_NE(ch.GetState(), PlayerChannel::Playing);
    } else {
        EXPECT_NE(ch.GetState(), PlayerChannel::Playing);
    }
    if (c.state != PlayOn) {
        // Started again from its panel, it follows what it was given back to.
        station->SetPlayState(0, PlayOn);
        RunUntil(At(8, 0, 45));
        if (c.mode == ListMode) {
            EXPECT_EQ(ch.FileName(), Tone());
            EXPECT_EQ(ch.GetState(), PlayerChannel::Playing);
        } else {
            EXPECT_TRUE(ch.FileName().isEmpty());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Channels, TakeOverEachChannel,
                         ::testing::Values(ChannelCase{"ListPlaying", ListMode, PlayOn},
                                           ChannelCase{"ManualPlaying", ManualMode, PlayOn},
                                           ChannelCase{"ListPaused", ListMode, PlayPaused},
                                           ChannelCase{"ManualPaused", ManualMode, PlayPaused},
                                           ChannelCase{"ListStopped", ListMode, PlayStopped},
                                           ChannelCase{"ManualStopped", ManualMode, PlayStopped}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TakeOverTick, TheAlarmSoundsOnEveryChannelAndLeavesEachAsItWas) {
    StartChannels(3);
    station->SetPlayState(1, PlayStopped);
    station->SetPlayState(2, PlayPaused);
    RunUntil(At(8, 0, 5));
    TStationChannels view(*station);
    {
        TOverrideSession alarm(view, kAlarm, TOverrideKind::Alarm);
        for (int i = 0; i < 3; ++i) alarm.SetTaken(i, true);
        RunUntil(At(8, 0, 6));
        for (FakeChannel* ch : channels) {
            EXPECT_EQ(ch->FileName(), kAlarm);
            EXPECT_EQ(ch->GetState(), PlayerChannel::Playing);
            EXPECT_TRUE(ch->Loop());
        }
        // The window's timer, as the alarm window runs it every second.
        RunUntil(At(8, 0, 20), [&] {
            if (clockMs % 1000 == 250) alarm.KeepLooping();
        });
        for (FakeChannel* ch : channels) EXPECT_EQ(ch->OpensOf(kAlarm).size(), 1u);
    }  // closing the window
    RunUntil(At(8, 0, 21));
    EXPECT_EQ(channels[0]->FileName(), Tone());
    EXPECT_EQ(channels[0]->GetState(), PlayerChannel::Playing);
    EXPECT_EQ(Player(1).PlayState, PlayStopped);
    EXPECT_EQ(Player(2).PlayState, PlayPaused);
    for (int i = 1; i < 3; ++i) EXPECT_NE(channels[size_t(i)]->GetState(), PlayerChannel::Playing);
}

TEST_F(TakeOverTick, AShortRecordingRepeatsFromItsFirstPlay) {
    StartChannels(1);
    channels[0]->files[kAlarm] = {300};  // shorter than a tick, let alone the window's timer
    TStationChannels view(*station);
    TOverrideSession alarm(view, kAlarm, TOverrideKind::Alarm);
    alarm.SetTaken(0, true);
    RunUntil(At(8, 0, 10));
    EXPECT_EQ(channels[0]->OpensOf(kAlarm).size(), 1u);
    EXPECT_EQ(Player(0).ManualFile, kAlarm);
    EXPECT_EQ(channels[0]->GetState(), PlayerChannel::Playing);
}

TEST_F(TakeOverTick, AllCallBeforeAndAfterItsFileIsChosen) {
    StartChannels(2);
    RunUntil(At(8, 0, 5));
    TStationChannels view(*station);
    TOverrideSession call(view, QString(), TOverrideKind::AllCall);
    call.SetTaken(0, true);
    RunUntil(At(8, 0, 6));
    // No file yet: the channel is silent; the other one goes on with its timetable.
    EXPECT_TRUE(channels[0]->FileName().isEmpty());
    EXPECT_EQ(channels[1]->FileName(), Tone());
    call.SetFile(kCall);
    call.SetTaken(1, true);
    RunUntil(At(8, 0, 7));
    for (FakeChannel* ch : channels) EXPECT_EQ(ch->FileName(), kCall);
    // The call plays once: after its five seconds the channels fall silent in manual play.
    RunUntil(At(8, 0, 14));
    for (FakeChannel* ch : channels) EXPECT_TRUE(ch->FileName().isEmpty());
    EXPECT_EQ(channels[0]->OpensOf(kCall).size(), 1u);
    // Given back, each takes its timetable up again at its next tick.
    call.SetTaken(1, false);
    RunUntil(At(8, 0, 15));
    EXPECT_EQ(channels[1]->FileName(), Tone());
    EXPECT_TRUE(channels[0]->FileName().isEmpty());
}

// A channel held by an override says so in its panel's title, whatever its play state, and has
// its list line back once it is given back.
TEST_F(TakeOverTick, ThePanelTitleNamesTheOverrideAndTheListLineComesBack) {
    StartChannels(1);
    RunUntil(At(8, 0, 5));
    ASSERT_EQ(panels[0]->caption, "通道1-音乐");
    ASSERT_EQ(panels[0]->listLabel, "day.lst");
    TStationChannels view(*station);
    struct Held {
        TOverrideKind kind;
        QString file;
        QString playing, paused, stopped;
    };
    for (const Held& held : {Held{TOverrideKind::AllCall, kCall, "通道1全呼", "通道1(全呼暂停)", "通道1全呼停止"},
                             Held{TOverrideKind::Alarm, kAlarm, "通道1告警", "通道1(告警暂停)", "通道1告警停止"}}) {
        {
            TOverrideSession session(view, held.file, held.kind);
            session.SetTaken(0, true);
            RunUntil(clockMs + 1000);
            EXPECT_EQ(panels[0]->caption, held.playing);
            session.TogglePlay();
            RunUntil(clockMs + 1000);
            EXPECT_EQ(panels[0]->caption, held.paused);
            session.Stop();
            RunUntil(clockMs + 1000);
            EXPECT_EQ(panels[0]->caption, held.stopped);
            session.TogglePlay();
            RunUntil(clockMs + 1000);
        }
        RunUntil(clockMs + 1000);
        EXPECT_EQ(panels[0]->caption, "通道1-音乐");
        EXPECT_EQ(panels[0]->listLabel, "day.lst");
    }
    // A file played by hand is still played by hand.
    station->PlayFile(0, kOwn);
    RunUntil(clockMs + 1000);
    EXPECT_EQ(panels[0]->caption, "通道1手动播放");
}

}  // namespace
}  // namespace tessora::test
