// Plays one file, looping, on N mixer channels at once (one mixer per channel, as the station
// does), on the outputs TESSORA_AUDIO selects, for S seconds; then tells how late the virtual
// outputs' clock thread woke up, and whether any channel stopped or came close to running dry
// (less than a second of its four seconds of sound ready ahead of the play cursor).
// Usage: channel_bench CHANNELS SECONDS FILE
#include "SoundMixer.h"

#include <QCoreApplication>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <vector>

using namespace tessora;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QTextStream out(stdout);
    if (args.size() != 3) {
        QTextStream(stderr) << "usage: channel_bench CHANNELS SECONDS FILE\n";
        return 2;
    }
    const int count = args[0].toInt();
    const double seconds = args[1].toDouble();
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
    sample.start(100);
    QTimer::singleShot(int(seconds * 1000), [&] {
        for (auto* channel : channels)
            if (channel->State() != TSoundMixerChannel::Playing) ++stoppedChannels;
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    const VirtualOutputTiming timing = VirtualOutputTimingSoFar();
    const bool dry = stoppedChannels > 0 || leastLeadMs < 1000;
    out << "channels\t" << count << "\n"
        << "late output wake-ups\t" << timing.latePeriods << "\n"
        << "latest output wake-up ms\t" << timing.maxLateMs << "\n"
        << "stopped channels\t" << stoppedChannels << "\n"
        << "least lead ms\t" << qRound(leastLeadMs) << "\n"
        << "ran dry\t" << (dry ? "yes" : "no") << "\n";
    return 0;
}
