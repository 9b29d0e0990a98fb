#include "AudioOutput.h"

#include <QTextStream>
#include <QtGlobal>

#include <algorithm>
#include <cstdlib>
#include <functional>

namespace tessora {

namespace {

constexpr int kDefaultVirtualDevices = 4;
constexpr int kMaxVirtualDevices = 1024;
constexpr int kMaxWaitSeconds = 3600;
int defaultWaitSeconds = 120;

// The whole number in environment variable `name` when it lies in [low, high]; `unset` when the
// variable is not set; what `invalid` gives when it is anything else.
int NumberFromEnvironment(const char* name, int low, int high, int unset, const std::function<int()>& invalid) {
    if (!qEnvironmentVariableIsSet(name)) return unset;
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value >= low && value <= high ? value : invalid();
}

int VirtualDeviceCount() {
    return NumberFromEnvironment("TESSORA_AUDIO_DEVICES", 1, kMaxVirtualDevices, kDefaultVirtualDevices, []() -> int {
        // A run on fewer outputs than asked would measure or test something else: it does not start.
        QTextStream(stderr) << "tessora: TESSORA_AUDIO_DEVICES=" << qEnvironmentVariable("TESSORA_AUDIO_DEVICES")
                            << " is not a number of virtual outputs from 1 to " << kMaxVirtualDevices << "\n";
        std::exit(2);
    });
}

// How long to wait for a sound server that is not up yet.
int WaitSeconds() {
    return NumberFromEnvironment("TESSORA_AUDIO_WAIT", 0, kMaxWaitSeconds, defaultWaitSeconds, [] {
        QTextStream(stderr) << "tessora: TESSORA_AUDIO_WAIT=" << qEnvironmentVariable("TESSORA_AUDIO_WAIT")
                            << " is not a number of seconds from 0 to " << kMaxWaitSeconds << "; waiting "
                            << defaultWaitSeconds << " s\n";
        return defaultWaitSeconds;
    });
}

void ReportDiscarding() {
    QTextStream(stderr) << "tessora: no sound output found; playing to " << VirtualDeviceCount()
                        << " virtual outputs that discard the sound\n";
}

std::unique_ptr<AudioOutput> OutputFromEnvironment() {
    const QString mode = qEnvironmentVariable("TESSORA_AUDIO");
    if (mode == "null") return MakeVirtualOutput(VirtualDeviceCount(), QString());
    if (mode.startsWith("capture:") && mode.size() > 8) return MakeVirtualOutput(VirtualDeviceCount(), mode.mid(8));
    if (!mode.isEmpty() && mode != "sdl")
        QTextStream(stderr) << "tessora: TESSORA_AUDIO=" << mode
                            << " is not one of sdl, null, capture:DIR; using the sound outputs\n";
    if (auto real = MakeSdlOutput()) return real;
    const int seconds = WaitSeconds();
    auto meanwhile = MakeVirtualOutput(VirtualDeviceCount(), QString());
    if (seconds == 0) {
        ReportDiscarding();
        return meanwhile;
    }
    QTextStream(stderr) << "tessora: no sound output yet; waiting up to " << seconds
                        << " s for the sound server\n";
    WaitForOutputs wait;
    wait.tryReal = &MakeSdlOutput;
    wait.giveUpAfter = std::chrono::seconds(seconds);
    wait.settled = [](bool found) {
        if (found)
            QTextStream(stderr) << "tessora: the sound outputs are up\n";
        else
            ReportDiscarding();
    };
    return MakeWaitingOutput(std::move(meanwhile), std::move(wait));
}

}  // namespace

void AudioOutput::SetDefaultWaitSeconds(int seconds) { defaultWaitSeconds = std::clamp(seconds, 0, kMaxWaitSeconds); }

AudioOutput& AudioOutput::System() {
    static const std::unique_ptr<AudioOutput> output = OutputFromEnvironment();
    return *output;
}

}  // namespace tessora
