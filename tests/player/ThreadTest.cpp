// The player's own thread on a real event loop, and the real mixer channel behind it.
#include "Analysis.h"
#include "CaptureAnalysis.h"
#include "FileError.h"
#include "PlayList.h"
#include "PlayerTestSupport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>

namespace tessora::test {
namespace {

// Generous: the CI machine may be slow and busy.
constexpr int kPatienceMs = 30000;

bool WaitFor(const std::function<bool()>& done, int timeoutMs = kPatienceMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

void RunEventsFor(int ms) {
    WaitFor([] { return false; }, ms);
}

PlayerChannelFactory FakeFactory() {
    return [](int, int) { return std::make_unique<FakeChannel>(); };
}

TEST(PlayerThread, TicksOnTheGuiThreadUntilTerminated) {
    TListPlayer player;
    FakePanel panel;
    player.Title = "一号";
    player.SetPanel(&panel);
    player.DayList.Items = {Item(1, "a", 0, At(23, 59, 59), "/m/a.wav")};
    player.CreateChannel(0, FakeFactory());
    QSignalSpy finished(&player, &TListPlayer::Finished);
    player.Start();
    player.Start();  // a running player is not started twice
    EXPECT_TRUE(player.IsRunning());
    ASSERT_TRUE(WaitFor([&] { return panel.captionWrites >= 3; }));
    EXPECT_EQ(panel.writerThread, std::this_thread::get_id());
    EXPECT_EQ(player.Channel()->FileName(), "/m/a.wav");

    player.Terminate();
    ASSERT_TRUE(WaitFor([&] { return finished.count() == 1; }));
    EXPECT_EQ(finished.at(0).at(0).value<TListPlayer*>(), &player);
    EXPECT_EQ(player.Channel(), nullptr);
    EXPECT_TRUE(player.DayList.Items.empty());
    EXPECT_FALSE(player.IsRunning());
    EXPECT_EQ(player.Panel(), &panel);  // for the main window to remove

    // A player is not restarted.
    const int writes = panel.captionWrites;
    player.Start();
    RunEventsFor(1200);
    EXPECT_EQ(panel.captionWrites, writes);
    EXPECT_EQ(finished.count(), 1);
}

TEST(PlayerThread, APlayerThatNeverRanIsTornDownOnTerminate) {
    TListPlayer player;
    player.CreateChannel(0, FakeFactory());
    QSignalSpy finished(&player, &TListPlayer::Finished);
    player.Terminate();
    player.Terminate();
    ASSERT_TRUE(WaitFor([&] { return finished.count() == 1; }));
    RunEventsFor(200);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(player.Channel(), nullptr);
}

TEST(PlayerThread, APlayerMayBeDeletedFromItsFinishedSignal) {
    QPointer<TListPlayer> player = new TListPlayer;
    player->CreateChannel(0, FakeFactory());
    QObject::connect(player, &TListPlayer::Finished, [](TListPlayer* p) { p->deleteLater(); });
    player->Start();
    RunEventsFor(100);
    player->Terminate();
    ASSERT_TRUE(WaitFor([&] { return player.isNull(); }));
}

TEST(PlayerThread, DestroyingARunningPlayerDoesNotHang) {
    for (int waitMs : {0, 30, 700}) {
        auto player = std::make_unique<TListPlayer>();
        FakePanel panel;
        player->SetPanel(&panel);
        player->CreateChannel(0, FakeFactory());
        player->Start();
        RunEventsFor(waitMs);
        player.reset();  // with a tick queued, running or the loop asleep
        RunEventsFor(50);
    }
}

TEST(PlayerThread, ManyPlayersEndTogether) {
    std::vector<std::unique_ptr<TListPlayer>> players;
    int finished = 0;
    for (int i = 0; i < 6; ++i) {
        players.push_back(std::make_unique<TListPlayer>());
        players.back()->CreateChannel(i, FakeFactory());
        QObject::connect(players.back().get(), &TListPlayer::Finished, [&] { ++finished; });
        players.back()->Start();
    }
    RunEventsFor(600);
    for (auto& p : players) p->Terminate();
    ASSERT_TRUE(WaitFor([&] { return finished == 6; }));
}

// ---------------------------------------------------------------------------------------------
// Choosing list files

TEST(PlayerLists, ADayListReplacesThePeriodicListAndStartsThePlayer) {
    TempFolder t;
    TPlayList list;
    list.Items = {Item(1, "早铃", At(8, 0, 0), At(8, 0, 30), "/m/bell.wav")};
    const QString path = list.SaveToFile(t.Path("day.LST"));
    TListPlayer player;
    player.CreateChannel(0, FakeFactory());
    player.PeriodicListFile = "/lists/week.lsm";
    player.PeriodicList = QStringList(7, "/lists/x.lst");
    player.PlayState = PlayStopped;
    player.CurrentItem.Index = 1;
    player.ApplyListFile(path);
    EXPECT_TRUE(player.PeriodicListFile.isEmpty());
    EXPECT_TRUE(player.PeriodicList.isEmpty());
    EXPECT_EQ(player.DayListFile, path);
    ASSERT_EQ(player.DayList.Items.size(), 1u);
    EXPECT_EQ(player.DayList.Items[0].Title, "早铃");
    EXPECT_EQ(player.CurrentItem.Index, -1);
    EXPECT_EQ(player.PlayState, PlayOn);
    EXPECT_TRUE(player.IsRunning());
    QSignalSpy finished(&player, &TListPlayer::Finished);
    player.Terminate();
    ASSERT_TRUE(WaitFor([&] { return finished.count() == 1; }));
}

TEST(PlayerLists, AListThatCannotBeReadLeavesTheChannelAsItWas) {
    TempFolder t;
    const QString bad = t.Write("bad.lst");
    ASSERT_TRUE(QFile::resize(bad, kMaxStationFileBytes + 1));
    const QString badWeek = t.Path("missing.lsm");
    TListPlayer player;
    player.DayListFile = "/lists/old.lst";
    player.DayList.Items = {Item(1, "旧", 0, At(1, 0, 0), "/m/old.wav")};
    player.PlayState = PlayPaused;
    EXPECT_THROW(player.ApplyListFile(bad), EFileError);
    EXPECT_THROW(player.ApplyListFile(badWeek), EFileError);
    EXPECT_EQ(player.DayListFile, "/lists/old.lst");
    EXPECT_EQ(player.DayList.Items.size(), 1u);
    EXPECT_EQ(player.PlayState, PlayPaused);
    EXPECT_TRUE(player.PeriodicListFile.isEmpty());
    EXPECT_FALSE(player.IsRunning());
}

TEST(PlayerLists, APeriodicListKeepsTheDayListAndOtherFilesChangeNothing) {
    TempFolder t;
    const QString week = t.Write("week.LSM", "a.lst\r\nb.lst\r\n\r\n\r\n\r\n\r\ng.lst\r\n");
    TListPlayer player;
    player.DayListFile = "/lists/old.lst";
    player.DayList.Items = {Item(1, "旧", 0, At(1, 0, 0), "/m/old.wav")};
    player.PlayState = PlayStopped;
    player.ApplyListFile(week);
    EXPECT_EQ(player.PeriodicListFile, week);
    EXPECT_EQ(player.PeriodicList, (QStringList{"a.lst", "b.lst", "", "", "", "", "g.lst"}));
    EXPECT_EQ(player.DayListFile, "/lists/old.lst");
    EXPECT_EQ(player.PlayState, PlayStopped);
    EXPECT_FALSE(player.IsRunning());

    player.ApplyListFile(t.Write("notes.txt"));
    EXPECT_EQ(player.PeriodicListFile, week);
    EXPECT_EQ(player.DayListFile, "/lists/old.lst");
}

// ---------------------------------------------------------------------------------------------
// The real mixer channel

// A 16-bit stereo WAV: the left channel silent, the right a square wave of `amplitude`.
QString WriteRightOnlyWav(const QString& path, uint32_t rate, uint32_t frames, int16_t amplitude) {
    QByteArray data;
    for (uint32_t f = 0; f < frames; ++f) {
        const int16_t right = (f / 20) % 2 ? amplitude : int16_t(-amplitude);
        const int16_t samples[2] = {0, right};
        data.append(reinterpret_cast<const char*>(samples), sizeof samples);
    }
    const auto le32 = [](uint32_t v) { return QByteArray(reinterpret_cast<const char*>(&v), 4); };
    const auto le16 = [](uint16_t v) { return QByteArray(reinterpret_cast<const char*>(&v), 2); };
    QByteArray wav = "RIFF" + le32(36 + uint32_t(data.size())) + "WAVEfmt " + le32(16) + le16(1) + le16(2) +
                     le32(rate) + le32(rate * 4) + le16(4) + le16(16) + "data" + le32(uint32_t(data.size())) + data;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(wav);
    return path;
}

TEST(PlayerMixer, ASingleFilePlaysOnceWithItsLevelsOnTheRight) {
    TempFolder t;
    const QString wav = WriteRightOnlyWav(t.Path("right.wav"), 22050, 22050 * 3 / 2, 20000);
    TListPlayer player;
    FakePanel panel;
    player.Title = "一号";
    player.SetPanel(&panel);
    player.Volume = -600;
    player.CreateChannel(0, MixerChannelFactory());
    ASSERT_NE(player.Channel(), nullptr);
    player.PlayMode = ManualMode;
    player.ManualFile = wav;
    QSignalSpy finished(&player, &TListPlayer::Finished);
    player.Start();
    ASSERT_TRUE(WaitFor([&] { return panel.maxRight > 0; }));
    EXPECT_EQ(panel.rangeMax, 1500);
    EXPECT_EQ(panel.caption, "一号手动播放");
    // Played once: the end arrives through the event loop and clears the single file.
    ASSERT_TRUE(WaitFor([&] { return player.ManualFile.isEmpty(); }));
    ASSERT_TRUE(WaitFor([&] { return player.Channel()->FileName().isEmpty(); }));
    // 20000 has the high byte 0x4E and -20000 0xB1: deviations of 78 and 79.
    EXPECT_EQ(panel.maxRight, int(std::sqrt(79.0f / 128) * 100));
    EXPECT_EQ(panel.maxLeft, 0);
    player.Terminate();
    ASSERT_TRUE(WaitFor([&] { return finished.count() == 1; }));
}

TEST(PlayerMixer, AFileTheMixerCannotOpenIsShownInThePanel) {
    TempFolder t;
    TListPlayer player;
    FakePanel panel;
    player.Title = "一号";
    player.SetPanel(&panel);
    player.CreateChannel(0, MixerChannelFactory());
    player.PlayMode = ManualMode;
    player.ManualFile = t.Path("gone.wav");
    player.Tick();  // the open's result arrives through the event loop
    EXPECT_TRUE(WaitFor([&] { return panel.caption == "一号(错误)File not found"; })) << panel.caption.toStdString();
    player.ManualFile = t.Write("garbage.wav", QByteArray(5000, 'z'));
    player.Tick();
    EXPECT_TRUE(WaitFor([&] { return panel.fileLabel == "garbage.wav"; }));
    EXPECT_TRUE(panel.caption.startsWith("一号(错误)")) << panel.caption.toStdString();
    EXPECT_TRUE(player.Channel()->FileName().isEmpty());
}

// A sine tone of `ms` milliseconds, 44.1 kHz 16-bit stereo.
QString WriteTone(const QString& path, double hz, int ms) {
    const uint32_t rate = 44100, frames = rate * uint32_t(ms) / 1000;
    QByteArray data;
    for (uint32_t i = 0; i < frames; ++i) {
        const auto v = int16_t(std::lround(16000 * std::sin(2 * M_PI * hz * i / rate)));
        for (int channel = 0; channel < 2; ++channel) data.append(reinterpret_cast<const char*>(&v), 2);
    }
    const auto le32 = [](uint32_t v) { return QByteArray(reinterpret_cast<const char*>(&v), 4); };
    const auto le16 = [](uint16_t v) { return QByteArray(reinterpret_cast<const char*>(&v), 2); };
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("RIFF" + le32(36 + uint32_t(data.size())) + "WAVEfmt " + le32(16) + le16(1) + le16(2) + le32(rate) +
               le32(rate * 4) + le16(4) + le16(16) + "data" + le32(uint32_t(data.size())) + data);
    return path;
}

// Short sounds one after the other: each follows as soon as the one before has ended.
TEST(PlayerMixer, AFolderOfThreeShortFilesIsHeardInOrderWithinOneSecond) {
    TempFolder t;
    const QString folder = t.MakeFolder("chimes");
    const double tones[] = {523, 784, 1047};
    for (int i = 0; i < 3; ++i) WriteTone(folder + QString("/%1.wav").arg(i + 1), tones[i], 300);
    constexpr int kOutput = 3;
    {
        TListPlayer player;
        player.Title = "一号";
        player.SoundCard = kOutput;
        player.DayList.Items = {Item(1, "chimes", 0, At(23, 59, 59), folder, KindFolder)};
        player.CurrentItem.Index = -1;
        player.CreateChannel(kOutput, MixerChannelFactory());
        QSignalSpy finished(&player, &TListPlayer::Finished);
        player.Start();
        RunEventsFor(2500);
        player.Terminate();
        ASSERT_TRUE(WaitFor([&] { return finished.count() == 1; }));
    }
    const auto capture = CaptureTimeline::Load(qEnvironmentVariable("TESSORA_AUDIO").mid(8) + QString("/device-%1").arg(kOutput));
    ASSERT_TRUE(capture);
    const int64_t from = capture->StartUnixMs(), to = from + 3000;
    const auto first = capture->FirstSound(tones[0], from, to);
    ASSERT_TRUE(first);
    const auto second = capture->FirstSound(tones[1], *first, to), third = capture->FirstSound(tones[2], *first, to);
    ASSERT_TRUE(second && third);
    EXPECT_LT(*first, *second);
    EXPECT_LT(*second, *third);
    EXPECT_LE(*third - *first, 1000 - 300) << "all three within one second";
}

TEST(PlayerMixer, AnUnknownSoundCardFallsBackToTheDefaultOutput) {
    TListPlayer player;
    player.SoundCard = -3;
    QSignalSpy alerts(&player, &TListPlayer::Alert);
    player.CreateChannel(0, MixerChannelFactory());
    EXPECT_EQ(alerts.count(), 1);
    EXPECT_NE(player.Channel(), nullptr);
    TListPlayer far;
    far.SoundCard = 99;
    far.CreateChannel(1, MixerChannelFactory());
    EXPECT_NE(far.Channel(), nullptr);
}

// Bells shorter than a panel tick: the end's peak is the level of what went out, measured on
// the output, whatever the file's length and at the channel's volume.
TEST(PlayerMixer, TheEndOfAShortBellCarriesThePeakSentToTheOutput) {
    TempFolder t;
    constexpr int kOutput = 2;
    struct Bell {
        int ms;
        int32_t volume;
    };
    for (const Bell& bell : {Bell{100, 0}, Bell{150, 0}, Bell{250, -600}, Bell{400, 0}, Bell{500, -1200}}) {
        SCOPED_TRACE(bell.ms);
        const QString wav = WriteTone(t.Path(QString("bell-%1.wav").arg(bell.ms)), 880, bell.ms);
        std::vector<AsRunEvent> events;
        const int64_t from = QDateTime::currentMSecsSinceEpoch();
        {
            TListPlayer player;
            player.Title = "一号";
            player.Volume = bell.volume;
            player.SoundCard = kOutput;
            player.CreateChannel(kOutput, MixerChannelFactory());
            player.OnAsRun = [&events](const AsRunEvent& e) { events.push_back(e); };
            player.PlayMode = ManualMode;
            player.ManualFile = wav;
            QSignalSpy finished(&player, &TListPlayer::Finished);
            player.Start();
            ASSERT_TRUE(WaitFor([&] { return player.ManualFile.isEmpty(); }));
            player.Terminate();
            ASSERT_TRUE(WaitFor([&] { return finished.count() == 1; }));
        }
        const int64_t to = QDateTime::currentMSecsSinceEpoch() + 200;
        const auto end = std::find_if(events.begin(), events.end(),
                                      [](const AsRunEvent& e) { return e.Kind == AsRunEventKind::End; });
        ASSERT_NE(end, events.end()) << "the bell never ended";
        EXPECT_EQ(end->File, wav);

        // What the output got: its loudest sample, on the gauges' scale.
        const auto capture =
            CaptureTimeline::Load(qEnvironmentVariable("TESSORA_AUDIO").mid(8) + QString("/device-%1").arg(kOutput));
        ASSERT_TRUE(capture);
        ASSERT_TRUE(capture->FirstLoud(from, to)) << "the bell was not heard";
        int heard = 0;
        for (int64_t ms = from; ms < to; ms += 50) heard = std::max(heard, capture->QuietestPeak(ms, ms + 50, 50));
        EXPECT_GT(heard, 1000);
        EXPECT_NEAR(end->Detail.toInt(), GaugeLevel(float(heard) / 32768), 1)
            << "logged " << end->Detail.toStdString() << ", heard " << heard;
    }
}

}  // namespace
}  // namespace tessora::test
