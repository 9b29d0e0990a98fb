// The real outputs through SDL: index 0 is the system's default output, opened without a name;
// then every output SDL lists, opened by its name.
#include "AudioDeviceMix.h"
#include "AudioOutput.h"

#include <SDL.h>

#include <algorithm>
#include <mutex>

namespace tessora {

namespace {

// What SDL's audio thread calls into; it outlives the SDL device it serves.
struct CallbackTarget {
    DeviceMix* mix = nullptr;
    uint32_t blockAlign = 4;

    static void Fill(void* userdata, Uint8* stream, int length) {
        auto* target = static_cast<CallbackTarget*>(userdata);
        target->mix->Render(stream, uint32_t(length) / target->blockAlign);
    }
};

class SdlDevice;

// The open devices, so that SDL's device-removed event reaches their buffers.
std::mutex registryMutex;
std::vector<SdlDevice*> openDevices;

class SdlDevice : public MixedDevice {
public:
    SdlDevice(SDL_AudioDeviceID id, const PcmFormat& format, std::unique_ptr<CallbackTarget> target)
        : MixedDevice(format), id_(id), target_(std::move(target)) {
        target_->mix = &Mix();
        target_->blockAlign = format.BlockAlign();
        std::lock_guard lock(registryMutex);
        openDevices.push_back(this);
    }

    ~SdlDevice() override {
        {
            std::lock_guard lock(registryMutex);
            std::erase(openDevices, this);
        }
        SDL_CloseAudioDevice(id_);  // waits for a running callback
    }

    void Start() { SDL_PauseAudioDevice(id_, 0); }
    SDL_AudioDeviceID Id() const { return id_; }

private:
    const SDL_AudioDeviceID id_;
    std::unique_ptr<CallbackTarget> target_;
};

int OnSdlEvent(void*, SDL_Event* event) {
    if (event->type != SDL_AUDIODEVICEREMOVED || event->adevice.iscapture) return 0;
    std::lock_guard lock(registryMutex);
    for (auto* device : openDevices)
        if (device->Id() == event->adevice.which) device->Mix().MarkLost();
    return 0;
}

AudioResult ResultOfOpenFailure(const char* sdlError) {
    const QString text = QString::fromUtf8(sdlError).toLower();
    if (text.contains("busy") || text.contains("in use")) return audio_result::Allocated;
    if (text.contains("format")) return audio_result::BadFormat;
    return audio_result::Generic;
}

class SdlOutput : public AudioOutput {
public:
    explicit SdlOutput(std::vector<OutputDeviceInfo> devices) : devices_(std::move(devices)) {
        SDL_AddEventWatch(OnSdlEvent, nullptr);
    }

    std::vector<OutputDeviceInfo> Devices() override { return devices_; }

    AudioResult Open(const OpenRequest& request, std::shared_ptr<AudioDevice>& device) override {
        if (request.index < 0 || size_t(request.index) >= devices_.size()) return audio_result::InvalidParam;
        const PcmFormat asked = request.askFormat ? request.format : PcmFormat{};
        if (!IsMixableFormat(asked)) return audio_result::BadFormat;
        if (AudioResult rc = opens_->Acquire(request.index, request.exclusive); rc != audio_result::Ok) return rc;

        auto target = std::make_unique<CallbackTarget>();
        SDL_AudioSpec want{};
        want.freq = int(asked.sampleRate);
        want.format = asked.bitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16SYS;
        want.channels = Uint8(asked.channels);
        want.samples = 1024;
        want.callback = &CallbackTarget::Fill;
        want.userdata = target.get();
        SDL_AudioSpec have{};
        const QByteArray name = devices_[request.index].id.toUtf8();
        const SDL_AudioDeviceID id = SDL_OpenAudioDevice(name.isEmpty() ? nullptr : name.constData(), 0, &want,
                                                         &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
        if (id == 0) {
            opens_->Release(request.index, request.exclusive);
            return ResultOfOpenFailure(SDL_GetError());
        }
        PcmFormat kept = asked;
        kept.sampleRate = uint32_t(have.freq);
        auto opened = std::make_shared<SdlDevice>(id, kept, std::move(target));
        opened->Start();
        device = std::make_shared<DeviceHandle>(std::move(opened), opens_, request.index, request.exclusive);
        return audio_result::Ok;
    }

private:
    const std::vector<OutputDeviceInfo> devices_;
    std::shared_ptr<ExclusiveOpens> opens_ = std::make_shared<ExclusiveOpens>();
};

}  // namespace

std::unique_ptr<AudioOutput> MakeSdlOutput() {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_Init(SDL_INIT_AUDIO | SDL_INIT_EVENTS) != 0) return nullptr;
    const int count = SDL_GetNumAudioDevices(0);
    if (count <= 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO | SDL_INIT_EVENTS);
        return nullptr;
    }
    std::vector<OutputDeviceInfo> devices{{"Default output", QString()}};
    for (int i = 0; i < count; ++i) {
        const char* name = SDL_GetAudioDeviceName(i, 0);
        if (name && *name) devices.push_back({QString::fromUtf8(name), QString::fromUtf8(name)});
    }
    return std::make_unique<SdlOutput>(std::move(devices));
}

}  // namespace tessora
