// Virtual outputs: each open one mixes its buffers in step with the real clock, in small
// periods, and either discards the sound or captures all of it, silence included, to a WAV file.
#include "AudioDeviceMix.h"
#include "AudioOutput.h"

#include <QDateTime>
#include <QDir>
#include <QSaveFile>
#include <QTextStream>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>

namespace tessora {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPeriodMs = 25;
constexpr uint32_t kMinRate = 8000;
constexpr uint32_t kMaxRate = 192000;

std::atomic<uint64_t> latePeriods{0};
std::atomic<uint32_t> maxLateMs{0};

void NoteLateness(uint64_t behindFrames, uint32_t periodFrames, uint32_t rate) {
    if (behindFrames <= 2 * uint64_t(periodFrames)) return;
    ++latePeriods;
    const auto ms = uint32_t(behindFrames * 1000 / rate);
    uint32_t seen = maxLateMs.load();
    while (ms > seen && !maxLateMs.compare_exchange_weak(seen, ms)) {
    }
}

// A WAV file that grows while it is written; its header is brought up to date on request.
class CaptureFile {
public:
    CaptureFile(const QString& path, const PcmFormat& format) : format_(format) {
        file_ = std::fopen(QFile::encodeName(path).constData(), "wb");
        if (file_) WriteHeader();
    }
    ~CaptureFile() {
        if (!file_) return;
        WriteHeader();
        std::fclose(file_);
    }
    bool IsOpen() const { return file_ != nullptr; }

    void Append(const uint8_t* data, size_t bytes) {
        if (!file_) return;
        std::fwrite(data, 1, bytes, file_);
        dataBytes_ += bytes;
    }

    void WriteHeader() {
        const uint32_t dataBytes = uint32_t(std::min<uint64_t>(dataBytes_, 0xFFFFFFFFu - 36));
        uint8_t header[44];
        auto put32 = [&](int at, uint32_t v) {
            for (int i = 0; i < 4; ++i) header[at + i] = uint8_t(v >> (8 * i));
        };
        auto put16 = [&](int at, uint16_t v) {
            header[at] = uint8_t(v);
            header[at + 1] = uint8_t(v >> 8);
        };
        std::memcpy(header, "RIFF", 4);
        put32(4, 36 + dataBytes);
        std::memcpy(header + 8, "WAVEfmt ", 8);
        put32(16, 16);
        put16(20, 1);
        put16(22, format_.channels);
        put32(24, format_.sampleRate);
        put32(28, format_.BytesPerSecond());
        put16(32, uint16_t(format_.BlockAlign()));
        put16(34, format_.bitsPerSample);
        std::memcpy(header + 36, "data", 4);
        put32(40, dataBytes);
        std::fseek(file_, 0, SEEK_SET);
        std::fwrite(header, 1, sizeof header, file_);
        std::fseek(file_, 0, SEEK_END);
        std::fflush(file_);
    }

private:
    PcmFormat format_;
    std::FILE* file_ = nullptr;
    uint64_t dataBytes_ = 0;
};

class VirtualDevice;

// The open virtual devices, so that one can be "unplugged".
std::mutex registryMutex;
std::vector<std::pair<int, std::weak_ptr<VirtualDevice>>> openDevices;

class VirtualDevice : public MixedDevice {
public:
    VirtualDevice(const PcmFormat& format, std::unique_ptr<CaptureFile> capture, QString startFile)
        : MixedDevice(format), capture_(std::move(capture)), startFile_(std::move(startFile)) {
        thread_ = std::thread([this] { Run(); });
    }

    ~VirtualDevice() override {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

private:
    void Run() {
        const PcmFormat format = Format();
        const uint32_t periodFrames = std::max<uint32_t>(1, format.sampleRate * kPeriodMs / 1000);
        std::vector<uint8_t> block(size_t(periodFrames) * format.BlockAlign());
        const auto start = Clock::now();
        if (capture_ && !startFile_.isEmpty()) WriteStartTime(QDateTime::currentMSecsSinceEpoch());
        uint64_t rendered = 0;
        auto lastHeader = start;
        std::unique_lock lock(mutex_);
        while (!stopping_) {
            const auto next = start + std::chrono::microseconds((rendered + periodFrames) * 1000000 / format.sampleRate);
            wake_.wait_until(lock, next, [this] { return stopping_; });
            if (stopping_) break;
            lock.unlock();
            const auto now = Clock::now();
            const uint64_t due = uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(now - start).count()) *
                                 format.sampleRate / 1000000;
            if (due > rendered) NoteLateness(due - rendered, periodFrames, format.sampleRate);
            while (rendered < due) {
                const uint32_t frames = uint32_t(std::min<uint64_t>(periodFrames, due - rendered));
                Mix().Render(block.data(), frames);
                if (capture_) capture_->Append(block.data(), size_t(frames) * format.BlockAlign());
                rendered += frames;
            }
            if (capture_ && now - lastHeader >= std::chrono::milliseconds(500)) {
                capture_->WriteHeader();
                lastHeader = now;
            }
            lock.lock();
        }
    }

    void WriteStartTime(qint64 unixMs) {
        QSaveFile file(startFile_);
        if (!file.open(QIODevice::WriteOnly)) return;
        file.write(QByteArray::number(unixMs) + "\n");
        file.commit();
    }

    std::unique_ptr<CaptureFile> capture_;
    const QString startFile_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

class VirtualOutput : public AudioOutput {
public:
    VirtualOutput(int count, QString captureDir) : count_(std::max(1, count)), captureDir_(std::move(captureDir)) {}

    std::vector<OutputDeviceInfo> Devices() override {
        std::vector<OutputDeviceInfo> devices;
        for (int i = 0; i < count_; ++i)
            devices.push_back({QString("Virtual output %1").arg(i + 1), QString("virtual-%1").arg(i + 1)});
        return devices;
    }

    AudioResult Open(const OpenRequest& request, std::shared_ptr<AudioDevice>& device) override {
        if (request.index < 0 || request.index >= count_) return audio_result::InvalidParam;
        if (AudioResult rc = opens_->Acquire(request.index, request.exclusive); rc != audio_result::Ok) return rc;
        // Opens of one output share it, as programs share a sound card; the first open sets the format.
        std::lock_guard lock(registryMutex);
        std::erase_if(openDevices, [](const auto& entry) { return entry.second.expired(); });
        std::shared_ptr<VirtualDevice> shared;
        for (const auto& [index, weak] : openDevices)
            if (index == request.index) shared = weak.lock();
        if (!shared || shared->IsLost()) {  // an unplugged output comes back as a new one
            shared = Start(request);
            if (!shared) {
                opens_->Release(request.index, request.exclusive);
                return audio_result::Generic;
            }
            openDevices.emplace_back(request.index, shared);
        }
        device = std::make_shared<DeviceHandle>(shared, opens_, request.index, request.exclusive);
        return audio_result::Ok;
    }

private:
    std::shared_ptr<VirtualDevice> Start(const OpenRequest& request) {
        PcmFormat format;  // the device's own: 44100 Hz, 16-bit stereo
        if (request.askFormat) {
            format.sampleRate = std::clamp(request.format.sampleRate, kMinRate, kMaxRate);
            format.channels = std::clamp<uint16_t>(request.format.channels, 1, 2);
            format.bitsPerSample = request.format.bitsPerSample == 8 ? 8 : 16;
        }
        if (captureDir_.isEmpty()) return std::make_shared<VirtualDevice>(format, nullptr, QString());
        QDir().mkpath(captureDir_);
        const QString base = QDir(captureDir_).filePath(QString("device-%1").arg(request.index));
        auto capture = std::make_unique<CaptureFile>(base + ".wav", format);
        if (!capture->IsOpen()) {
            QTextStream(stderr) << "tessora: cannot write the capture file " << base << ".wav\n";
            return nullptr;
        }
        return std::make_shared<VirtualDevice>(format, std::move(capture), base + ".start");
    }

    const int count_;
    const QString captureDir_;
    std::shared_ptr<ExclusiveOpens> opens_ = std::make_shared<ExclusiveOpens>();
};

}  // namespace

std::unique_ptr<AudioOutput> MakeVirtualOutput(int count, const QString& captureDir) {
    return std::make_unique<VirtualOutput>(count, captureDir);
}

namespace {

void ForEachOpenDevice(int index, const std::function<void(DeviceMix&)>& action) {
    std::lock_guard lock(registryMutex);
    for (auto& [openIndex, weak] : openDevices) {
        if (openIndex != index) continue;
        if (auto device = weak.lock()) action(device->Mix());
    }
}

}  // namespace

void RemoveVirtualDevice(int index) {
    ForEachOpenDevice(index, [](DeviceMix& mix) { mix.MarkLost(); });
}

void FailVirtualDevice(int index, AudioResult code) {
    ForEachOpenDevice(index, [code](DeviceMix& mix) { mix.FailWith(code); });
}

VirtualOutputTiming VirtualOutputTimingSoFar() { return {latePeriods.load(), maxLateMs.load()}; }

}  // namespace tessora
