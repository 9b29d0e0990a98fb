// Plays one file, looping, on N mixer channels at once, one mixer on an output of its own per
// channel (as stations are deployed), on the outputs TESSORA_AUDIO selects (by default N virtual
// outputs that discard the sound), for S seconds. Prints the process's CPU time and memory per
// playing channel, how late the virtual outputs' clock thread woke up, and whether any channel
// stopped or came close to running dry (less than a second of its four seconds of sound ready
// ahead of the play cursor). With --peer it then plays the same file in N peer processes (mpv
// when installed, otherwise ffmpeg paced in real time) for as long and prints theirs alongside.
// Usage: channel_bench CHANNELS SECONDS FILE [--peer]
#include "SoundMixer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

using namespace tessora;

namespace {

double CpuSecondsOfSelf() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// CPU seconds of a process so far, from /proc.
double CpuSecondsOf(qint64 pid) {
    QFile stat(QString("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return 0;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return double(fields.value(11).toLongLong() + fields.value(12).toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

// Resident memory of a process in KiB, from /proc (0 for this process's own with pid 0): all
// of it ("VmRSS"), or its private memory alone ("RssAnon"), leaving out the pages of shared
// libraries, which the first channel's decoder touches once for every channel.
double ResidentKiB(qint64 pid = 0, const QByteArray& field = "VmRSS") {
    QFile status(pid ? QString("/proc/%1/status").arg(pid) : QString("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field + ":")) return line.mid(field.size() + 1).trimmed().split(' ').value(0).toDouble();
    return 0;
}

struct Figures {
    double cpuPercentPerChannel = 0;  // of one core
    double mibPerChannel = 0;
};

// N peer players of the file for `seconds`; their CPU share and memory per process.
Figures RunPeers(int count, double seconds, const QString& file, QString& name) {
    const bool mpv = !QStandardPaths::findExecutable("mpv").isEmpty();
    name = mpv ? "mpv" : "ffmpeg -re";
    const QStringList args = mpv ? QStringList{"--no-video", "--ao=null", "--loop=inf", "--really-quiet", file}
                                 : QStringList{"-nostdin", "-loglevel", "error", "-re", "-stream_loop", "-1", "-i",
                                               file, "-f", "null", "-"};
    std::vector<std::unique_ptr<QProcess>> peers;
    for (int i = 0; i < count; ++i) {
        peers.push_back(std::make_unique<QProcess>());
        peers.back()->start(mpv ? "mpv" : "ffmpeg", args);
        peers.back()->waitForStarted(5000);
    }
    QThread::msleep(1000);  // past their start
    std::vector<double> before;
    for (auto& p : peers) before.push_back(CpuSecondsOf(p->processId()));
    QElapsedTimer wall;
    wall.start();
    QThread::msleep(static_cast<unsigned long>(seconds * 1000));
    double cpu = 0, kib = 0;
    for (size_t i = 0; i < peers.size(); ++i) {
        cpu += CpuSecondsOf(peers[i]->processId()) - before[i];
        kib += ResidentKiB(peers[i]->processId());
    }
    const double elapsed = double(wall.elapsed()) / 1000;
    for (auto& p : peers) {
        p->kill();
        p->waitForFinished(5000);
    }
    return {100.0 * cpu / elapsed / count, kib / 1024 / count};
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool peer = args.removeAll("--peer") > 0;
    QTextStream out(stdout);
    if (args.size() != 3) {
        QTextStream(stderr) << "usage: channel_bench CHANNELS SECONDS FILE [--peer]\n";
        return 2;
    }
    const int count = args[0].toInt();
    const double seconds = args[1].toDouble();
    // One output per channel, unless the caller chose otherwise.
    if (!qEnvironmentVariableIsSet("TESSORA_AUDIO")) qputenv("TESSORA_AUDIO", "null");
    if (!qEnvironmentVariableIsSet("TESSORA_AUDIO_DEVICES")) qputenv("TESSORA_AUDIO_DEVICES", QByteArray::number(count));
    TSoundMixer::DeviceCount();  // the outputs are listed before the baseline is taken
    const double baseKiB = ResidentKiB();
    const double baseAnonKiB = ResidentKiB(0, "RssAnon");
    std::vector<std::unique_ptr<TSoundMixer>> mixers;
    std::vector<TSoundMixerChannel*> channels;
    try {
        for (int i = 0; i < count; ++i) {
            auto mixer = std::make_unique<TSoundMixer>();
            mixer->SetDeviceIndex(i % TSoundMixer::DeviceCount());
            auto* channel = new TSoundMixerChannel(mixer.get());
            channel->Open(args[2]);
            channel->SetLoop(true);
            channel->Play();
            channel->SetVolume(-600);
            channels.push_back(channel);
            mixers.push_back(std::move(mixer));
        }
    } catch (const std::exception& e) {
        QTextStream(stderr) << "channel_bench: " << e.what() << "\n";
        return 1;
    }

    // The sound ready ahead of the play cursor, looked at the way the level meters look at it.
    double leastLeadMs = 1e9;
    int stoppedChannels = 0;
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout, [&] {
        for (auto* channel : channels) {
            const TPlayingData lent = channel->GetPlayingData(0, channel->BufferSize());
            channel->ReleasePlayingData();
            const uint32_t bytesPerSecond = channel->SampleRate() * channel->BlockAlign();
            if (lent.Length1 + lent.Length2 > 0)
                leastLeadMs = std::min(leastLeadMs, 1000.0 * (lent.Length1 + lent.Length2) / bytesPerSecond);
        }
    });
    sample.start(500);
    // CPU is counted from one second in, past the first fills.
    double cpuBefore = 0;
    QElapsedTimer wall;
    QTimer::singleShot(1000, [&] {
        cpuBefore = CpuSecondsOfSelf();
        wall.start();
    });
    double cpuSeconds = 0, elapsed = 0, kib = 0, anonKiB = 0;
    QTimer::singleShot(int(seconds * 1000) + 1000, [&] {
        cpuSeconds = CpuSecondsOfSelf() - cpuBefore;
        elapsed = double(wall.elapsed()) / 1000;
        kib = ResidentKiB() - baseKiB;
        anonKiB = ResidentKiB(0, "RssAnon") - baseAnonKiB;
        for (auto* channel : channels)
            if (channel->State() != TSoundMixerChannel::Playing) ++stoppedChannels;
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    mixers.clear();
    const VirtualOutputTiming timing = VirtualOutputTimingSoFar();
    const bool dry = stoppedChannels > 0 || leastLeadMs < 1000;
    const double cpuPerChannel = 100.0 * cpuSeconds / elapsed / count;
    const double mibPerChannel = kib / 1024 / count;
    out << "channels\t" << count << "\n"
        << "outputs\t" << TSoundMixer::DeviceCount() << "\n"
        << "CPU per playing channel, % of a core\t" << QString::number(cpuPerChannel, 'f', 3) << "\n"
        << "memory per playing channel, MiB\t" << QString::number(mibPerChannel, 'f', 2) << "\n"
        << "private memory per playing channel, MiB\t" << QString::number(anonKiB / 1024 / count, 'f', 2) << "\n"
        << "late output wake-ups\t" << timing.latePeriods << "\n"
        << "latest output wake-up ms\t" << timing.maxLateMs << "\n"
        << "stopped channels\t" << stoppedChannels << "\n"
        << "least lead ms\t" << qRound(leastLeadMs) << "\n"
        << "ran dry\t" << (dry ? "yes" : "no") << "\n";
    if (peer) {
        QString name;
        const Figures peers = RunPeers(count, seconds, args[2], name);
        out << "peer\t" << name << "\n"
            << "peer CPU per process, % of a core\t" << QString::number(peers.cpuPercentPerChannel, 'f', 3) << "\n"
            << "peer memory per process, MiB\t" << QString::number(peers.mibPerChannel, 'f', 2) << "\n"
            << "CPU ratio (channel / peer)\t" << QString::number(cpuPerChannel / peers.cpuPercentPerChannel, 'f', 3)
            << "\n";
    }
    return 0;
}
