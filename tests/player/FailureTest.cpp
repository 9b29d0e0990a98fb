// What fails inside a tick stays in the panel; the channel goes on following its timetable.
#include "PlayerTestSupport.h"

#include "FileError.h"
#include "PlayList.h"
#include "SlowFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace tessora::test {
namespace {

using Times = std::vector<int64_t>;

// Writes a readable day list with an 08:00 bell at `list`, then checks that it sounds at the
// station's next tick.
void RepairAndHearTheBell(Station& s, const QString& list) {
    TPlayList repaired;
    repaired.Items = {Item(1, "早铃", At(8, 0, 0), At(8, 10, 0), "/music/bell.wav")};
    repaired.SaveToFile(list);
    s.RunUntil(At(8, 0, 1));
    EXPECT_EQ(s.channel->FileName(), "/music/bell.wav");
    EXPECT_EQ(s.panel.caption, "一号-早铃");
}

TEST(PlayerFailure, AMissingFileIsShownAndTheNextItemPlays) {
    TempFolder folder;
    const QString bell = folder.Path("bell.wav");
    const QString next = folder.Write("next.wav");
    Station s;
    QSignalSpy alerts(&s.player, &TListPlayer::Alert);
    s.SetDayList({Item(1, "早铃", At(8, 0, 0), At(8, 10, 0), bell), Item(2, "音乐", At(8, 10, 0), At(8, 20, 0), next)});
    s.channel->missing << bell;
    s.RunUntil(At(8, 0, 0, 250));
    EXPECT_EQ(s.panel.caption, "一号(错误)File not found");
    EXPECT_EQ(s.panel.fileLabel, "bell.wav");
    EXPECT_EQ(s.panel.left, 0);
    EXPECT_EQ(s.panel.right, 0);
    s.RunUntil(At(8, 9, 0));
    // Shown at every tick, and the unchanged file is not tried again and again.
    EXPECT_EQ(s.panel.caption, "一号(错误)File not found");
    EXPECT_EQ(s.channel->OpenAttempts(bell), 1);
    EXPECT_TRUE(s.channel->FileName().isEmpty());
    s.RunUntil(At(8, 10, 1));
    EXPECT_EQ(s.channel->FileName(), next);
    EXPECT_EQ(s.panel.caption, "一号-音乐");
    EXPECT_EQ(alerts.count(), 0);  // nobody may be there to close a message box
}

// A file on a share that stopped answering: the channel waits for it off the GUI thread, shows
// the time-out like any failure, and the next item plays at its time.
TEST(PlayerFailure, AFileWhoseOpenHangsIsGivenUpAndTheTimetableGoesOn) {
    const QString hanging = "/share/bell.wav", song = "/music/song.wav";
    Station s;
    s.SetDayList({Item(1, "早铃", At(8, 0, 0), At(8, 0, 30), hanging), Item(2, "音乐", At(8, 0, 30), At(8, 5, 0), song)});
    s.channel->holdOpens = true;
    s.RunUntil(At(8, 0, 5));
    EXPECT_EQ(s.channel->OpeningFile(), hanging);
    EXPECT_EQ(s.channel->OpenAttempts(hanging), 0) << "opened again while the first open hangs";
    EXPECT_EQ(s.panel.caption, "一号-早铃");
    s.channel->FinishOpen("The file did not open within 5 seconds.");
    EXPECT_EQ(s.panel.caption, "一号(错误)The file did not open within 5 seconds.");
    EXPECT_EQ(s.panel.fileLabel, "bell.wav");
    s.RunUntil(At(8, 0, 29));
    EXPECT_EQ(s.panel.caption, "一号(错误)The file did not open within 5 seconds.");
    s.channel->holdOpens = false;
    s.RunUntil(At(8, 0, 31));
    EXPECT_EQ(s.channel->OpensOf(song), (Times{At(8, 0, 30, 250)})) << "the next item starts at its first tick";
    EXPECT_EQ(s.channel->GetState(), PlayerChannel::Playing);
    EXPECT_EQ(s.panel.caption, "一号-音乐");
}

// Paused while its file opened: the file waits, open, for the play button.
TEST(PlayerFailure, AFileThatOpensAfterAPauseWaitsForPlay) {
    const QString bell = "/music/bell.wav";
    Station s;
    s.SetDayList({Item(1, "早铃", At(8, 0, 0), At(8, 10, 0), bell)});
    s.channel->holdOpens = true;
    s.RunUntil(At(8, 0, 1));
    s.player.PlayState = PlayPaused;
    s.channel->holdOpens = false;
    s.channel->FinishOpen();
    EXPECT_EQ(s.channel->FileName(), bell);
    EXPECT_NE(s.channel->GetState(), PlayerChannel::Playing);
    s.RunUntil(At(8, 0, 3));
    EXPECT_NE(s.channel->GetState(), PlayerChannel::Playing);
    s.player.PlayState = PlayOn;
    s.RunUntil(At(8, 0, 3, 500));
    EXPECT_EQ(s.channel->GetState(), PlayerChannel::Playing);
    EXPECT_EQ(s.channel->OpensOf(bell).size(), 1u);
}

TEST(PlayerFailure, ARepairedFilePlaysAtTheNextTickWithinItsItem) {
    TempFolder folder;
    const QString bell = folder.Path("bell.wav");
    Station s;
    s.SetDayList({Item(1, "早铃", At(8, 0, 0), At(8, 10, 0), bell)});
    s.channel->missing << bell;
    s.RunUntil(At(8, 5, 0));
    folder.Write("bell.wav");  // copied back
    s.channel->missing.remove(bell);
    s.RunUntil(At(8, 5, 0, 500));
    EXPECT_EQ(s.channel->OpensOf(bell), (Times{At(8, 5, 0, 250)}));
    EXPECT_EQ(s.channel->GetState(), PlayerChannel::Playing);
    s.RunUntil(At(8, 5, 1));
    EXPECT_EQ(s.panel.caption, "一号-早铃");
    EXPECT_EQ(s.panel.fileLabel, "bell.wav");
}

TEST(PlayerFailure, AnUnreadableFileIsTriedAgainOnceItChanges) {
    TempFolder folder;
    const QString bell = folder.Write("bell.wav", "not a sound");
    Station s;
    s.SetDayList({Item(1, "早铃", At(8, 0, 0), At(8, 10, 0), bell)});
    s.channel->unreadable << bell;
    s.RunUntil(At(8, 3, 0));
    EXPECT_EQ(s.panel.caption, "一号(错误)Unsupported file format.");
    EXPECT_EQ(s.channel->OpenAttempts(bell), 1);
    folder.Write("bell.wav", "a sound the channel can read");
    s.channel->unreadable.remove(bell);
    s.RunUntil(At(8, 3, 0, 500));
    EXPECT_EQ(s.channel->OpenAttempts(bell), 2);
    EXPECT_EQ(s.channel->GetState(), PlayerChannel::Playing);
}

TEST(PlayerFailure, ALoopingItemLoopsOnceRepaired) {
    TempFolder folder;
    const QString tone = folder.Path("tone.wav");
    Station s;
    s.SetDayList({Item(1, "循环", At(8, 0, 0), At(8, 10, 0), tone, KindFile, 1)});
    s.channel->missing << tone;
    s.RunUntil(At(8, 1, 0));
    folder.Write("tone.wav");
    s.channel->missing.remove(tone);
    s.RunUntil(At(8, 2, 0));
    EXPECT_TRUE(s.channel->Loop());
}

TEST(PlayerFailure, ASoundCardThatFailsIsShownAndTriedAgainAtEveryTick) {
    Station s;
    s.SetDayList({Item(1, "早铃", At(8, 0, 0), At(8, 10, 0), "/music/bell.wav")});
    s.channel->noDevice = true;
    s.RunUntil(At(8, 0, 2));
    EXPECT_EQ(s.panel.caption, "一号(错误)No sound driver is available for use.");
    EXPECT_EQ(s.panel.fileLabel, "bell.wav");
    EXPECT_TRUE(s.channel->FileName().isEmpty());
    EXPECT_EQ(s.channel->OpenAttempts("/music/bell.wav"), 4);  // the file itself is fine
    s.channel->noDevice = false;
    s.RunUntil(At(8, 0, 2, 500));
    EXPECT_EQ(s.channel->GetState(), PlayerChannel::Playing);
}

TEST(PlayerFailure, AManualFileThatCannotBeOpenedIsShown) {
    Station s;
    s.player.PlayMode = ManualMode;
    s.player.ManualFile = "/music/gone.mp3";
    s.channel->missing << "/music/gone.mp3";
    s.RunUntil(At(0, 0, 2));
    EXPECT_EQ(s.panel.caption, "一号(错误)File not found");
    EXPECT_EQ(s.panel.fileLabel, "gone.mp3");
    // Choosing a list again ends the manual failure's display.
    s.player.PlayMode = ListMode;
    s.RunUntil(At(0, 0, 3));
    EXPECT_EQ(s.panel.caption, "一号-");
}

TEST(PlayerFailure, ADayListThatCannotBeReadIsShownAndPickedUpWhenRepaired) {
    TempFolder folder;
    // Far too large to be a day list (sparse, so it costs nothing to make).
    const QString list = folder.Write("monday.lst");
    ASSERT_TRUE(QFile::resize(list, kMaxStationFileBytes + 1));
    Station s;  // starts on a Monday
    s.player.PeriodicListFile = folder.Path("week.lsm");
    s.player.PeriodicList = QStringList{"", list, "", "", "", "", ""};
    s.RunUntil(At(8, 0, 0));
    EXPECT_EQ(s.panel.caption, "一号(错误)File is too large");
    EXPECT_EQ(s.panel.fileLabel, "monday.lst");

    RepairAndHearTheBell(s, list);
}

TEST(PlayerFailure, AFolderWithoutAudioIsShownUntilItIsFilled) {
    TempFolder folder;
    const QString songs = folder.MakeFolder("songs");
    folder.Write("songs/readme.txt");
    Station s;
    s.SetDayList({Item(1, "午间", At(12, 0, 0), At(12, 30, 0), songs, KindFolder)});
    s.RunUntil(At(12, 1, 0));
    EXPECT_EQ(s.panel.caption, "一号(错误)目录中没有音频文件");
    EXPECT_EQ(s.panel.fileLabel, "songs");
    const QString song = folder.Write("songs/a.mp3");
    s.RunUntil(At(12, 1, 0, 500));
    EXPECT_EQ(s.channel->FileName(), song);
}

TEST(PlayerFailure, AMissingFolderIsLikeAnEmptyOne) {
    Station s;
    s.SetDayList({Item(1, "午间", At(12, 0, 0), At(12, 0, 10), "/no/such/folder", KindFolder),
                  Item(2, "下午", At(12, 0, 10), At(12, 1, 0), "/music/bell.wav")});
    s.RunUntil(At(12, 0, 5));
    EXPECT_EQ(s.panel.caption, "一号(错误)目录中没有音频文件");
    s.RunUntil(At(12, 0, 11));
    EXPECT_EQ(s.channel->FileName(), "/music/bell.wav");
}

TEST(PlayerFailure, AFolderFileThatCannotBeOpenedIsSkipped) {
    TempFolder folder;
    const QString songs = folder.MakeFolder("songs");
    const QString a = folder.Write("songs/a.mp3"), b = folder.Write("songs/b.mp3"), c = folder.Write("songs/c.mp3");
    Station s;
    s.SetDayList({Item(1, "午间", At(12, 0, 0), At(12, 30, 0), songs, KindFolder)});
    for (const QString& f : {a, b, c}) s.channel->files[f] = {10000};
    s.channel->unreadable << b;
    s.RunUntil(At(12, 1, 0));
    std::vector<QString> played;
    for (const ChannelEvent& e : s.channel->Events("Play")) played.push_back(e.file);
    ASSERT_GE(played.size(), 4u);
    EXPECT_EQ((std::vector<QString>(played.begin(), played.begin() + 4)), (std::vector<QString>{a, c, a, c}));
    EXPECT_EQ(s.channel->OpenAttempts(b), 1);
}

TEST(PlayerFailure, AReadErrorWhilePlayingGoesOnAsAfterTheEnd) {
    TempFolder folder;
    const QString songs = folder.MakeFolder("songs");
    const QString a = folder.Write("songs/a.mp3"), b = folder.Write("songs/b.mp3");
    Station s;
    s.SetDayList({Item(1, "午间", At(12, 0, 0), At(12, 30, 0), songs, KindFolder),
                  Item(2, "铃", At(13, 0, 0), At(13, 1, 0), "/music/bell.wav")});
    s.RunUntil(At(12, 0, 5));
    ASSERT_EQ(s.channel->FileName(), a);
    s.channel->FailWhilePlaying("Error reading the file.");
    EXPECT_EQ(s.channel->FileName(), b);  // the folder goes on with its next file
    EXPECT_EQ(s.channel->GetState(), PlayerChannel::Playing);

    s.RunUntil(At(13, 0, 5));
    s.channel->FailWhilePlaying("Error reading the file.");
    EXPECT_EQ(s.panel.caption, "一号(错误)Error reading the file.");
    EXPECT_EQ(s.panel.fileLabel, "bell.wav");
    s.RunUntil(At(13, 0, 6));
    EXPECT_EQ(s.channel->FileName(), "/music/bell.wav");  // the item's file again
}

TEST(PlayerFailure, AFailureReportedForAFileAlreadyLeftBehindChangesNothing) {
    Station s;
    s.SetDayList({Item(1, "铃", At(8, 0, 0), At(8, 1, 0), "/music/bell.wav")});
    s.RunUntil(At(8, 0, 5));
    s.channel->OnError("Error reading the file.");  // still playing: it came late
    EXPECT_EQ(s.channel->GetState(), PlayerChannel::Playing);
    EXPECT_EQ(s.channel->FileName(), "/music/bell.wav");
    s.RunUntil(At(8, 0, 6));
    EXPECT_EQ(s.panel.caption, "一号-铃");
}

TEST(PlayerFailure, APlayerWithoutAChannelRunsSilentAndSaysWhy) {
    TListPlayer player;
    FakePanel panel;
    player.Title = "三号";
    player.SetPanel(&panel);
    QSignalSpy alerts(&player, &TListPlayer::Alert);
    player.CreateChannel(2, [](int, int) -> std::unique_ptr<PlayerChannel> { throw std::runtime_error("no device"); });
    ASSERT_EQ(alerts.count(), 1);
    EXPECT_EQ(alerts.at(0).at(1).toString(), "无法创建directshow播放器");
    player.DayList.Items = {Item(1, "a", 0, At(23, 0, 0), "/music/bell.wav")};
    player.Tick(LocalMoment{QDate(2026, 12, 7), double(At(8, 0, 0)) / kMsPerDay});
    EXPECT_EQ(panel.caption, "三号(错误)无法创建directshow播放器");
    EXPECT_EQ(player.Channel(), nullptr);
}

TEST(PlayerFailure, ANegativeSoundCardIsReportedAndTheChannelMadeAllTheSame) {
    TListPlayer player;
    player.SoundCard = -1;
    QSignalSpy alerts(&player, &TListPlayer::Alert);
    int cardAsked = 0, tagAsked = 0;
    player.CreateChannel(4, [&](int card, int tag) {
        cardAsked = card;
        tagAsked = tag;
        return std::make_unique<FakeChannel>();
    });
    ASSERT_EQ(alerts.count(), 1);
    EXPECT_EQ(alerts.at(0).at(1).toString(), "声卡索引错误，createmixerplayer");
    EXPECT_EQ(cardAsked, -1);  // the mixer ignores it and keeps the default output
    EXPECT_EQ(tagAsked, 4);
    EXPECT_NE(player.Channel(), nullptr);
}

}  // namespace
}  // namespace tessora::test

namespace tessora::test {
namespace {

TEST(PlayerFailure, ADayListUnreadableAtStartIsShownUntilItCanBeReadAndThenPlaysTheSameDay) {
    TempFolder folder;
    const QString list = folder.Path("day.lst");
    ASSERT_TRUE(QDir().mkpath(list));  // a folder where the list should be: a share not mounted yet
    Station s;
    s.player.DayListFile = list;
    s.player.LoadDayList();
    s.RunUntil(At(8, 0, 0));
    EXPECT_EQ(s.panel.caption, "一号(错误)Is a folder, not a file");
    EXPECT_EQ(s.panel.fileLabel, "day.lst");
    EXPECT_EQ(s.player.DayListFile, list);  // kept, so that the channel file keeps it too

    ASSERT_TRUE(QDir(list).removeRecursively());
    RepairAndHearTheBell(s, list);
}

TEST(PlayerFailure, ADayListWhoseFileSystemDoesNotAnswerHoldsNoTickAndIsReadOnceItAnswers) {
    TempFolder folder;
    TPlayList list;
    list.Items = {Item(1, "早铃", At(8, 0, 0), At(8, 10, 0), "/music/bell.wav")};
    const QString source = list.SaveToFile(folder.Path("source.lst"));
    const QString path = folder.Path("day.lst");
    // Every open of the list waits in the kernel for 45 s, as on a share that stopped answering.
    SlowFile slow(source, path);
    if (!slow.Held()) GTEST_SKIP() << "this file system gives no leases";
    Station s;
    s.player.DayListFile = path;
    s.player.LoadDayList();
    s.RunUntil(At(8, 0, 2));
    // Had a tick waited for the open, the list would have been read by now.
    EXPECT_TRUE(s.panel.caption.startsWith("一号(错误)The file system did not answer")) << s.panel.caption.toStdString();
    EXPECT_EQ(s.channel->FileName(), QString());

    slow.Release();
    // The released open returns whenever the machine gets to it; the first tick after that takes
    // the list. On a busy machine that may be many ticks later, still within the item.
    QElapsedTimer waited;
    waited.start();
    while (s.channel->FileName().isEmpty() && waited.elapsed() < 60000 && s.Now() < At(8, 9, 0))
        s.RunUntil(s.Now() + 500);
    s.RunUntil(s.Now() + 500);  // the panel is written at the top of a tick
    EXPECT_EQ(s.channel->FileName(), "/music/bell.wav");
    EXPECT_EQ(s.panel.caption, "一号-早铃");
}

TEST(PlayerFailure, ADayListCutShortPlaysItsWholeRecordsAndSaysItIsDamaged) {
    TempFolder folder;
    TPlayList list;
    list.Items = {Item(1, "早铃", At(8, 0, 0), At(8, 10, 0), "/music/bell.wav"),
                  Item(2, "午铃", At(12, 0, 0), At(12, 10, 0), "/music/noon.wav")};
    const QString path = list.SaveToFile(folder.Path("day.lst"));
    ASSERT_TRUE(QFile::resize(path, 1000));
    Station s;
    s.player.DayListFile = path;
    s.player.LoadDayList();
    ASSERT_EQ(s.player.DayList.Items.size(), 1u);
    s.RunUntil(At(8, 0, 1));
    EXPECT_EQ(s.channel->FileName(), "/music/bell.wav");
    EXPECT_EQ(s.panel.listLabel, "day.lst(列表损坏)");
    EXPECT_EQ(s.panel.caption, "一号-早铃");
}

}  // namespace
}  // namespace tessora::test
