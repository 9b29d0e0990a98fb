// The as-run log's writer on a real folder: lines appended in order to their date's file, old
// days removed, and a folder that cannot take them said once without stopping anything.
#include "AsRunLog.h"

#include "AsRunLogTestSupport.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>

using namespace tessora;
using namespace tessora::test;
using namespace std::chrono_literals;

namespace {

const QDate kToday(2026, 12, 10);

AsRunEvent Event(const QDate& date, int channel, AsRunEventKind kind, const QString& detail = QString()) {
    AsRunEvent e;
    e.Time = {date, TimeValue(8, 0, 0, channel)};
    e.Channel = channel;
    e.Title = QString("ch%1").arg(channel);
    e.Kind = kind;
    e.Detail = detail;
    return e;
}

}  // namespace

TEST(AsRunLog, AppendsEachEventToItsDatesFileInOrder) {
    TempFolder dir;
    dir.Write("asrun/2026-12-10.tsv", "2026-12-10T07:00:00.000\t-1\t\tstartup\t\t\t\t\n");
    const std::vector<AsRunEvent> events = {Event(kToday, 0, AsRunEventKind::Start, "12"),
                                            Event(kToday, 1, AsRunEventKind::Pause),
                                            Event(kToday.addDays(1), 0, AsRunEventKind::End, "80"),
                                            Event(kToday, 2, AsRunEventKind::Stop, "0")};
    {
        TAsRunLog log(dir.Path("asrun"), kToday);
        for (const AsRunEvent& e : events) log.Write(e);
        ASSERT_TRUE(log.WaitUntilWritten(10s));
        EXPECT_EQ(LinesOf(dir.Read("asrun/2026-12-11.tsv")), QStringList{FormatAsRunLine(events[2])});
    }
    EXPECT_EQ(LinesOf(dir.Read("asrun/2026-12-10.tsv")),
              (QStringList{"2026-12-10T07:00:00.000\t-1\t\tstartup\t\t\t\t", FormatAsRunLine(events[0]),
                           FormatAsRunLine(events[1]), FormatAsRunLine(events[3])}));
}

TEST(AsRunLog, ALineCutShortByACrashKeepsToItself) {
    TempFolder dir;
    dir.Write("asrun/2026-12-10.tsv", "2026-12-10T07:00:00.000\t0\tch0\tsta");
    TAsRunLog log(dir.Path("asrun"), kToday);
    log.Write(Event(kToday, 0, AsRunEventKind::Resume));
    ASSERT_TRUE(log.WaitUntilWritten(10s));
    EXPECT_EQ(LinesOf(dir.Read("asrun/2026-12-10.tsv")),
              (QStringList{"2026-12-10T07:00:00.000\t0\tch0\tsta", FormatAsRunLine(Event(kToday, 0, AsRunEventKind::Resume))}));
}

TEST(AsRunLog, RemovesTheDaysOlderThanFourHundredAtStart) {
    TempFolder dir;
    const QString tooOld = "asrun/" + AsRunFileName(kToday.addDays(-401));
    const QString oldest = "asrun/" + AsRunFileName(kToday.addDays(-400));
    for (const QString& name : {tooOld, oldest, QString("asrun/2019-01-01.tsv"), QString("asrun/notes.txt"),
                                QString("asrun/2019-02-30.tsv")})
        dir.Write(name);
    dir.MakeFolder("asrun/2019-01-02.tsv");
    {
        TAsRunLog log(dir.Path("asrun"), kToday);
        log.Write(Event(kToday, 0, AsRunEventKind::Startup));
        ASSERT_TRUE(log.WaitUntilWritten(10s));
    }
    const QStringList left = QDir(dir.Path("asrun")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    EXPECT_EQ(left, (QStringList{"2019-01-02.tsv", "2019-02-30.tsv", AsRunFileName(kToday.addDays(-400)), "2026-12-10.tsv",
                                 "notes.txt"}));
}

TEST(AsRunLog, AFolderThatCannotTakeTheLinesIsSaidOnceAndTheLinesGoInOnceItIsMended) {
    TempFolder dir;
    dir.Write("asrun");  // a file where the folder should be
    Notices failures;
    TAsRunLog log(dir.Path("asrun"), kToday, failures.Handler());
    for (int i = 0; i < 5; ++i) log.Write(Event(kToday, i, AsRunEventKind::Start, "0"));
    ASSERT_TRUE(log.WaitUntilWritten(10s));
    EXPECT_TRUE(log.Failing());
    ASSERT_EQ(failures.Said().size(), 1);
    EXPECT_TRUE(failures.Said()[0].contains("asrun")) << failures.Said()[0].toStdString();

    // Mended: the kept lines and the next ones are written, in order, and the end is said once.
    ASSERT_TRUE(QFile::remove(dir.Path("asrun")));
    log.Write(Event(kToday, 7, AsRunEventKind::End, "50"));
    ASSERT_TRUE(log.WaitUntilCaughtUp(10s));
    QStringList expected;
    for (int i = 0; i < 5; ++i) expected << FormatAsRunLine(Event(kToday, i, AsRunEventKind::Start, "0"));
    expected << FormatAsRunLine(Event(kToday, 7, AsRunEventKind::End, "50"));
    EXPECT_EQ(LinesOf(dir.Read("asrun/2026-12-10.tsv")), expected);
    EXPECT_EQ(failures.Said().size(), 2);
    EXPECT_FALSE(log.Failing());
}

TEST(AsRunLog, APipeInTheFilesPlaceIsRefusedWithoutWaitingOnIt) {
    TempFolder dir;
    dir.MakeFolder("asrun");
    ASSERT_EQ(::mkfifo(dir.Path("asrun/2026-12-10.tsv").toLocal8Bit().constData(), 0600), 0);
    Notices failures;
    TAsRunLog log(dir.Path("asrun"), kToday, failures.Handler());
    log.Write(Event(kToday, 0, AsRunEventKind::Start, "0"));
    ASSERT_TRUE(log.WaitUntilWritten(10s));
    ASSERT_EQ(failures.Said().size(), 1);
    EXPECT_TRUE(failures.Said()[0].contains("not a regular file")) << failures.Said()[0].toStdString();
}

TEST(AsRunLog, ClosingWritesWhatIsQueued) {
    TempFolder dir;
    {
        TAsRunLog log(dir.Path("asrun"), kToday);
        for (int i = 0; i < 500; ++i) log.Write(Event(kToday, i, AsRunEventKind::Start, QString::number(i)));
    }
    const QStringList lines = LinesOf(dir.Read("asrun/2026-12-10.tsv"));
    ASSERT_EQ(lines.size(), 500);
    EXPECT_EQ(lines[499], FormatAsRunLine(Event(kToday, 499, AsRunEventKind::Start, "499")));
}

TEST(AsRunLog, WritersOnManyThreadsEachGetWholeLines) {
    TempFolder dir;
    {
        TAsRunLog log(dir.Path("asrun"), kToday);
        std::vector<std::thread> writers;
        for (int t = 0; t < 4; ++t)
            writers.emplace_back([&log, t] {
                for (int i = 0; i < 100; ++i) log.Write(Event(kToday, t, AsRunEventKind::Start, QString::number(i)));
            });
        for (auto& w : writers) w.join();
    }
    const QStringList lines = LinesOf(dir.Read("asrun/2026-12-10.tsv"));
    ASSERT_EQ(lines.size(), 400);
    for (const QString& line : lines) EXPECT_TRUE(ParseAsRunLine(line)) << line.toStdString();
}
