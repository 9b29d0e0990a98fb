#include "AudioDeviceMix.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tessora {

namespace {

AVSampleFormat SampleFormatOf(const PcmFormat& format) {
    return format.bitsPerSample == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
}

// Hundredths of a decibel to an amplitude factor; -10000 is silence.
float GainOf(int32_t hundredthsDb) {
    if (hundredthsDb <= -10000) return 0.0f;
    return float(std::pow(10.0, hundredthsDb / 2000.0));
}

// Converts from a buffer's format to interleaved float samples in the device's layout and rate.
SwrContext* MakeConverter(const PcmFormat& from, const PcmFormat& to) {
    AVChannelLayout inLayout, outLayout;
    av_channel_layout_default(&inLayout, from.channels);
    av_channel_layout_default(&outLayout, to.channels);
    SwrContext* swr = nullptr;
    int rc = swr_alloc_set_opts2(&swr, &outLayout, AV_SAMPLE_FMT_FLT, int(to.sampleRate), &inLayout,
                                 SampleFormatOf(from), int(from.sampleRate), 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    av_channel_layout_uninit(&outLayout);
    // A mono file sounds at its full level on both sides, as on a sound card; stereo into a mono
    // output is the mean of both sides.
    if (rc >= 0 && from.channels != to.channels) {
        static const double monoToStereo[] = {1.0, 1.0};
        static const double stereoToMono[] = {0.5, 0.5};
        rc = from.channels == 1 ? swr_set_matrix(swr, monoToStereo, 1) : swr_set_matrix(swr, stereoToMono, 2);
    }
    if (rc < 0 || swr_init(swr) < 0) {
        swr_free(&swr);
        return nullptr;
    }
    return swr;
}

}  // namespace

bool IsMixableFormat(const PcmFormat& format) {
    return (format.channels == 1 || format.channels == 2) &&
           (format.bitsPerSample == 8 || format.bitsPerSample == 16) && format.sampleRate >= 100 &&
           format.sampleRate <= 384000;
}

class RingBuffer : public AudioDeviceBuffer {
public:
    // `swr` converts to the device's format; null when the rates are the same, which is mixed
    // directly.
    RingBuffer(std::shared_ptr<DeviceMix> mix, const PcmFormat& format, uint32_t bytes, SwrContext* swr,
               bool lost)
        : mix_(std::move(mix)), format_(format), data_(bytes, format.bitsPerSample == 8 ? 0x80 : 0),
          swr_(swr), lost_(lost) {}

    ~RingBuffer() override {
        mix_->Detach(this);
        swr_free(&swr_);
    }

    uint32_t Size() const override { return uint32_t(data_.size()); }
    const uint8_t* Bytes() const override { return data_.data(); }

    AudioResult GetCurrentPosition(uint32_t& playCursor) override {
        if (lost_) return audio_result::BufferLost;
        if (AudioResult failure = mix_->Failure()) return failure;
        std::lock_guard lock(mutex_);
        playCursor = HeardCursor();
        return audio_result::Ok;
    }

    AudioResult SetCurrentPosition(uint32_t playCursor) override {
        std::lock_guard lock(mutex_);
        if (playCursor >= data_.size()) return audio_result::InvalidParam;
        cursor_ = playCursor - playCursor % format_.BlockAlign();
        DropConverted();
        return audio_result::Ok;
    }

    AudioResult Lock(uint32_t offset, uint32_t count, uint8_t*& region, uint32_t& length) override {
        if (lost_) return audio_result::BufferLost;
        if (AudioResult failure = mix_->Failure()) return failure;
        if (count == 0 || offset >= data_.size()) return audio_result::InvalidParam;
        mutex_.lock();
        region = data_.data() + offset;
        length = std::min<uint32_t>(count, uint32_t(data_.size()) - offset);
        return audio_result::Ok;
    }

    AudioResult Unlock(uint8_t*, uint32_t) override {
        mutex_.unlock();
        return audio_result::Ok;
    }

    AudioResult Play() override {
        if (lost_) return audio_result::BufferLost;
        std::lock_guard lock(mutex_);
        playing_ = true;
        return audio_result::Ok;
    }

    AudioResult Stop() override {
        std::lock_guard lock(mutex_);
        if (playing_) {
            // What was converted but not yet heard is played again on the next start.
            cursor_ = HeardCursor();
            DropConverted();
        }
        playing_ = false;
        return audio_result::Ok;
    }

    AudioResult SetVolume(int32_t volume) override {
        if (volume < -10000 || volume > 0) return audio_result::InvalidParam;
        std::lock_guard lock(mutex_);
        volume_ = volume;
        UpdateGains();
        return audio_result::Ok;
    }

    AudioResult SetPan(int32_t pan) override {
        if (pan < -10000 || pan > 10000) return audio_result::InvalidParam;
        std::lock_guard lock(mutex_);
        pan_ = pan;
        UpdateGains();
        return audio_result::Ok;
    }

    void MarkLost() { lost_ = true; }

    float TakePeak() override { return peak_.exchange(0.0f, std::memory_order_relaxed); }

    // Adds `frames` frames of this buffer, converted to the device format, into `mix`.
    void MixInto(float* mix, uint32_t frames, const PcmFormat& device) {
        std::lock_guard lock(mutex_);
        if (!playing_ || lost_) return;
        if (!swr_) {
            MixDirect(mix, frames, device.channels);
            return;
        }
        const uint32_t outChannels = device.channels;
        const uint32_t capacity = 2 * frames + 256;
        if (converted_.size() < capacity * outChannels) converted_.resize(capacity * outChannels);
        const uint32_t blockAlign = format_.BlockAlign();
        const uint32_t ringFrames = uint32_t(data_.size()) / blockAlign;
        // A resampler holds a few frames back at first; a handful of passes always suffices.
        for (int pass = 0; convertedFrames_ < frames && pass < 8; ++pass) {
            const uint32_t wanted = frames - convertedFrames_;
            uint32_t inFrames = format_.sampleRate == device.sampleRate
                                    ? wanted
                                    : uint32_t(av_rescale_rnd(wanted, format_.sampleRate, device.sampleRate,
                                                              AV_ROUND_UP));
            inFrames = std::clamp<uint32_t>(inFrames, 1, ringFrames - cursor_ / blockAlign);
            const uint8_t* in = data_.data() + cursor_;
            auto* out = reinterpret_cast<uint8_t*>(converted_.data() + convertedFrames_ * outChannels);
            const int got = swr_convert(swr_, &out, int(capacity - convertedFrames_), &in, int(inFrames));
            if (got < 0) break;
            convertedFrames_ += uint32_t(got);
            cursor_ = (cursor_ + inFrames * blockAlign) % uint32_t(data_.size());
        }
        const uint32_t used = std::min(convertedFrames_, frames);
        const float* src = converted_.data();
        float high = 0;
        if (outChannels == 2) {
            for (uint32_t i = 0; i < used; ++i) {
                const float left = src[2 * i] * leftGain_, right = src[2 * i + 1] * rightGain_;
                mix[2 * i] += left;
                mix[2 * i + 1] += right;
                high = std::max({high, std::fabs(left), std::fabs(right)});
            }
        } else {
            for (uint32_t i = 0; i < used; ++i) {
                const float sample = src[i] * leftGain_;
                mix[i] += sample;
                high = std::max(high, std::fabs(sample));
            }
        }
        KeepPeak(high);
        convertedFrames_ -= used;
        std::memmove(converted_.data(), converted_.data() + used * outChannels,
                     convertedFrames_ * outChannels * sizeof(float));
    }

private:
    float SampleAt(uint32_t offset) const {
        if (format_.bitsPerSample == 8) return float(int(data_[offset]) - 0x80) * (1.0f / 128.0f);
        int16_t sample;
        std::memcpy(&sample, data_.data() + offset, sizeof sample);
        return float(sample) * (1.0f / 32768.0f);
    }

    // The same rate: the ring's samples go straight into the mix, as the converter would scale
    // them, without a copy in between.
    void MixDirect(float* mix, uint32_t frames, uint32_t outChannels) {
        const uint32_t blockAlign = format_.BlockAlign();
        const uint32_t sampleBytes = format_.bitsPerSample / 8;
        const uint32_t size = uint32_t(data_.size());
        float high = 0;
        for (uint32_t i = 0; i < frames; ++i) {
            const float first = SampleAt(cursor_);
            const float second = format_.channels == 2 ? SampleAt(cursor_ + sampleBytes) : first;
            if (outChannels == 2) {
                const float left = first * leftGain_, right = second * rightGain_;
                mix[2 * i] += left;
                mix[2 * i + 1] += right;
                high = std::max({high, std::fabs(left), std::fabs(right)});
            } else {
                // Stereo into a mono output is the mean of both sides.
                const float sample = (format_.channels == 2 ? first * 0.5f + second * 0.5f : first) * leftGain_;
                mix[i] += sample;
                high = std::max(high, std::fabs(sample));
            }
            cursor_ += blockAlign;
            if (cursor_ >= size) cursor_ = 0;
        }
        KeepPeak(high);
    }

    // On the device's thread; TakePeak may run at the same time on another.
    void KeepPeak(float high) {
        float kept = peak_.load(std::memory_order_relaxed);
        while (high > kept && !peak_.compare_exchange_weak(kept, high, std::memory_order_relaxed)) {
        }
    }

    // The cursor less what has been taken from the ring but not yet mixed.
    uint32_t HeardCursor() const {
        const uint32_t blockAlign = format_.BlockAlign();
        const int64_t ringFrames = int64_t(data_.size() / blockAlign);
        if (!swr_) return cursor_;
        const PcmFormat& device = mix_->Format();
        int64_t heldBack = av_rescale_rnd(convertedFrames_, format_.sampleRate, device.sampleRate, AV_ROUND_NEAR_INF) +
                           swr_get_delay(swr_, format_.sampleRate);
        int64_t frame = (int64_t(cursor_ / blockAlign) - heldBack) % ringFrames;
        if (frame < 0) frame += ringFrames;
        return uint32_t(frame) * blockAlign;
    }

    void DropConverted() {
        convertedFrames_ = 0;
        if (swr_) swr_init(swr_);  // forgets the resampler's history
    }

    void UpdateGains() {
        const float gain = GainOf(volume_);
        leftGain_ = gain * (pan_ > 0 ? GainOf(-pan_) : 1.0f);
        rightGain_ = gain * (pan_ < 0 ? GainOf(pan_) : 1.0f);
    }

    std::shared_ptr<DeviceMix> mix_;
    const PcmFormat format_;
    std::vector<uint8_t> data_;
    SwrContext* swr_;
    std::atomic<bool> lost_;
    std::mutex mutex_;  // held while the device reads, and from Lock to Unlock
    uint32_t cursor_ = 0;
    bool playing_ = false;
    int32_t volume_ = 0;
    int32_t pan_ = 0;
    float leftGain_ = 1.0f;
    float rightGain_ = 1.0f;
    std::vector<float> converted_;
    uint32_t convertedFrames_ = 0;
    std::atomic<float> peak_{0.0f};  // see TakePeak
};

DeviceMix::DeviceMix(const PcmFormat& format) : format_(format) {}

DeviceMix::~DeviceMix() = default;

AudioResult DeviceMix::CreateBuffer(const PcmFormat& format, uint32_t bytes,
                                    std::unique_ptr<AudioDeviceBuffer>& buffer) {
    if (!IsMixableFormat(format)) return audio_result::BadFormat;
    if (bytes < format.BlockAlign() || bytes % format.BlockAlign() != 0) return audio_result::InvalidParam;
    SwrContext* swr = nullptr;
    if (format.sampleRate != format_.sampleRate) {
        swr = MakeConverter(format, format_);
        if (!swr) return audio_result::BadFormat;
    }
    auto ring = std::make_unique<RingBuffer>(shared_from_this(), format, bytes, swr, lost_.load());
    {
        std::lock_guard lock(mutex_);
        buffers_.push_back(ring.get());
    }
    buffer = std::move(ring);
    return audio_result::Ok;
}

void DeviceMix::Detach(RingBuffer* buffer) {
    std::lock_guard lock(mutex_);
    buffers_.erase(std::remove(buffers_.begin(), buffers_.end(), buffer), buffers_.end());
}

void DeviceMix::MarkLost() {
    std::lock_guard lock(mutex_);
    lost_ = true;
    for (auto* buffer : buffers_) buffer->MarkLost();
}

void DeviceMix::Render(uint8_t* out, uint32_t frames) {
    std::lock_guard lock(mutex_);
    const size_t samples = size_t(frames) * format_.channels;
    if (accumulator_.size() < samples) accumulator_.resize(samples);
    std::fill_n(accumulator_.begin(), samples, 0.0f);
    for (auto* buffer : buffers_) buffer->MixInto(accumulator_.data(), frames, format_);
    if (format_.bitsPerSample == 8) {
        for (size_t i = 0; i < samples; ++i)
            out[i] = uint8_t(std::clamp(std::lrint(accumulator_[i] * 128.0f) + 128, 0L, 255L));
    } else {
        auto* out16 = reinterpret_cast<int16_t*>(out);
        for (size_t i = 0; i < samples; ++i)
            out16[i] = int16_t(std::clamp(std::lrint(accumulator_[i] * 32768.0f), -32768L, 32767L));
    }
}

AudioResult MixedDevice::SetSpeakerConfig(uint32_t config) {
    speakerConfig_ = config;
    return audio_result::Ok;
}

DeviceHandle::~DeviceHandle() { opens_->Release(index_, exclusive_); }

AudioResult ExclusiveOpens::Acquire(int index, bool exclusive) {
    std::lock_guard lock(mutex_);
    if (index < 0) return audio_result::InvalidParam;
    if (size_t(index) >= shared_.size()) {
        shared_.resize(index + 1, 0);
        exclusive_.resize(index + 1, false);
    }
    if (exclusive_[index] || (exclusive && shared_[index] > 0)) return audio_result::Allocated;
    ++shared_[index];
    exclusive_[index] = exclusive;
    return audio_result::Ok;
}

void ExclusiveOpens::Release(int index, bool exclusive) {
    std::lock_guard lock(mutex_);
    if (index < 0 || size_t(index) >= shared_.size() || shared_[index] == 0) return;
    --shared_[index];
    if (exclusive) exclusive_[index] = false;
}

}  // namespace tessora
