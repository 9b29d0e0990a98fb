#pragma once
// The device side shared by every backend: the ring buffers attached to one open output and
// the mixing of all playing ones into the output's own format.

#include "AudioOutput.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace tessora {

class RingBuffer;

class DeviceMix : public std::enable_shared_from_this<DeviceMix> {
public:
    explicit DeviceMix(const PcmFormat& format);
    ~DeviceMix();

    const PcmFormat& Format() const { return format_; }
    AudioResult CreateBuffer(const PcmFormat& format, uint32_t bytes,
                             std::unique_ptr<AudioDeviceBuffer>& buffer);
    // Fills `out` with `frames` frames in the device format (called on the device's thread).
    void Render(uint8_t* out, uint32_t frames);
    // The output went away: every buffer reports lost from now on.
    void MarkLost();
    bool IsLost() const { return lost_; }
    // From now on the buffers' cursor and lock calls fail with `code` (0: they work again).
    void FailWith(AudioResult code) { failure_ = code; }
    AudioResult Failure() const { return failure_; }

    void Detach(RingBuffer* buffer);

private:
    PcmFormat format_;
    std::mutex mutex_;  // guards buffers_ and the mixing scratch
    std::vector<RingBuffer*> buffers_;
    std::vector<float> accumulator_;
    std::atomic<bool> lost_{false};
    std::atomic<AudioResult> failure_{audio_result::Ok};
};

// The device-side half of one open output, for the backends.
class MixedDevice : public AudioDevice {
public:
    explicit MixedDevice(const PcmFormat& format) : mix_(std::make_shared<DeviceMix>(format)) {}
    PcmFormat Format() const override { return mix_->Format(); }
    AudioResult SetSpeakerConfig(uint32_t config) override;
    bool IsLost() const override { return mix_->IsLost(); }
    AudioResult CreateBuffer(const PcmFormat& format, uint32_t bytes,
                             std::unique_ptr<AudioDeviceBuffer>& buffer) override {
        return mix_->CreateBuffer(format, bytes, buffer);
    }
    DeviceMix& Mix() { return *mix_; }

private:
    std::shared_ptr<DeviceMix> mix_;
    std::atomic<uint32_t> speakerConfig_{4};
};

// Which outputs are held exclusively, shared by every backend of the process.
class ExclusiveOpens {
public:
    // Registers an open; Allocated when it conflicts with a current one.
    AudioResult Acquire(int index, bool exclusive);
    void Release(int index, bool exclusive);

private:
    std::mutex mutex_;
    std::vector<int> shared_;     // open count per index
    std::vector<bool> exclusive_;
};

// One open of an output, which may be shared by several opens; gives its claim back when released.
class DeviceHandle : public AudioDevice {
public:
    DeviceHandle(std::shared_ptr<AudioDevice> device, std::shared_ptr<ExclusiveOpens> opens, int index, bool exclusive)
        : device_(std::move(device)), opens_(std::move(opens)), index_(index), exclusive_(exclusive) {}
    ~DeviceHandle() override;
    PcmFormat Format() const override { return device_->Format(); }
    AudioResult SetSpeakerConfig(uint32_t config) override { return device_->SetSpeakerConfig(config); }
    bool IsLost() const override { return device_->IsLost(); }
    AudioResult CreateBuffer(const PcmFormat& format, uint32_t bytes,
                             std::unique_ptr<AudioDeviceBuffer>& buffer) override {
        return device_->CreateBuffer(format, bytes, buffer);
    }

private:
    std::shared_ptr<AudioDevice> device_;
    std::shared_ptr<ExclusiveOpens> opens_;
    const int index_;
    const bool exclusive_;
};

// A PCM format the output layer can mix (1 or 2 channels, 8 or 16 bits, a sane rate).
bool IsMixableFormat(const PcmFormat& format);

}  // namespace tessora
