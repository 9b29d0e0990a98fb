#include "AudioOutput.h"

#include <QTextStream>
#include <QtGlobal>

namespace tessora {

namespace {

constexpr int kDefaultVirtualDevices = 4;

int VirtualDeviceCount() {
    bool ok = false;
    const int count = qEnvironmentVariableIntValue("TESSORA_AUDIO_DEVICES", &ok);
    return ok && count >= 1 && count <= 64 ? count : kDefaultVirtualDevices;
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
