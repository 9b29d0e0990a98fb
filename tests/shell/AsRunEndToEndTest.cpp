// The real program on capture outputs: what its as-run log says it sounded, and what
// tessora-cli report makes of it.
#include "StationRun.h"

#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>

using namespace tessora;

namespace {

// The log's lines as fields.
std::vector<QStringList> LogLines(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    std::vector<QStringList> lines;
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)) lines.push_back(line.split('\t'));
    return lines;
}

// The first line of `event` on `channel` for `item` (empty: any), or nothing.
const QStringList* Find(const std::vector<QStringList>& lines, const QString& channel, const QString& event,
                        const QString& item = QString()) {
    for (const QStringList& f : lines)
        if (f.size() == 8 && f[1] == channel && f[3] == event && (item.isEmpty() || f[4] == item)) return &f;
    return nullptr;
}

}  // namespace

TEST(Station, ItsAsRunLogAndReportSayWhatSounded) {
    StationRun station(TESSORA_PROGRAM, TESSORA_CLI);
    ASSERT_TRUE(station.Ready());
    const QString folder = station.Folder();
    ASSERT_TRUE(station.MakeTone("a440.wav", 440, 3));
    ASSERT_TRUE(StationRun::RunTool("sox", {"-D", "-q", "-n", "-r", "44100", "-c", "2", "-b", "16", folder + "silence.wav", "trim", "0", "2"}));

    const QDateTime t0 = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() + 5);
    if (t0.addSecs(30).date() != t0.date()) GTEST_SKIP() << "too close to midnight for a day list";
    const auto at = [&](int s) { return t0.addSecs(s).toString("hh:mm:ss"); };
    const QString one = QString("bell\t%1\t%2\tfile\t%3\t0\t0\n").arg(at(0), at(6), folder + "a440.wav") +
                        QString("quiet\t%1\t%2\tfile\t%3\t0\t0\n").arg(at(7), at(11), folder + "silence.wav");
    const QString two = QString("gone\t%1\t%2\tfile\t%3\t0\t0\n").arg(at(0), at(5), folder + "missing.wav");
    ASSERT_TRUE(station.MakeTwoChannels(one, two));

    ASSERT_TRUE(station.Start(4));
    while (QDateTime::currentDateTime() < t0.addSecs(13)) QThread::msleep(200);
    ASSERT_TRUE(station.Terminate());

    const QString date = t0.date().toString("yyyy-MM-dd");
    const auto lines = LogLines(folder + "asrun/" + date + ".tsv");
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.front().value(3), "startup");
    EXPECT_EQ(lines.front().value(1), "-1");
    EXPECT_EQ(lines.back().value(3), "exit");

    // The day's check at start: the missing file, before anything sounds.
    const auto checked = std::find_if(lines.begin(), lines.end(), [](const QStringList& f) {
        return f.value(1) == "1" && f.value(3) == "error" && f.value(4) == "1" && f.value(7).startsWith("file-missing: ");
    });
    ASSERT_NE(checked, lines.end()) << "the day's check did not name the missing file";
    const QStringList* firstStart = Find(lines, "0", "start");
    ASSERT_TRUE(firstStart);
    EXPECT_LT(checked->value(0), firstStart->value(0)) << "the check comes before the day's first sound";

    // The bell: started within moments of its start time, ended with a level heard.
    const QStringList* bell = Find(lines, "0", "start", "1");
    ASSERT_TRUE(bell) << "the bell never started";
    bool isNumber = false;
    const int delay = bell->value(7).toInt(&isNumber);
    EXPECT_TRUE(isNumber && delay >= 0 && delay <= 1500) << bell->value(7).toStdString();
    EXPECT_EQ(bell->value(5), "bell");
    const QStringList* bellEnd = Find(lines, "0", "end", "1");
    ASSERT_TRUE(bellEnd) << "the bell never ended";
    EXPECT_GT(bellEnd->value(7).toInt(), 0) << "a tone ends with the peak it was heard at";
    // The silent file: it ended, and nothing was heard.
    const QStringList* quietEnd = Find(lines, "0", "end", "2");
    ASSERT_TRUE(quietEnd) << "the silent file never ended";
    EXPECT_EQ(quietEnd->value(7), "0");

    QProcess cli;
    cli.start(folder + "tessora-cli", {"report", folder, date});
    ASSERT_TRUE(cli.waitForFinished(30000));
    EXPECT_EQ(cli.exitCode(), 0);
    const QStringList report = QString::fromUtf8(cli.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(report.size(), 4) << report.join('\n').toStdString();
    EXPECT_TRUE(report[0].startsWith("0\t一号\t1\tbell\t" + at(0) + "\t" + at(6) + "\t")) << report[0].toStdString();
    EXPECT_FALSE(report[0].contains("missed"));
    EXPECT_TRUE(report[1].startsWith("0\t一号\t2\tquiet\t")) << report[1].toStdString();
    EXPECT_EQ(report[2], "1\t二号\t1\tgone\t" + at(0) + "\t" + at(5) + "\tmissed\t");
    EXPECT_EQ(report[3], "total\t3\theard\t2\tmissed\t1\tpending\t0");
}
