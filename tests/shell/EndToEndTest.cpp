// The real program, offscreen, in a program folder of its own, with two channels on two virtual
// capture outputs. The captured sound shows what each channel played and when.
#include "CaptureAnalysis.h"
#include "ChannelFile.h"
#include "SlowFile.h"
#include "StationRun.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/stat.h>


using namespace tessora;

namespace {

constexpr double kSlackSeconds = 1.5;  // a functional test on a busy machine, not a timing benchmark

}  // namespace

TEST(Station, FollowsTheTimetablesOnTheirOwnOutputs) {
    StationRun station(TESSORA_PROGRAM, TESSORA_CLI);
    ASSERT_TRUE(station.Ready());
    const QString folder = station.Folder();
    ASSERT_TRUE(station.MakeTone("a440.wav", 440, 3));
    ASSERT_TRUE(station.MakeTone("b660.wav", 660, 2));
    ASSERT_TRUE(station.MakeTone("tunes/f880.wav", 880, 2));
    ASSERT_TRUE(station.MakeTone("tunes/g1100.wav", 1100, 2));

    // Items start a few seconds ahead of now, whole seconds on the clock.
    const QDateTime t0 = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() + 4);
    if (t0.addSecs(40).date() != t0.date()) GTEST_SKIP() << "too close to midnight for a day list";
    const auto at = [&](int s) { return t0.addSecs(s).toString("hh:mm:ss"); };
    const auto ms = [&](double s) { return t0.toMSecsSinceEpoch() + static_cast<int64_t>(s * 1000); };

    const QString one = QString("bell\t%1\t%2\tfile\t%3\t0\t0\t\n").arg(at(0), at(6), folder + "a440.wav") +
                        QString("gone\t%1\t%2\tfile\t%3\t0\t0\t\n").arg(at(8), at(10), folder + "missing.wav") +
                        QString("tunes\t%1\t%2\tfolder\t%3\t0\t0\t\n").arg(at(12), at(18), folder + "tunes");
    const QString two = QString("gone\t%1\t%2\tfile\t%3\t0\t0\t\n").arg(at(0), at(5), folder + "missing.wav") +
                        QString("loop\t%1\t%2\tfile\t%3\t1\t0\t\n").arg(at(7), at(13), folder + "b660.wav");
    ASSERT_TRUE(station.MakeTwoChannels(one, two));

    ASSERT_TRUE(station.Start(4));
    while (QDateTime::currentMSecsSinceEpoch() < ms(21)) QThread::msleep(200);
    EXPECT_TRUE(station.Terminate());

    EXPECT_TRUE(QFile::exists(folder + "Tessora.ini"));
    EXPECT_GT(QFileInfo(folder + "tessora.cfg").lastModified(), QDateTime::currentDateTime().addSecs(-120));
    EXPECT_TRUE(TChannelFile().LoadChannels(folder + "tessora.cfg").Complete);

    const auto first = CaptureTimeline::Load(station.CaptureFolder() + "/device-1");
    const auto second = CaptureTimeline::Load(station.CaptureFolder() + "/device-2");
    ASSERT_TRUE(first) << "nothing captured on output 1";
    ASSERT_TRUE(second) << "nothing captured on output 2";

    // Channel one: the bell within its window (twice, the file being shorter), silent after it.
    const auto bell = first->FirstSound(440, ms(0), ms(6));
    ASSERT_TRUE(bell) << "the bell never sounded";
    EXPECT_LE(*bell, ms(kSlackSeconds));
    EXPECT_TRUE(first->Sounds(440, ms(4.2), ms(5.5))) << "a short file repeats until its item ends";
    EXPECT_FALSE(first->Sounds(440, ms(6 + kSlackSeconds), ms(20)));
    EXPECT_FALSE(first->Sounds(660, ms(0), ms(20))) << "another channel's sound on this output";
    // The folder: its files one after the other, in listing order, within the item.
    const auto f880 = first->FirstSound(880, ms(12), ms(18)), g1100 = first->FirstSound(1100, ms(12), ms(18));
    ASSERT_TRUE(f880 && g1100) << "the folder's files did not both play";
    EXPECT_LE(*f880, ms(12 + kSlackSeconds)) << "the folder starts with its first file";
    EXPECT_GT(*g1100, *f880 + 1500);
    EXPECT_FALSE(first->Sounds(880, ms(18 + kSlackSeconds), ms(20)) || first->Sounds(1100, ms(18 + kSlackSeconds), ms(20)));

    // Channel two: the missing file gives silence, then the next item plays, looping, until its end.
    EXPECT_FALSE(second->Sounds(660, ms(0), ms(6.5)));
    const auto loop = second->FirstSound(660, ms(7), ms(13));
    ASSERT_TRUE(loop) << "the channel with the missing file did not go on to its next item";
    EXPECT_LE(*loop, ms(7 + kSlackSeconds));
    EXPECT_TRUE(second->Sounds(660, ms(10), ms(12))) << "a looping item sounds without end until its end time";
    EXPECT_FALSE(second->Sounds(660, ms(13 + kSlackSeconds), ms(20)));
    EXPECT_FALSE(second->Sounds(440, ms(0), ms(20)));
}

// A day list that is not there at start (a share not mounted yet: a folder in its place) is
// picked up once it can be read, and its item sounds the same day.
TEST(Station, ADayListThatBecomesReadableAfterTheStartPlays) {
    StationRun station(TESSORA_PROGRAM, TESSORA_CLI);
    ASSERT_TRUE(station.Ready());
    const QString folder = station.Folder();
    ASSERT_TRUE(station.MakeTone("a440.wav", 440, 2));
    const QDateTime t0 = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() + 2);
    if (t0.addSecs(30).date() != t0.date()) GTEST_SKIP() << "too close to midnight for a day list";
    const auto ms = [&](double s) { return t0.toMSecsSinceEpoch() + static_cast<int64_t>(s * 1000); };

    ASSERT_TRUE(QDir().mkpath(folder + "late.lst"));
    ASSERT_TRUE(station.Cli({"make-channels", folder + "tessora.cfg"},
                            QString("一号\t1\t0\t0\t0\t%1\t\n").arg(folder + "late.lst")));
    ASSERT_TRUE(station.Start(2));
    while (QDateTime::currentMSecsSinceEpoch() < ms(4)) QThread::msleep(100);
    // Made aside and moved in, as a share appears: the list is whole when the player sees it.
    const QString item = QString("bell\t%1\t%2\tfile\t%3\t1\t0\t\n")
                             .arg(t0.toString("hh:mm:ss"), t0.addSecs(14).toString("hh:mm:ss"), folder + "a440.wav");
    ASSERT_TRUE(station.Cli({"make-list", folder + "ready"}, item));
    ASSERT_TRUE(QDir(folder + "late.lst").removeRecursively());
    ASSERT_TRUE(QFile::rename(folder + "ready.lst", folder + "late.lst"));
    const int64_t repaired = QDateTime::currentMSecsSinceEpoch();
    while (QDateTime::currentMSecsSinceEpoch() < ms(10)) QThread::msleep(100);
    EXPECT_TRUE(station.Terminate());

    const auto output = CaptureTimeline::Load(station.CaptureFolder() + "/device-1");
    ASSERT_TRUE(output) << "nothing captured on output 1";
    EXPECT_FALSE(output->Sounds(440, ms(0), repaired)) << "sound before the list could be read";
    const auto heard = output->FirstSound(440, repaired, ms(10));
    ASSERT_TRUE(heard) << "the list that became readable did not play";
    EXPECT_LE(*heard, repaired + static_cast<int64_t>(kSlackSeconds * 1000));
    // The channel file keeps the list it names.
    const ChannelLoadResult back = TChannelFile().LoadChannels(folder + "tessora.cfg");
    ASSERT_EQ(back.Channels.size(), 1u);
    EXPECT_EQ(back.Channels[0].Config.DayListFile, folder + "late.lst");
}

// One channel's files hang (a pipe, and a file on a "share" whose open never returns) while the
// other channel plays on time, and the system's SIGTERM still writes both files and ends the
// program at once.
TEST(Station, AFileThatHangsStallsNothingElse) {
    StationRun station(TESSORA_PROGRAM, TESSORA_CLI);
    ASSERT_TRUE(station.Ready());
    const QString folder = station.Folder();
    ASSERT_TRUE(station.MakeTone("b660.wav", 660, 2));
    ASSERT_TRUE(station.MakeTone("hang-source.wav", 440, 2));
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder + "pipe.wav").constData(), 0600), 0);
    test::SlowFile slow(folder + "hang-source.wav", folder + "hang.wav");
    if (!slow.Held()) GTEST_SKIP() << "this file system gives no leases";

    const QDateTime t0 = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() + 4);
    if (t0.addSecs(30).date() != t0.date()) GTEST_SKIP() << "too close to midnight for a day list";
    const auto at = [&](int s) { return t0.addSecs(s).toString("hh:mm:ss"); };
    const auto ms = [&](double s) { return t0.toMSecsSinceEpoch() + static_cast<int64_t>(s * 1000); };
    const QString one = QString("pipe\t%1\t%2\tfile\t%3\t0\t0\t\n").arg(at(0), at(3), folder + "pipe.wav") +
                        QString("hang\t%1\t%2\tfile\t%3\t0\t0\t\n").arg(at(3), at(20), folder + "hang.wav");
    // Starts while the other channel's open hangs, and loops until it ends.
    const QString two = QString("loop\t%1\t%2\tfile\t%3\t1\t0\t\n").arg(at(5), at(20), folder + "b660.wav");
    ASSERT_TRUE(station.MakeTwoChannels(one, two));

    ASSERT_TRUE(station.Start(4));
    while (QDateTime::currentMSecsSinceEpoch() < ms(7)) QThread::msleep(200);
    QElapsedTimer ending;
    ending.start();
    EXPECT_TRUE(station.Terminate());  // while channel one's open of hang.wav still hangs
    EXPECT_LT(ending.elapsed(), 5000) << "the program waited for the hanging open";

    EXPECT_TRUE(QFile::exists(folder + "Tessora.ini"));
    EXPECT_GT(QFileInfo(folder + "tessora.cfg").lastModified(), QDateTime::currentDateTime().addSecs(-120));
    EXPECT_TRUE(TChannelFile().LoadChannels(folder + "tessora.cfg").Complete);

    const auto second = CaptureTimeline::Load(station.CaptureFolder() + "/device-2");
    ASSERT_TRUE(second) << "nothing captured on output 2";
    const auto loop = second->FirstSound(660, ms(5), ms(7));
    ASSERT_TRUE(loop) << "the other channel did not start its item";
    EXPECT_LE(*loop, ms(5 + 1.0)) << "the other channel started late";
    EXPECT_TRUE(second->Sounds(660, ms(6), ms(6.9)));
    const auto first = CaptureTimeline::Load(station.CaptureFolder() + "/device-1");
    if (first) {
        EXPECT_FALSE(first->Sounds(440, ms(0), ms(7)));
    }
}
