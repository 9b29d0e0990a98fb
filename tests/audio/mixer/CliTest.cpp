// tessora-cli devices, probe and play on capturing virtual outputs.
#include "MixerTestSupport.h"
#include "SlowFile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace tessora {
namespace {

struct CliRun {
    int status = -1;
    QString out;
    QString err;
};

CliRun RunCli(const QStringList& args, const QString& captureDir, int devices = 3) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TESSORA_AUDIO", "capture:" + captureDir);
    env.insert("TESSORA_AUDIO_DEVICES", QString::number(devices));
    process.setProcessEnvironment(env);
    process.start(TESSORA_CLI, args);
    EXPECT_TRUE(process.waitForFinished(60000));
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

TEST(CliAudio, DevicesListsTheOutputsInIndexOrder) {
    QTemporaryDir captures;
    const CliRun run = RunCli({"devices"}, captures.path());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "0\tVirtual output 1\n1\tVirtual output 2\n2\tVirtual output 3\n");
    // As many as a large station needs; a number beyond the limit is refused, not replaced.
    const CliRun many = RunCli({"devices"}, captures.path(), 300);
    EXPECT_EQ(many.status, 0);
    EXPECT_EQ(many.out.count('\n'), 300);
    EXPECT_TRUE(many.out.endsWith("299\tVirtual output 300\n"));
    const CliRun tooMany = RunCli({"devices"}, captures.path(), 5000);
    EXPECT_EQ(tooMany.status, 2);
    EXPECT_EQ(tooMany.err, "tessora: TESSORA_AUDIO_DEVICES=5000 is not a number of virtual outputs from 1 to 1024\n");
    EXPECT_TRUE(tooMany.out.isEmpty());
}

TEST(CliAudio, AFileThatWouldBlockFailsInsteadOfHanging) {
    QTemporaryDir captures;
    const QString fifo = captures.filePath("fifo.wav");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const CliRun pipe = RunCli({"probe", fifo}, captures.path());
    EXPECT_EQ(pipe.status, 1);
    EXPECT_EQ(pipe.err, "tessora-cli: Not a regular file: a pipe (FIFO) cannot be played.\n");

    test::SlowFile slow(test::WriteCounterWav("cli-slow-source.wav", 4410), captures.filePath("slow.wav"));
    if (!slow.Held()) GTEST_SKIP() << "this file system gives no leases";
    for (const QString& command : {"probe", "play"}) {
        QElapsedTimer timer;
        timer.start();
        const CliRun run = RunCli({command, captures.filePath("slow.wav")}, captures.path());
        EXPECT_EQ(run.status, 1) << command.toStdString();
        EXPECT_EQ(run.err, "tessora-cli: The file did not open within 5 seconds.\n");
        EXPECT_LT(timer.elapsed(), TSoundMixerChannel::kOpenTimeoutMs + 3000);
    }
}

TEST(CliAudio, ProbeReportsTheFormatAndLength) {
    QTemporaryDir captures;
    const QString mono = test::WriteWav("probe-mono.wav", 11025, 22050, 1, 8, [](uint32_t) { return 0x80; });
    const CliRun run = RunCli({"probe", mono}, captures.path());
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "22050\t1\t8\t500\n");
}

TEST(CliAudio, PlayPrintsPositionsThenTheEndAndTheSoundReachesTheChosenOutput) {
    QTemporaryDir captures;
    const QString file = test::WriteCounterWav("cli-play.wav", 44100);
    const CliRun run = RunCli({"play", file, "--device", "2", "--volume", "0"}, captures.path());
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines.last(), "end");
    for (int i = 0; i + 1 < lines.size(); ++i) {
        ASSERT_TRUE(lines[i].startsWith("pos\t")) << lines[i].toStdString();
        bool ok = false;
        const int ms = lines[i].mid(4).toInt(&ok);
        EXPECT_TRUE(ok && ms >= 0 && ms <= 1000) << lines[i].toStdString();
    }
    const auto runs = test::CounterRuns(test::HeardCounter(test::ReadCapture(2, captures.path())));
    EXPECT_EQ(runs, (std::vector<std::pair<int64_t, int64_t>>{{0, 44099}}));
}

TEST(CliAudio, PlayStopsAfterTheGivenSeconds) {
    QTemporaryDir captures;
    const QString file = test::WriteCounterWav("cli-loop.wav", 44100);
    const CliRun run = RunCli({"play", file, "--loop", "--seconds", "1.5"}, captures.path());
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines.last(), "stopped");
    EXPECT_FALSE(lines.contains("end"));
}

TEST(CliAudio, ErrorsAreOneLineOnStderrWithStatusOne) {
    QTemporaryDir captures;
    const QString file = test::WriteCounterWav("cli-errors.wav", 4410);
    const struct {
        QStringList args;
        QString message;
    } cases[] = {
        {{"play", file, "--device", "3"}, "tessora-cli: there is no output 3; see tessora-cli devices\n"},
        {{"play", file, "--volume", "10"}, "tessora-cli: --volume wants a whole number from -10000 to 0, not \"10\"\n"},
        {{"play", file, "--seconds", "0"}, "tessora-cli: --seconds wants a positive number, not \"0\"\n"},
        {{"play", file, "--speed"}, "tessora-cli: unknown option --speed\n"},
        {{"probe"}, "tessora-cli: usage: tessora-cli probe FILE\n"},
        {{"devices", "x"}, "tessora-cli: devices takes no arguments\n"},
    };
    for (const auto& c : cases) {
        const CliRun run = RunCli(c.args, captures.path());
        EXPECT_EQ(run.status, 1) << c.args.join(' ').toStdString();
        EXPECT_EQ(run.err, c.message);
        EXPECT_TRUE(run.out.isEmpty());
    }
    const CliRun missing = RunCli({"probe", captures.path() + "/missing.wav"}, captures.path());
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.startsWith("tessora-cli: ")) << missing.err.toStdString();
    EXPECT_EQ(missing.err.count('\n'), 1);
}

}  // namespace
}  // namespace tessora
