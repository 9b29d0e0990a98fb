// The station's commands without any window: what each one does to its channel, and the
// channels' lifetime (start, restart, stop all).
#include "FileError.h"
#include "PlayList.h"
#include "PlayerTestSupport.h"
#include "Station.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace tessora::test {
namespace {

class StationTest : public ::testing::Test {
protected:
    void SetUp() override {
        station = std::make_unique<TStation>(folder.Path(), passwords, [this](int, int) {
            auto channel = std::make_unique<FakeChannel>();
            channels.push_back(channel.get());
            return channel;
        });
        // Two outputs, and every file that is there plays.
        station->SetCheckEnvironment([] { return CheckEnvironment{2, [](const QString&) { return std::optional<QString>(); }}; });
        station->SetPanelFactory([this](int index) {
            panels.push_back(std::make_unique<FakePanel>());
            panelIndexes.push_back(index);
            return panels.back().get();
        });
    }
    void TearDown() override { station.reset(); }

    // `count` channels stored and started, the first with `dayList` as its list.
    void StartWith(int count, const QString& dayList = QString()) {
        std::vector<ChannelConfig> configs(count);
        for (int i = 0; i < count; ++i) configs[i].Title = QString("通道%1").arg(i + 1);
        configs[0].DayListFile = dayList;
        TChannelFile().SaveChannels(station->ChannelFilePath(), configs);
        ASSERT_TRUE(station->LoadChannels());
        station->StartChannels();
    }

    QString WriteDayList(const QString& name, int64_t startMs, int64_t endMs) {
        TPlayList list;
        list.Items = {Item(1, "铃", startMs, endMs, folder.Path("bell.wav"))};
        return list.SaveToFile(folder.Path(name));
    }

    const TListPlayer& Player(int index) const { return *station->Channel(index); }

    TempFolder folder;
    NoPasswords passwords;
    std::unique_ptr<TStation> station;
    std::vector<FakeChannel*> channels;
    std::vector<std::unique_ptr<FakePanel>> panels;
    std::vector<int> panelIndexes;
};

TEST_F(StationTest, StartGivesEachChannelOnePanelAndOneSoundChannelEvenWhenCalledAgain) {
    StartWith(3);
    station->StartChannels();  // the rebuild after a cancelled channel dialog
    EXPECT_EQ(panelIndexes, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(channels.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(Player(i).IsRunning());
}

TEST_F(StationTest, StopAllEndsAndFreesEveryPlayerThenSaysSo) {
    StartWith(4);
    QSignalSpy stopped(station.get(), &TStation::ChannelsStopped);
    station->StopAllPlayers();
    EXPECT_EQ(stopped.count(), 1);
    EXPECT_EQ(station->ChannelCount(), 0);
    EXPECT_EQ(station->Channel(0), nullptr);
    station->StopAllPlayers();  // nothing left to stop: no second notice
    EXPECT_EQ(stopped.count(), 1);
}

TEST_F(StationTest, ThePlayAndStopButtonsFollowTheStateTable) {
    StartWith(1);
    QSignalSpy changed(station.get(), &TStation::ChannelChanged);
    struct Step {
        bool play;
        uint8_t state;
    };
    const Step steps[] = {{true, PlayPaused}, {true, PlayOn},  {false, PlayStopped}, {false, PlayStopped},
                          {true, PlayOn},     {true, PlayPaused}, {false, PlayStopped}, {true, PlayOn}};
    for (const Step& s : steps) {
        s.play ? station->PlayOrPause(0) : station->Stop(0);
        EXPECT_EQ(Player(0).PlayState, s.state);
    }
    EXPECT_EQ(changed.count(), 7);  // the second stop changed nothing
    station->PlayOrPause(5);        // no such channel: nothing
}

TEST_F(StationTest, StopAllStopsEveryChannelAsItsButtonWould) {
    StartWith(3);
    station->PlayOrPause(1);
    station->StopAll();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Player(i).PlayState, PlayStopped);
}

TEST_F(StationTest, VolumeReachesTheSoundChannelAtOnceAndIsKeptInRange) {
    StartWith(1);
    station->SetVolume(0, -2500);
    EXPECT_EQ(Player(0).Volume, -2500);
    EXPECT_EQ(channels[0]->Volume(), -2500);
    station->SetVolume(0, 400);
    EXPECT_EQ(Player(0).Volume, 0);
}

TEST_F(StationTest, SeekOnlyMovesAnOpenFileAndKeepsItPlaying) {
    StartWith(1);
    station->Seek(0, 5000);  // nothing open: nothing happens
    EXPECT_TRUE(channels[0]->events.empty());
    channels[0]->Open("/music/a.wav");
    channels[0]->Play();
    station->Seek(0, 7000);
    EXPECT_EQ(channels[0]->Position(), 7000u);
    EXPECT_EQ(channels[0]->GetState(), PlayerChannel::Playing);
}

TEST_F(StationTest, ASingleFileTakesTheChannelFromItsTimetableUntilAListIsChosen) {
    const QString list = WriteDayList("day.lst", At(0, 0, 0), At(23, 59, 59));
    StartWith(1, list);
    station->Stop(0);
    station->PlayFile(0, "/music/speech.wav");
    EXPECT_EQ(Player(0).PlayMode, ManualMode);
    EXPECT_EQ(Player(0).PlayState, PlayOn);
    EXPECT_EQ(Player(0).ManualFile, "/music/speech.wav");

    station->UseListFile(0, list, false);  // the keyboard's open keeps the mode
    EXPECT_EQ(Player(0).PlayMode, ManualMode);
    station->UseListFile(0, list, true);
    EXPECT_EQ(Player(0).PlayMode, ListMode);
    EXPECT_EQ(panels[0]->listLabel, list);
}

TEST_F(StationTest, AListThatCannotBeReadKeepsTheOldOneAndADamagedOneIsAppliedWithAWarning) {
    const QString good = WriteDayList("good.lst", At(8, 0, 0), At(9, 0, 0));
    StartWith(1, good);
    EXPECT_THROW(station->UseListFile(0, folder.Path("missing.lst"), true), EFileError);
    EXPECT_EQ(Player(0).DayListFile, good);
    ASSERT_EQ(Player(0).DayList.Items.size(), 1u);

    const QString cut = WriteDayList("cut.lst", At(8, 0, 0), At(9, 0, 0));
    ASSERT_TRUE(QFile::resize(cut, 700));
    QSignalSpy alerts(station.get(), &TStation::Alert);
    station->UseListFile(0, cut, true);
    EXPECT_EQ(Player(0).DayListFile, cut);
    ASSERT_EQ(alerts.count(), 1);
    EXPECT_TRUE(alerts[0][0].toString().contains("List is damaged"));
}

struct OverrideCase {
    const char* name;
    uint8_t mode;
    uint8_t state;
};

class StationOverride : public StationTest, public ::testing::WithParamInterface<OverrideCase> {};

// Taking over and giving back restore the mode and leave the play state as it was, whatever the
// channel was doing.
TEST_P(StationOverride, TakeOverAndGiveBackRestoreTheModeAndKeepTheState) {
    const OverrideCase c = GetParam();
    StartWith(1);
    if (c.mode == ManualMode) station->PlayFile(0, "/music/own.wav");
    station->SetPlayState(0, c.state);
    station->TakeOver(0, "/music/alarm.wav", true);
    EXPECT_EQ(Player(0).PlayMode, ManualMode);
    EXPECT_EQ(Player(0).SavedPlayMode, c.mode);
    EXPECT_EQ(Player(0).ManualFile, "/music/alarm.wav");
    EXPECT_EQ(Player(0).PlayState, c.state);
    station->SetOverrideFile(0, "/music/call.wav");
    EXPECT_EQ(Player(0).ManualFile, "/music/call.wav");
    // An alarm over the all-call (the remote one while the window holds the channel).
    station->TakeOver(0, "/music/call.wav", true, "告警");
    EXPECT_EQ(Player(0).SavedPlayMode, c.mode);

    channels[0]->Open("/music/call.wav");
    channels[0]->SetLoop(true);
    station->GiveBack(0);
    EXPECT_EQ(Player(0).PlayMode, c.mode);
    EXPECT_EQ(Player(0).PlayState, c.state);
    // The override's file stops at once, loop and all; a manual channel's file is forgotten.
    EXPECT_TRUE(channels[0]->FileName().isEmpty());
    EXPECT_FALSE(channels[0]->Loop());
    if (c.mode == ManualMode) {
        EXPECT_TRUE(Player(0).ManualFile.isEmpty());
    }

    // The other override ending afterwards leaves the channel as it was given back.
    channels[0]->Open("/music/own.wav");
    station->GiveBack(0);
    EXPECT_EQ(Player(0).PlayMode, c.mode);
    EXPECT_EQ(channels[0]->FileName(), "/music/own.wav");
}

INSTANTIATE_TEST_SUITE_P(Channels, StationOverride,
                         ::testing::Values(OverrideCase{"ListPlaying", ListMode, PlayOn},
                                           OverrideCase{"ManualPlaying", ManualMode, PlayOn},
                                           OverrideCase{"ListPaused", ListMode, PlayPaused},
                                           OverrideCase{"ManualStopped", ManualMode, PlayStopped}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StationTest, ReplacingTheChannelsEndsTheOldOnesAndMakesNewOnesToStart) {
    StartWith(2);
    std::vector<ChannelConfig> configs = station->ChannelConfigs();
    ASSERT_EQ(configs.size(), 2u);
    configs[1].Title = "新";
    ChannelConfig third;
    third.Title = "三";
    third.PeriodicListFile = folder.Path("gone.lsm");
    configs.push_back(third);
    QSignalSpy alerts(station.get(), &TStation::Alert);
    station->ReplaceChannels(configs);
    EXPECT_EQ(alerts.count(), 1);  // the periodic list that cannot be read
    ASSERT_EQ(station->ChannelCount(), 3);
    EXPECT_FALSE(Player(0).IsRunning());
    station->StartChannels();
    EXPECT_EQ(Player(1).Title, "新");
    EXPECT_EQ(channels.size(), 5u);
    station->SaveChannels();
    // All three written; the third still names its periodic list, which stops a later load there.
    EXPECT_EQ(folder.Read("tessora.cfg").size(), qsizetype(3 * ChannelLayout::Size));
    const ChannelLoadResult back = TChannelFile().LoadChannels(station->ChannelFilePath());
    ASSERT_EQ(back.Channels.size(), 2u);
    EXPECT_EQ(back.Channels[1].Config.Title, "新");
    EXPECT_TRUE(back.Error.contains("gone.lsm"));
}

TEST_F(StationTest, TheChannelDialogsFieldsReachARunningChannelAndItsMemoLastsAReplace) {
    StartWith(2);
    QSignalSpy changed(station.get(), &TStation::ChannelChanged);
    station->SetChannelFields(1, " 操场 ", 3, "东侧喇叭");
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(Player(1).Title, " 操场 ");
    EXPECT_EQ(Player(1).SoundCard, 3);
    EXPECT_EQ(Player(1).Memo, "东侧喇叭");
    EXPECT_TRUE(Player(1).IsRunning());  // the card is taken at the next start
    station->SetChannelFields(5, "x", 0, "");  // out of range: nothing
    station->ReplaceChannels(station->ChannelConfigs(), {"", "东侧喇叭"});
    EXPECT_EQ(Player(1).Memo, "东侧喇叭");
    EXPECT_EQ(Player(1).SoundCard, 3);
    EXPECT_TRUE(Player(0).Memo.isEmpty());
}

TEST_F(StationTest, AChannelFileThatFailedPartWayIsNeverWrittenOver) {
    ChannelConfig a, b;
    a.Title = "a";
    b.Title = "b";
    b.PeriodicListFile = folder.Path("gone.lsm");
    TChannelFile().SaveChannels(station->ChannelFilePath(), {a, b, a});
    const QByteArray before = folder.Read("tessora.cfg");
    EXPECT_FALSE(station->LoadChannels());
    EXPECT_TRUE(station->ChannelFileLoadedPartly());
    EXPECT_TRUE(station->ChannelFileError().contains("gone.lsm"));
    EXPECT_EQ(station->ChannelCount(), 1);
    EXPECT_THROW(station->SaveChannels(), EFileError);
    EXPECT_EQ(folder.Read("tessora.cfg"), before);
}

TEST_F(StationTest, TheAsRunLogHearsOfTheStationItsCommandsAndTheDaysCheck) {
    const QString day = WriteDayList("day.lst", At(8, 0, 0), At(9, 0, 0));  // its bell.wav is not there
    StartWith(2, day);
    ASSERT_TRUE(station->WaitForDayCheck(10000));
    station->PlayFile(1, "/music/a.wav");
    station->UseListFile(0, day, true);
    EXPECT_THROW(station->UseListFile(0, folder.Path("gone.lst"), true), EFileError);
    station->TakeOver(1, "/music/alarm.wav", true);
    station->GiveBack(1);
    station.reset();

    // What the station itself says; the players' own starts and stops depend on the hour.
    QStringList said;
    const QString log = QString::fromUtf8(folder.Read("asrun/" + AsRunFileName(QDate::currentDate())));
    for (const QString& line : log.split('\n', Qt::SkipEmptyParts)) {
        const auto e = ParseAsRunLine(line);
        ASSERT_TRUE(e) << line.toStdString();
        const bool fromPlayer = e->Kind == AsRunEventKind::Start || e->Kind == AsRunEventKind::End ||
                                e->Kind == AsRunEventKind::Stop;
        if (!fromPlayer) said << QString("%1 %2 %3 %4").arg(e->Channel).arg(AsRunEventName(e->Kind), e->Item ? QString::number(*e->Item) : "-", e->Detail.isEmpty() ? e->File : e->Detail);
    }
    EXPECT_EQ(said, (QStringList{"-1 startup - ", "0 error 1 file-missing: " + folder.Path("bell.wav"),
                                 "1 error - no-list: the channel has no day list", "1 manual - /music/a.wav",
                                 "0 list - " + day, "0 error - File not found", "1 takeover - /music/alarm.wav",
                                 "1 giveback - ", "-1 exit - "}));
}

TEST_F(StationTest, ACalendarThatCannotBeReadWholeIsSaidAndTheLastWholeOneKept) {
    folder.Write("calendar.txt", "holiday\t2026-10-01\t2026-10-07\t*\t-silent-\t国庆节\n"
                                 "exam\t2027-01-11\t\t0\t期末考试.lst\n");
    StartWith(2);
    ASSERT_EQ(station->Calendar()->Rules.size(), 2u);
    EXPECT_EQ(Player(1).Calendar, station->Calendar());
    EXPECT_EQ(Player(1).CalendarChannel, 1);
    EXPECT_EQ(station->Calendar()->Rules[1].ListPath, folder.Path("list/期末考试.lst"));

    QSignalSpy alerts(station.get(), &TStation::Alert);
    folder.Write("calendar.txt", "holiday\t2026-10-01\t2026-10-07\t*\t-silent-\t国庆节\nexam\t2027-01-11\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Player(0).CalendarTrouble.isEmpty(); }, 10000));
    EXPECT_EQ(Player(1).CalendarTrouble, "line 2: expected 6 TAB-separated fields (Kind From To Channels Target Label), found 2");
    EXPECT_EQ(station->Calendar()->Rules.size(), 2u) << "the calendar read whole before is kept";
    ASSERT_EQ(alerts.count(), 1);
    EXPECT_TRUE(alerts[0][0].toString().contains("校历无法完整读取")) << alerts[0][0].toString().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return panels[0]->listLabel.endsWith("(校历错误)"); }, 10000))
        << panels[0]->listLabel.toStdString();

    folder.Write("calendar.txt", "holiday\t2026-10-01\t2026-10-07\t*\t-silent-\t国庆节\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Player(0).CalendarTrouble.isEmpty(); }, 10000));
    EXPECT_EQ(Player(0).Calendar->Rules.size(), 1u);
    EXPECT_EQ(alerts.count(), 1);
    ASSERT_TRUE(station->WaitForAsRunLog(10000));
    EXPECT_TRUE(folder.Read("asrun/" + AsRunFileName(QDate::currentDate())).contains("\t-1\t\terror\t\t\t" + folder.Path("calendar.txt").toUtf8()));
}

TEST_F(StationTest, TheDaysCheckReadsEachChannelsDayThroughTheCalendar) {
    // Channel 0 is silenced today and its own list would fail; channel 1 rings an exam list today.
    const QString today = QDate::currentDate().toString("yyyy-MM-dd");
    const QString day = WriteDayList("day.lst", At(8, 0, 0), At(9, 0, 0));  // its bell.wav is not there
    TPlayList exam;
    exam.Items = {Item(1, "考试铃", At(8, 30, 0), At(8, 31, 0), folder.Path("exam.wav"))};
    folder.MakeFolder("list");
    exam.SaveToFile(folder.Path("list/期末考试.lst"));
    folder.Write("calendar.txt", ("holiday\t" + today + "\t\t0\t-silent-\t停课\n"
                                  "exam\t" + today + "\t\t1\t期末考试.lst\t期末考试\n").toUtf8());
    StartWith(2, day);
    ASSERT_TRUE(station->WaitForDayCheck(10000));
    ASSERT_TRUE(station->WaitForAsRunLog(10000));
    QStringList errors;
    for (const QString& line : QString::fromUtf8(folder.Read("asrun/" + AsRunFileName(QDate::currentDate()))).split('\n'))
        // The check's findings begin with their problem's word; the players' own failures depend on the hour.
        if (const auto e = ParseAsRunLine(line); e && e->Kind == AsRunEventKind::Error && e->Detail.section(": ", 0, 0).contains('-'))
            errors << QString("%1 %2").arg(e->Channel).arg(e->Detail);
    EXPECT_EQ(errors, QStringList{"1 file-missing: " + folder.Path("exam.wav")});
}

TEST_F(StationTest, ALogThatCannotBeWrittenIsSaidOnce) {
    TempFolder other;
    other.Write("asrun");  // a file in the log folder's place
    TStation blocked(other.Path(), passwords, [](int, int) { return std::make_unique<FakeChannel>(); });
    QSignalSpy alerts(&blocked, &TStation::Alert);
    blocked.PlayFile(0, "/music/a.wav");  // no channel: nothing to log but the startup
    ASSERT_TRUE(blocked.WaitForAsRunLog(10000));
    ASSERT_TRUE(alerts.wait(5000));
    EXPECT_TRUE(alerts[0][0].toString().startsWith(QString::fromUtf8("播出记录无法写入："))) << alerts[0][0].toString().toStdString();
    TChannelFile().SaveChannels(blocked.ChannelFilePath(), {ChannelConfig{}});
    ASSERT_TRUE(blocked.LoadChannels());
    blocked.PlayFile(0, "/music/a.wav");
    ASSERT_TRUE(blocked.WaitForAsRunLog(10000));
    QCoreApplication::processEvents();
    EXPECT_EQ(alerts.count(), 1);
}

}  // namespace
}  // namespace tessora::test
