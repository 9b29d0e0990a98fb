// The as-run log under faults of its folder: a full disk, a file size limit that cuts a line
// part-way, a read-only folder, a folder that is a file, and a writer killed while it writes.
// Afterwards the log holds whole lines only, the lines of the fault among them, in order.
#include "AiringReport.h"
#include "AsRunLog.h"

#include "AsRunLogTestSupport.h"
#include "TempFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>

#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tessora;
using namespace tessora::test;
using namespace std::chrono_literals;

namespace {

// The station's own events of a fault are dated by the clock: so are these.
const QDate kToday = QDate::currentDate();

AsRunEvent Event(int channel, const QString& detail = QString()) {
    AsRunEvent e;
    e.Time = {kToday, TimeValue(8, 0, 0, channel)};
    e.Channel = channel;
    e.Title = QString("ch%1").arg(channel);
    e.Kind = AsRunEventKind::Start;
    e.Item = 1;
    e.ItemTitle = "上课铃";
    e.File = "/sounds/bell.wav";
    e.Detail = detail;
    return e;
}

bool Mount(const QString& target, const char* options) {
    return ::mount("tessora-test", target.toLocal8Bit().constData(), "tmpfs", 0, options) == 0;
}

bool Remount(const QString& target, unsigned long flags) {
    return ::mount(nullptr, target.toLocal8Bit().constData(), nullptr, MS_REMOUNT | flags, "size=64k") == 0;
}

// A fault of the log's folder: made before the log opens its file, mended while it runs.
struct Fault {
    const char* name;
    bool mounts;  // needs a file system of its own (root)
    std::function<bool(const TempFolder& dir, const QString& file)> make;
    std::function<void(const TempFolder& dir, const QString& file)> mend;
};

const QString kDayFile = "asrun/" + AsRunFileName(kToday);
constexpr rlim_t kNoLimit = RLIM_INFINITY;

const std::vector<Fault>& Faults() {
    static const std::vector<Fault> faults = {
        {"a folder in the day file's place", false,
         [](const TempFolder& dir, const QString& file) {
             return QFile::rename(dir.Path(file), dir.Path("kept.tsv")) && QDir().mkpath(dir.Path(file));
         },
         [](const TempFolder& dir, const QString& file) {
             QDir().rmdir(dir.Path(file));
             QFile::rename(dir.Path("kept.tsv"), dir.Path(file));
         }},
        {"a size limit that cuts a line part-way", false,
         [](const TempFolder& dir, const QString& file) {
             std::signal(SIGXFSZ, SIG_IGN);
             const rlimit limit{rlim_t(QFileInfo(dir.Path(file)).size() + 25), kNoLimit};
             return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
         },
         [](const TempFolder&, const QString&) {
             const rlimit none{kNoLimit, kNoLimit};
             ::setrlimit(RLIMIT_FSIZE, &none);
         }},
        {"a full disk", true,
         [](const TempFolder& dir, const QString&) {
             // The day file ends at a page: the next line needs a page the disk no longer has.
             QFile filler(dir.Path("asrun/filler"));
             if (!filler.open(QIODevice::WriteOnly)) return false;
             const QByteArray page(4096, 'f');
             while (filler.write(page) == page.size() && filler.flush()) {
             }
             return true;
         },
         [](const TempFolder& dir, const QString&) { QFile::remove(dir.Path("asrun/filler")); }},
        {"a read-only folder", true,
         [](const TempFolder& dir, const QString&) { return Remount(dir.Path("asrun"), MS_RDONLY); },
         [](const TempFolder& dir, const QString&) { Remount(dir.Path("asrun"), 0); }},
    };
    return faults;
}

}  // namespace

TEST(AsRunLogFaults, TheLinesOfAFaultAreKeptAndWrittenInOrderOnceItIsMended) {
    for (const Fault& fault : Faults()) {
        SCOPED_TRACE(fault.name);
        TempFolder dir;
        dir.MakeFolder("asrun");
        if (fault.mounts && !(::geteuid() == 0 && Mount(dir.Path("asrun"), "size=64k"))) {
            std::printf("skipped \"%s\": mounting a small file system needs root\n", fault.name);
            continue;
        }
        // Whatever the outcome, the fault ends and the file system goes with the case.
        bool mended = false;
        const auto cleanUp = qScopeGuard([&] {
            if (!mended) fault.mend(dir, kDayFile);
            if (fault.mounts) ::umount2(dir.Path("asrun").toLocal8Bit().constData(), MNT_DETACH);
        });
        // One line already there, its length making the file end at a page.
        AsRunEvent first = Event(9);
        const int lineLength = FormatAsRunLine(first).toUtf8().size() + 1;
        first.Detail = QString(4096 - lineLength, 'p');
        const QByteArray before = (FormatAsRunLine(first) + '\n').toUtf8();
        ASSERT_EQ(before.size(), 4096);
        dir.Write(kDayFile, before);
        ASSERT_TRUE(fault.make(dir, kDayFile));

        Notices notices;
        {
            TAsRunLog log(dir.Path("asrun"), kToday, notices.Handler());
            for (int i = 0; i < 3; ++i) log.Write(Event(i, QString::number(i)));
            ASSERT_TRUE(log.WaitUntilWritten(10s));
            EXPECT_TRUE(log.Failing());
            ASSERT_EQ(notices.Said().size(), 1);
            EXPECT_TRUE(notices.Said()[0].startsWith("播出记录无法写入：")) << notices.Said()[0].toStdString();
            if (QFileInfo(dir.Path(kDayFile)).isFile()) {
                EXPECT_EQ(dir.Read(kDayFile), before) << "nothing, not even part of a line, went in";
            }

            fault.mend(dir, kDayFile);
            mended = true;
            log.Write(Event(3, "3"));
            ASSERT_TRUE(log.WaitUntilCaughtUp(10s));
            EXPECT_FALSE(log.Failing());
        }
        const QStringList lines = LinesOf(dir.Read(kDayFile));
        ASSERT_EQ(lines.size(), 7) << lines.join('\n').toStdString();
        EXPECT_EQ(lines[0], FormatAsRunLine(first));
        const auto error = ParseAsRunLine(lines[1]);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->Kind, AsRunEventKind::Error);
        EXPECT_EQ(error->Channel, kStationChannel);
        EXPECT_EQ(error->Detail, notices.Said()[0]);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(lines[2 + i], FormatAsRunLine(Event(i, QString::number(i))));
        const auto resume = ParseAsRunLine(lines[6]);
        ASSERT_TRUE(resume);
        EXPECT_EQ(resume->Kind, AsRunEventKind::Resume);
        EXPECT_EQ(resume->Detail, "播出记录恢复写入，已补写暂存的 4 行。");
        ASSERT_EQ(notices.Said().size(), 2);
        EXPECT_EQ(notices.Said()[1], resume->Detail);
    }
}

TEST(AsRunLogFaults, ALongFaultDropsTheOldestLinesAndSaysHowMany) {
    TempFolder dir;
    dir.Write("asrun");  // a file where the folder should be
    Notices notices;
    constexpr int kOver = 5;
    {
        TAsRunLog log(dir.Path("asrun"), kToday, notices.Handler());
        for (int i = 0; i < int(TAsRunLog::kMaxQueued) + kOver; ++i) log.Write(Event(i, QString::number(i)));
        ASSERT_TRUE(log.WaitUntilWritten(10s));
        ASSERT_TRUE(QFile::remove(dir.Path("asrun")));
        ASSERT_TRUE(log.WaitUntilCaughtUp(20s));
    }
    const QStringList lines = LinesOf(dir.Read(kDayFile));
    ASSERT_EQ(lines.size(), int(TAsRunLog::kMaxQueued) + 2);
    EXPECT_EQ(ParseAsRunLine(lines[0])->Kind, AsRunEventKind::Error);
    EXPECT_EQ(lines[1], FormatAsRunLine(Event(kOver, QString::number(kOver))));
    EXPECT_EQ(lines[lines.size() - 2], FormatAsRunLine(Event(int(TAsRunLog::kMaxQueued) + kOver - 1,
                                                             QString::number(int(TAsRunLog::kMaxQueued) + kOver - 1))));
    EXPECT_EQ(ParseAsRunLine(lines.last())->Detail,
              QString("播出记录恢复写入，已补写暂存的 %1 行；最早的 %2 行因暂存已满而丢失。").arg(TAsRunLog::kMaxQueued).arg(kOver));
}

// The writer of the next test, run by it as a process of its own and killed.
TEST(AsRunLogFaults, DISABLED_WriterKilledByTheNextTest) {
    const QByteArray folder = qgetenv("TESSORA_ASRUN_KILL_FOLDER");
    ASSERT_FALSE(folder.isEmpty());
    TAsRunLog log(QString::fromLocal8Bit(folder), kToday);
    for (int i = 0;; ++i) {
        log.Write(Event(i % 64, QString(200, QChar('x'))));
        if (i % 256 == 255) log.WaitUntilWritten(10s);
    }
}

TEST(AsRunLogFaults, KilledMidWayTheLogHoldsWholeLinesAndTheReportCountsAnyTornOne) {
    TempFolder dir;
    // The writer is this test program again, started with a plain fork and exec: ThreadSanitizer
    // follows fork, but not the way QProcess starts a child, after which it loses this process's
    // locks and reports races that are not there.
    const QByteArray program = QFile::encodeName(QFileInfo("/proc/self/exe").symLinkTarget());
    qputenv("TESSORA_ASRUN_KILL_FOLDER", QFile::encodeName(dir.Path("asrun")));
    const pid_t writer = fork();
    if (writer == 0) {
        execl(program.constData(), program.constData(), "--gtest_also_run_disabled_tests",
              "--gtest_filter=AsRunLogFaults.DISABLED_WriterKilledByTheNextTest", static_cast<char*>(nullptr));
        _exit(127);
    }
    qunsetenv("TESSORA_ASRUN_KILL_FOLDER");
    ASSERT_GT(writer, 0);
    for (int waited = 0; QFileInfo(dir.Path(kDayFile)).size() < 200000 && waited < 300; ++waited)
        QThread::msleep(100);
    ::kill(writer, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(writer, &status, 0), writer);
    ASSERT_GT(QFileInfo(dir.Path(kDayFile)).size(), 200000);

    // Only the line being written at the kill can be torn; a crash of the machine could leave
    // such a line too: one is made here, to be sure it is seen.
    const QStringList killed = QString::fromUtf8(dir.Read(kDayFile)).split('\n', Qt::SkipEmptyParts);
    int torn = 0;
    for (const QString& line : killed) torn += ParseAsRunLine(line) ? 0 : 1;
    EXPECT_LE(torn, 1);
    const bool endedWhole = dir.Read(kDayFile).endsWith('\n');
    QFile file(dir.Path(kDayFile));
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write(FormatAsRunLine(Event(1, "cut")).toUtf8().left(40));
    file.close();
    if (endedWhole) ++torn;  // else the torn last line just grew

    {
        TAsRunLog log(dir.Path("asrun"), kToday);
        log.Write(Event(5, "after"));
        ASSERT_TRUE(log.WaitUntilCaughtUp(10s));
    }
    const AsRunDay day = ReadAsRunDayFile(dir.Path("asrun"), kToday);
    EXPECT_EQ(day.DamagedLines, torn);
    ASSERT_FALSE(day.Events.empty());
    EXPECT_EQ(FormatAsRunLine(day.Events.back()), FormatAsRunLine(Event(5, "after")));
}
