// The real outputs through SDL, against a private PipeWire with two null sinks: both are
// listed, the sound played on the chosen one reaches that one only, and removing that sink
// while it plays stops the channel with a clear message.
#include "MixerTestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace tessora {
namespace {

QString ReadText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

TEST(SdlOutput, ListsBothPipeWireSinksAndPlaysOnTheChosenOne) {
    for (const char* program : {"dbus-run-session", "pipewire", "wireplumber", "pipewire-pulse", "pactl", "parecord",
                                "sox"}) {
        if (QStandardPaths::findExecutable(program).isEmpty()) GTEST_SKIP() << program << " is not installed";
    }
    QTemporaryDir out;
    ASSERT_TRUE(out.isValid());
    const QString tone = test::WriteWav("sdl-tone.wav", 44100, 44100, 2, 16, [](uint32_t n) {
        return int(std::lround(16000 * std::sin(2 * M_PI * 440.0 * (n / 2) / 44100)));
    });
    QProcess session;
    session.setProcessChannelMode(QProcess::ForwardedChannels);
    session.start("dbus-run-session", {"--", "bash", TESSORA_PIPEWIRE_SCRIPT, TESSORA_CLI, tone, out.path()});
    ASSERT_TRUE(session.waitForStarted());
    if (!session.waitForFinished(90000)) {
        session.kill();
        session.waitForFinished();
        FAIL() << "the PipeWire session did not finish";
    }
    const QDir dir(out.path());
    ASSERT_EQ(session.exitCode(), 0) << ReadText(dir.filePath("devices.txt")).toStdString()
                                     << ReadText(dir.filePath("devices.err")).toStdString();

    const QStringList devices = ReadText(dir.filePath("devices.txt")).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(devices.size(), 3);
    EXPECT_EQ(devices[0], "0\tDefault output");
    EXPECT_EQ(devices.filter("\tTessoraSinkA").size(), 1);
    EXPECT_EQ(devices.filter("\tTessoraSinkB").size(), 1);

    const QString play = ReadText(dir.filePath("play.txt"));
    EXPECT_TRUE(play.startsWith("pos\t")) << play.toStdString();
    EXPECT_TRUE(play.endsWith("stopped\n")) << play.toStdString() << ReadText(dir.filePath("play.err")).toStdString()
                                            << "status " << ReadText(dir.filePath("play-status.txt")).toStdString();
    EXPECT_TRUE(ReadText(dir.filePath("inputs.txt")).contains("44100Hz")) << "no stream while playing";

    bool okA = false, okB = false;
    const double peakA = ReadText(dir.filePath("peak-a.txt")).trimmed().toDouble(&okA);
    const double peakB = ReadText(dir.filePath("peak-b.txt")).trimmed().toDouble(&okB);
    ASSERT_TRUE(okA && okB) << "no recording of the sinks";
    EXPECT_GT(peakB, 0.3) << "the tone did not reach the chosen sink";
    EXPECT_LT(peakA, 0.01) << "the tone reached the other sink";

    EXPECT_EQ(ReadText(dir.filePath("unplug-status.txt")).trimmed(), "1");
    EXPECT_EQ(ReadText(dir.filePath("unplug.err")).trimmed(), "tessora-cli: the output device went away");
}

}  // namespace
}  // namespace tessora
