#include "AudioOutput.h"

#include <QTextStream>
#include <QtGlobal>

#include <cstdlib>

namespace tessora {

namespace {

constexpr int kDefaultVirtualDevices = 4;
constexpr int kMaxVirtualDevices = 1024;

int VirtualDeviceCount() {
    if (!qEnvironmentVariableIsSet("TESSORA_AUDIO_DEVICES")) return kDefaultVirtualDevices;
    bool ok = false;
    const int count = qEnvironmentVariableIntValue("TESSORA_AUDIO_DEVICES", &ok);
    if (ok && count >= 1 && count <= kMaxVirtualDevices) return count;
    // A run on fewer outputs than asked would measure or test something else: it does not start.
    QTextStream(stderr) << "tessora: TESSORA_AUDIO_DEVICES=" << qEnvironmentVariable("TESSORA_AUDIO_DEVICES")
                        << " is not a number of virtual outputs from 1 to " << kMaxVirtualDevices << "\n";
    std::exit(2);
}

std::unique_ptr<AudioOutput> OutputFromEnvironment() {
    const QString mode = qEnvironmentVariable("TESSORA_AUDIO");
    if (mode == "null") return MakeVirtualOutput(VirtualDeviceCount(), QString());
    if (mode.startsWith("capture:") && mode.size() > 8) return MakeVirtualOutput(VirtualDeviceCount(), mode.mid(8));
    if (!mode.isEmpty() && mode != "sdl")
        QTextStream(stderr) << "tessora: TESSORA_AUDIO=" << mode
                            << " is not one of sdl, null, capture:DIR; using the sound outputs\n";
    if (auto real = MakeSdlOutput()) return real;
    QTextStream(stderr) << "tessora: no sound output found; playing to " << VirtualDeviceCount()
                        << " virtual outputs that discard the sound\n";
    return MakeVirtualOutput(VirtualDeviceCount(), QString());
}

}  // namespace

AudioOutput& AudioOutput::System() {
    static const std::unique_ptr<AudioOutput> output = OutputFromEnvironment();
    return *output;
}

}  // namespace tessora
