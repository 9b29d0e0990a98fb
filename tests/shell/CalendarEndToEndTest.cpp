// The real program on capture outputs under a station calendar: a rule covering today silences
// channel one for a holiday, then, once the calendar file is rewritten, rings its exam list; the
// other channel follows its own list throughout.
#include "CaptureAnalysis.h"
#include "StationRun.h"

#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

using namespace tessora;

namespace {

constexpr double kSlack = 1.5;  // seconds for the station to act on a change

bool WriteCalendar(const QString& folder, const QString& text) {
    QFile file(folder + "calendar.txt");
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text.toUtf8()) > 0;
}

}  // namespace

TEST(Station, AHolidaySilencesAChannelAndAnExamDayRingsItsExamList) {
    StationRun station(TESSORA_PROGRAM, TESSORA_CLI);
    ASSERT_TRUE(station.Ready());
    const QString folder = station.Folder();
    ASSERT_TRUE(station.MakeTone("a440.wav", 440, 30));
    ASSERT_TRUE(station.MakeTone("b660.wav", 660, 30));
    ASSERT_TRUE(station.MakeTone("c880.wav", 880, 30));

    const QDateTime t0 = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() + 4);
    if (t0.addSecs(30).date() != t0.date()) GTEST_SKIP() << "too close to midnight for a day list";
    const auto at = [&](int s) { return t0.addSecs(s).toString("hh:mm:ss"); };
    const auto ms = [&](double s) { return t0.toMSecsSinceEpoch() + static_cast<int64_t>(s * 1000); };
    const QString today = t0.date().toString("yyyy-MM-dd");

    // Each list sounds its tone for the whole test; the exam list lives in the list folder.
    const auto item = [&](const QString& title, const QString& file) {
        return QString("%1\t%2\t%3\tfile\t%4\t0\t0\t\n").arg(title, at(0), at(25), folder + file);
    };
    ASSERT_TRUE(station.MakeTwoChannels(item("own", "a440.wav"), item("other", "b660.wav")));
    QDir().mkpath(folder + "list");
    ASSERT_TRUE(station.Cli({"make-list", folder + "list/期末考试"}, item("exam", "c880.wav")));
    ASSERT_TRUE(WriteCalendar(folder, "holiday\t" + today + "\t\t0\t-silent-\t国庆节\n"));

    ASSERT_TRUE(station.Start(4));
    while (QDateTime::currentMSecsSinceEpoch() < ms(8)) QThread::msleep(200);
    ASSERT_TRUE(WriteCalendar(folder, "# 考试周\nexam\t" + today + "\t" + today + "\t0\t期末考试.lst\t期末考试\n"));
    while (QDateTime::currentMSecsSinceEpoch() < ms(16)) QThread::msleep(200);
    ASSERT_TRUE(station.Terminate());

    const auto one = CaptureTimeline::Load(station.CaptureFolder() + "/device-1");
    const auto two = CaptureTimeline::Load(station.CaptureFolder() + "/device-2");
    ASSERT_TRUE(two) << "nothing captured on output 2";
    // Channel one: silent on the holiday, then the exam list, never its own list.
    if (one) {
        EXPECT_FALSE(one->Sounds(440, ms(0), ms(16))) << "the holiday's channel played its own list";
        EXPECT_FALSE(one->Sounds(880, ms(0), ms(8))) << "the exam list before the calendar named it";
        EXPECT_TRUE(one->Sounds(880, ms(8 + kSlack + 1), ms(15))) << "the exam list did not ring";
    } else {
        ADD_FAILURE() << "nothing captured on output 1: the exam list never sounded";
    }
    // Channel two: its own list all along.
    EXPECT_TRUE(two->Sounds(660, ms(kSlack), ms(15)));
    EXPECT_FALSE(two->Sounds(880, ms(0), ms(16)));

    // The as-run log: the calendar's list events, with their labels.
    QFile log(folder + "asrun/" + today + ".tsv");
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    QStringList listEvents;
    for (const QString& line : QString::fromUtf8(log.readAll()).split('\n'))
        if (line.section('\t', 3, 3) == "list") listEvents << line.section('\t', 1, 1) + " " + line.section('\t', 6);
    EXPECT_EQ(listEvents, (QStringList{"0 \t国庆节", "0 " + folder + "list/期末考试.lst\t期末考试"}));

    // The command line sees the day as the station did.
    QProcess cli;
    cli.start(folder + "tessora-cli", {"day", folder, today});
    ASSERT_TRUE(cli.waitForFinished(30000));
    EXPECT_EQ(QString::fromUtf8(cli.readAllStandardOutput()),
              "0\t一号\t" + folder + "list/期末考试.lst\tcalendar:2 期末考试\n"
              "1\t二号\t" + folder + "two.lst\tlist\n");
}
