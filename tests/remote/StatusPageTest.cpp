// The status page in a real browser against the real station: tessora on capture outputs with
// its HTTP server on, a token made by tessora-cli, and headless Chromium driven by
// status_page.py. The screenshots land in TESSORA_SCREENSHOTS when set (the README's come so).
#include "PlayList.h"
#include "StationRun.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <gtest/gtest.h>

namespace tessora {
namespace {

quint16 FreePort() {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

bool Answers(quint16 port, int ms) {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < ms) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (socket.waitForConnected(500)) return true;
        QThread::msleep(200);
    }
    return false;
}

// The TCP sockets a process listens on, as "address:port" in /proc/net's hex notation turned
// into text: only those whose inode is among the process's open files.
QStringList ListeningSockets(qint64 pid) {
    QSet<QString> inodes;
    for (const QFileInfo& fd : QDir(QString("/proc/%1/fd").arg(pid)).entryInfoList(QDir::Files | QDir::System)) {
        const QString target = fd.symLinkTarget().section('/', -1);
        if (target.startsWith("socket:[")) inodes << target.mid(8).chopped(1);
    }
    QStringList listening;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile file(table);
        if (!file.open(QIODevice::ReadOnly)) continue;
        for (const QByteArray& line : file.readAll().split('\n').mid(1)) {
            const QList<QByteArray> f = line.simplified().split(' ');
            if (f.size() < 10 || f[3] != "0A" || !inodes.contains(QString::fromLatin1(f[9]))) continue;
            const QList<QByteArray> local = f[1].split(':');
            const QByteArray hex = local[0];
            QString address;
            if (hex.size() == 8) {
                const quint32 raw = hex.toUInt(nullptr, 16);  // little-endian in the table
                address = QString("%1.%2.%3.%4").arg(raw & 0xff).arg((raw >> 8) & 0xff).arg((raw >> 16) & 0xff).arg(raw >> 24);
            } else {
                address = QString::fromLatin1(hex);
            }
            listening << address + ':' + QString::number(local[1].toUInt(nullptr, 16));
        }
    }
    return listening;
}

struct Timed {
    QString title;
    QTime from, to;
    QString file;
};

QString DayList(const QString& folder, const QString& name, const std::vector<Timed>& items) {
    TPlayList list;
    for (const Timed& t : items) {
        PlayItem item;
        item.Index = int32_t(list.Items.size() + 1);
        item.Title = t.title;
        item.StartTime = double(t.from.msecsSinceStartOfDay()) / 86400000.0;
        item.EndTime = double(t.to.msecsSinceStartOfDay()) / 86400000.0;
        item.Kind = KindFile;
        item.Source = folder + t.file;
        item.Loop = 1;
        list.Items.push_back(item);
    }
    return list.SaveToFile(folder + name);
}

TEST(StatusPage, ShowsEveryChannelAndAnItemStartingWithinTwoSeconds) {
    if (QStandardPaths::findExecutable("chromium").isEmpty()) GTEST_SKIP() << "no chromium";
    const QTime now = QTime::currentTime();
    if (now < QTime(0, 3) || now > QTime(23, 50)) GTEST_SKIP() << "too close to midnight for a day list";
    StationRun run(TESSORA_PROGRAM, TESSORA_CLI);
    ASSERT_TRUE(run.Ready());
    const QString folder = run.Folder();
    ASSERT_TRUE(run.MakeTone("tone.wav", 440, 3));
    ASSERT_TRUE(run.MakeTone("bell.wav", 660, 3));
    // 一号 plays already and has an item to come; 二号's item starts 12 s after the program does;
    // 三号's item names a file that is not there, which the pre-flight check finds.
    const int64_t startMs = QDateTime::currentMSecsSinceEpoch() + 12000;
    const QTime start = QDateTime::fromMSecsSinceEpoch(startMs).time();
    const QString one = DayList(folder, "one", {{"升旗", now.addSecs(-60), now.addSecs(300), "tone.wav"},
                                                {"眼保健操", now.addSecs(1200), now.addSecs(1500), "tone.wav"}});
    const QString two = DayList(folder, "two", {{"早操", start, start.addSecs(120), "bell.wav"}});
    const QString three = DayList(folder, "three", {{"午休", now.addSecs(900), now.addSecs(960), "missing.mp3"}});
    ASSERT_TRUE(run.Cli({"make-channels", folder + "tessora.cfg"},
                        QString("一号\t1\t0\t0\t0\t%1\t\n二号\t2\t0\t0\t0\t%2\t\n三号\t3\t0\t0\t0\t%3\t\n").arg(one, two, three)));
    const quint16 port = FreePort();
    ASSERT_NE(port, 0);
    QFile ini(folder + "Tessora.ini");
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(QString("[Remote]\nEnabled=1\nAddress=127.0.0.1\nPort=%1\n").arg(port).toLatin1());
    ini.close();
    QProcess cli;
    cli.start(folder + "tessora-cli", {"token", folder, "add", "page", "status"});
    ASSERT_TRUE(cli.waitForFinished(30000));
    const QString token = QString::fromLatin1(cli.readAllStandardOutput()).trimmed();
    ASSERT_EQ(token.size(), 43);

    ASSERT_TRUE(run.Start(4));
    ASSERT_TRUE(Answers(port, 30000)) << "the station's HTTP server does not answer";
    // The one address the settings name, and no other socket listening.
    EXPECT_EQ(ListeningSockets(run.Pid()), QStringList{QString("127.0.0.1:%1").arg(port)});
    const QString shots = qEnvironmentVariable("TESSORA_SCREENSHOTS", folder);
    QProcess page;
    page.setProcessChannelMode(QProcess::ForwardedChannels);
    page.start("python3", {TESSORA_PAGE_SCRIPT, QString("http://127.0.0.1:%1/").arg(port), token, "一号,二号,三号", "1",
                           "二号-早操", QString::number(startMs), shots + "/status-page.png", shots + "/status-page-phone.png"});
    ASSERT_TRUE(page.waitForFinished(120000));
    EXPECT_EQ(page.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(page.exitCode(), 0);
    EXPECT_TRUE(run.Terminate());
}

}  // namespace
}  // namespace tessora
