// An atomic save: the file is replaced whole, keeps its permissions and a link to it, and a
// temporary file that a crashed save left beside it goes at the next save of the same file,
// never anything else.
#include "FileError.h"

#include "TempFolder.h"

#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tessora;

TEST(AtomicSave, ReplacesTheWholeFileKeepingItsPermissionsAndALinkToIt) {
    TempFolder dir;
    const QString path = dir.Write("OUT.lst", "old contents, longer than the new");
    ASSERT_EQ(::chmod(path.toLocal8Bit().constData(), 0640), 0);
    WriteFileAtomically(path, "new");
    EXPECT_EQ(dir.Read("OUT.lst"), "new");
    struct stat info {};
    ASSERT_EQ(::stat(path.toLocal8Bit().constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    ASSERT_TRUE(QFile::link(path, dir.Path("link.lst")));
    WriteFileAtomically(dir.Path("link.lst"), "through the link");
    EXPECT_TRUE(QFileInfo(dir.Path("link.lst")).isSymLink());
    EXPECT_EQ(dir.Read("OUT.lst"), "through the link");
    EXPECT_EQ(dir.Entries(), (QStringList{"link.lst", "OUT.lst"}));
}

TEST(AtomicSave, ALeftoverOfACrashedSaveOfTheSameFileGoesAndNothingElse) {
    TempFolder dir;
    const QString path = dir.Write("OUT.lst", "old");
    dir.Write("OUT.lst.tessora-save-xHgkv1", "half a list");  // what a killed save leaves
    dir.Write(".OUT.lst.tessora-save-Zz09aB", "x");           // not this file's name
    const QStringList kept = {"OTHER.lst.tessora-save-xHgkv1",  // another file's
                              "OUT.lst.tessora-save-abc",       // not six letters or digits
                              "OUT.lst.tessora-save-abcdefg",
                              "OUT.lst.tessora-save-ab_def",
                              "OUT.lst.tessora-save-abcdef.txt",
                              "OUT.lst.backup",                 // the operator's own
                              "OUT.lst.xHgkvf"};
    for (const QString& name : kept) dir.Write(name, "keep me");
    dir.MakeFolder("OUT.lst.tessora-save-folder");  // not a regular file
    ASSERT_EQ(::mkfifo(dir.Path("OUT.lst.tessora-save-pipe01").toLocal8Bit().constData(), 0600), 0);
    // A save still being written, by another process: its lock is held.
    const QString busy = dir.Write("OUT.lst.tessora-save-Busy42", "being written");
    const int busyFd = ::open(busy.toLocal8Bit().constData(), O_RDONLY);
    ASSERT_GE(busyFd, 0);
    ASSERT_EQ(::flock(busyFd, LOCK_EX), 0);

    WriteFileAtomically(path, "new");
    ::close(busyFd);

    EXPECT_EQ(dir.Read("OUT.lst"), "new");
    EXPECT_FALSE(QFileInfo::exists(dir.Path("OUT.lst.tessora-save-xHgkv1")));
    for (const QString& name : kept) EXPECT_EQ(dir.Read(name), "keep me") << name.toStdString();
    EXPECT_TRUE(QFileInfo::exists(dir.Path(".OUT.lst.tessora-save-Zz09aB")));
    EXPECT_TRUE(QFileInfo(dir.Path("OUT.lst.tessora-save-folder")).isDir());
    EXPECT_TRUE(QFileInfo::exists(dir.Path("OUT.lst.tessora-save-pipe01")));
    EXPECT_EQ(dir.Read("OUT.lst.tessora-save-Busy42"), "being written");
    EXPECT_EQ(dir.Entries().filter(QRegularExpression(R"(^OUT\.lst\.tessora-save-[A-Za-z0-9]{6}$)")),
              (QStringList{"OUT.lst.tessora-save-Busy42", "OUT.lst.tessora-save-folder"}))
        << "the save leaves no file of its own";
}

TEST(AtomicSave, AFailedSaveLeavesTheOldFileAndNoTemporaryOne) {
    TempFolder dir;
    const QString path = dir.Write("OUT.lst", "old");
    dir.MakeFolder("gone");
    EXPECT_THROW(WriteFileAtomically(dir.Path("gone/missing/OUT.lst"), "new"), EFileError);
    EXPECT_THROW(WriteFileAtomically(dir.Path("gone"), "new"), EFileError);
    EXPECT_EQ(dir.Read("OUT.lst"), "old");
    EXPECT_EQ(dir.Entries(), (QStringList{"gone", "OUT.lst"}));
}

// The save of the next test, run by it as a process of its own and killed while it writes.
TEST(AtomicSave, DISABLED_SaveKilledByTheNextTest) {
    const QString path = qEnvironmentVariable("TESSORA_SAVE_KILL_FILE");
    ASSERT_FALSE(path.isEmpty());
    const QByteArray big(64 * 1024 * 1024, 'x');
    for (;;) WriteFileAtomically(path, big);
}

TEST(AtomicSave, ASaveKilledMidWayLeavesTheOldFileAndTheNextSaveRemovesItsTemporaryFile) {
    TempFolder dir;
    const QString path = dir.Write("OUT.lst", "old");
    dir.Write("OUT.lst.backup", "keep me");
    QProcess saver;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TESSORA_SAVE_KILL_FILE", path);
    saver.setProcessEnvironment(environment);
    saver.start(QFileInfo("/proc/self/exe").symLinkTarget(),
                {"--gtest_also_run_disabled_tests", "--gtest_filter=AtomicSave.DISABLED_SaveKilledByTheNextTest"});
    ASSERT_TRUE(saver.waitForStarted(10000));
    const auto temporary = [&] { return dir.Entries().filter(QRegularExpression(R"(^OUT\.lst\.tessora-save-)")); };
    for (int waited = 0; temporary().isEmpty() && waited < 3000; ++waited) QThread::msleep(10);
    saver.kill();  // SIGKILL, mid-way through writing
    ASSERT_TRUE(saver.waitForFinished(10000));
    ASSERT_EQ(temporary().size(), 1) << "the killed save left its temporary file";
    EXPECT_EQ(dir.Read("OUT.lst"), "old");

    WriteFileAtomically(path, "new");
    EXPECT_EQ(dir.Read("OUT.lst"), "new");
    EXPECT_EQ(dir.Entries(), (QStringList{"OUT.lst", "OUT.lst.backup"}));
    EXPECT_EQ(dir.Read("OUT.lst.backup"), "keep me");
}
