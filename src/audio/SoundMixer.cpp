#include "SoundMixer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHash>
#include <QtDebug>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <exception>

namespace tessora {

namespace {

[[noreturn]] void FailAssertion(const char* text, int line) {
    throw EAssertionFailed(QString("%1 (SoundMixer.cpp, line %2)").arg(text).arg(line).toStdString());
}
#define MIXER_ASSERT_FAIL(text) FailAssertion(text, __LINE__)

uint32_t TickCount() {
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

uint8_t SilenceByte(uint32_t bitsPerSample) { return bitsPerSample == 8 ? 0x80 : 0x00; }

const QEvent::Type kNotifyEvent = QEvent::Type(QEvent::registerEventType());

}  // namespace

QString DirectXErrorText(AudioResult code) {
    static const QHash<AudioResult, QString> texts = {
        {0x80004001, "The function called is not supported at this time."},
        {0x80004002, "The requested COM interface is not available."},
        {0x80004005, "An undetermined error occurred inside the DirectSound subsystem."},
        {0x80040110, "The object does not support aggregation."},
        {0x80070005, "Access is denied."},
        {0x8007000E,
         QString::fromUtf8("The DirectSound subsystem could not allocate sufficient memory to complete the caller\u00b4s "
                           "request.")},
        {0x80070057, "An invalid parameter was passed to the returning function."},
        {0x8878000A, "The request failed because resources, such as a priority level, were already in use by another "
                     "caller."},
        {0x8878001E, "The control (volume, pan, and so forth) requested by the caller is not available."},
        {0x88780032, "This function is not valid for the current state of this object."},
        {0x88780046, "The caller does not have the priority level required for the function to succeed."},
        {0x88780064, "The specified wave format is not supported."},
        {0x88780078, "No sound driver is available for use."},
        {0x88780082, "The object is already initialized."},
        {0x88780096, "The buffer memory has been lost and must be restored."},
        {0x887800A0, "Another application has a higher priority level, preventing this call from succeeding."},
        {0x887800AA, "The IDirectSound::Initialize method has not been called or has not been called successfully "
                     "before other methods were called."},
        {0x887800B4, "Tried to create a DSBCAPS_CTRLFX buffer shorter than DSBSIZE_FX_MIN milliseconds."},
        {0x887800BE, "Attempt to use DirectSound 8 functionality on an older DirectSound object."},
        {0x887800C8, "A circular loop of send effects was detected."},
        {0x887800D2, "The GUID specified in an audiopath file does not match a valid MIXIN buffer."},
        {0x887800DC, "The effects requested could not be found on the system, or they were found but in the wrong "
                     "order, or in the wrong hardware/software locations."},
        {0x88781161, "The object requested was not found (numerically equal to DMUS_E_NOT_FOUND)."},
    };
    return texts.value(code, "Unrecognized Error");
}

void CheckAudioResult(AudioResult code) {
    if (code != audio_result::Ok) throw EDirectXError(DirectXErrorText(code), int64_t(code));
}

// ---------------------------------------------------------------------------------------------
// TSoundMixer

namespace {

struct DeviceLists {
    QStringList names;
    QStringList ids;
};

const DeviceLists& Devices() {
    static const DeviceLists lists = [] {
        DeviceLists built;
        for (const auto& device : AudioOutput::System().Devices()) {
            built.names << device.name;
            built.ids << device.id;
        }
        return built;
    }();
    return lists;
}

}  // namespace

TSoundMixer::TSoundMixer(QObject* owner) : QObject(owner) {}

TSoundMixer::~TSoundMixer() {
    try {
        CloseDevice();
    } catch (const std::exception& e) {
        qWarning("tessora: closing a sound device: %s", e.what());
    }
    while (!channels_.empty()) delete channels_.back();  // each detaches itself
}

void TSoundMixer::SetFrequency(int32_t value) { frequency_ = std::clamp(value, 100, 100000); }

void TSoundMixer::SetSpeakerConfig(uint32_t value) {
    if (device_) CheckAudioResult(device_->SetSpeakerConfig(value));
    speakerConfig_ = value;
}

const QStringList& TSoundMixer::DeviceNames() { return Devices().names; }
const QStringList& TSoundMixer::DeviceGuids() { return Devices().ids; }
int TSoundMixer::DeviceCount() { return int(DeviceNames().size()); }
QString TSoundMixer::DeviceName(int index) { return DeviceNames().value(index); }

void TSoundMixer::SetDeviceIndex(int index) {
    if (index >= 0 && index < DeviceGuids().size()) deviceIndex_ = index;
}

void TSoundMixer::OpenDevice() {
    if (device_) {
        if (!device_->IsLost()) return;
        // The output went away (its buffers have reported lost): try it afresh.
        device_.reset();
        DeviceChanged();
    }
    if (DeviceGuids().isEmpty()) CheckAudioResult(audio_result::NoDriver);
    OpenRequest request;
    request.index = deviceIndex_;
    request.askFormat = level_ != lNormal;
    request.format.sampleRate = uint32_t(frequency_);
    request.format.channels = stereo_ ? 2 : 1;
    request.format.bitsPerSample = bitsPerSample_ == bs8Bit ? 8 : 16;
    request.exclusive = level_ == lExclusive;
    std::shared_ptr<AudioDevice> device;
    CheckAudioResult(AudioOutput::System().Open(request, device));
    CheckAudioResult(device->SetSpeakerConfig(speakerConfig_));
    if (request.askFormat) {
        const PcmFormat kept = device->Format();
        stereo_ = kept.channels == 2;
        bitsPerSample_ = kept.bitsPerSample == 8 ? bs8Bit : bs16Bit;
        frequency_ = int32_t(kept.sampleRate);
    }
    device_ = std::move(device);
    DeviceChanged();
}

std::shared_ptr<AudioDevice> TSoundMixer::GetDevice() {
    OpenDevice();
    return device_;
}

void TSoundMixer::CloseDevice() {
    std::exception_ptr failure;
    for (auto* channel : std::vector<TSoundMixerChannel*>(channels_)) {
        try {
            channel->CloseBuffer();
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    }
    if (device_) {
        device_.reset();
        DeviceChanged();
    }
    if (failure) std::rethrow_exception(failure);
}

void TSoundMixer::Attach(TSoundMixerChannel* channel) { channels_.push_back(channel); }

void TSoundMixer::Detach(TSoundMixerChannel* channel) { std::erase(channels_, channel); }

// ---------------------------------------------------------------------------------------------
// TPositionTimes

void TPositionTimes::Clear() {
    std::fill(std::begin(records_), std::end(records_), TPositionRecord{});
    next_ = 0;
}

void TPositionTimes::Record(int32_t posStart, int32_t posEnd, MediaTime mediaStart, MediaTime mediaEnd) {
    if (mediaEnd < mediaStart) MIXER_ASSERT_FAIL("Internal Error: Time Start higher then Time End");
    if (posStart >= posEnd) MIXER_ASSERT_FAIL("Internal Error: Position Start not inferior to Position End");
    records_[next_] = {posStart, posEnd, mediaStart, mediaEnd};
    next_ = (next_ + 1) % kCount;
}

int64_t TPositionTimes::GetPosTime(int32_t cursor) const {
    // The slot written next holds the oldest record and is never looked at.
    for (int back = 1; back < kCount; ++back) {
        const TPositionRecord& r = records_[(next_ - back + kCount) % kCount];
        if (r.PosStart <= cursor && cursor < r.PosEnd) {
            const double fraction = double(cursor - r.PosStart) / double(r.PosEnd - r.PosStart);
            return (r.MediaStart + MediaTime(std::trunc(fraction * double(r.MediaEnd - r.MediaStart)))) /
                   kMediaUnitsPerMs;
        }
    }
    MIXER_ASSERT_FAIL("Internal Error: unable to GetPosTime");
}

// ---------------------------------------------------------------------------------------------
// TSoundMixerChannel

// Lives on the thread that created the channel and hands notifications over to it.
class ChannelNotifier : public QObject {
public:
    explicit ChannelNotifier(TSoundMixerChannel* channel) : channel_(channel) {}
    bool event(QEvent* event) override {
        if (event->type() != kNotifyEvent) return QObject::event(event);
        channel_->DeliverNotifications();
        return true;
    }

private:
    TSoundMixerChannel* channel_;
};

TSoundMixerChannel::TSoundMixerChannel(TSoundMixer* mixer) : mixer_(mixer) {
    positions_.Clear();
    ResetPlayback();
    notifier_ = std::make_unique<ChannelNotifier>(this);
    thread_ = std::thread([this] { RunUpdates(); });
    mixer_->Attach(this);
}

TSoundMixerChannel::~TSoundMixerChannel() {
    mixer_->Detach(this);
    SetActive(false);
    {
        std::lock_guard lock(wakeMutex_);
        terminate_ = true;
    }
    wakeEvent_.notify_all();
    thread_.join();  // no tick runs from here on
    try {
        CloseFile();
    } catch (const std::exception& e) {
        qWarning("tessora: closing a sound channel: %s", e.what());
    }
    notifier_.reset();
}

TSoundMixerChannel::Lock TSoundMixerChannel::TryLock() {
    return Lock(lock_, std::chrono::milliseconds(kLockWaitMs));
}

void TSoundMixerChannel::Open(const QString& fileName) {
    auto lock = TryLock();
    if (!lock) return;
    CloseFile();
    {
        std::lock_guard pending(pendingMutex_);
        pendingEnds_ = 0;  // an end of the previous file is no news for this one
    }
    if (!fileName.isEmpty()) {
        auto reader = std::make_unique<TAudioFileReader>(fileName);
        const uint32_t length = uint32_t(std::max<MediaTime>(0, reader->Duration() / kMediaUnitsPerMs));
        if (length == 0) throw std::runtime_error("Audio file is empty.");
        const WaveFormatEx& format = reader->WaveFormat();
        if (format.nChannels != 1 && format.nChannels != 2) throw std::runtime_error("Invalid number of channels.");
        if (format.wBitsPerSample != 8 && format.wBitsPerSample != 16)
            throw std::runtime_error("Invalid number of bits per sample.");
        sampleRate_ = format.nSamplesPerSec;
        channels_ = format.nChannels;
        bitsPerSample_ = format.wBitsPerSample;
        blockAlign_ = format.nBlockAlign;
        length_ = length;
        reader_ = std::move(reader);
    }
    fileName_ = fileName;
}

void TSoundMixerChannel::ResetPlayback() {
    state_ = Stopped;
    ended_ = false;
    writePos_ = 0;
    primed_ = endArmed_ = dataHeld_ = false;
    endPos_ = -1;
    endMargin_ = chunkSize_ = 0;
    positions_.Clear();
}

void TSoundMixerChannel::CloseBuffer() {
    // Blocks rather than skips: the caller is about to release what a tick would use.
    std::lock_guard lock(lock_);
    std::exception_ptr failure;
    if (buffer_) {
        try {
            Stop();
        } catch (...) {
            failure = std::current_exception();
        }
        buffer_->Stop();
        buffer_.reset();
    }
    SetActive(false);
    if (dataHeld_) lentMirror_ = std::move(mirror_);
    std::vector<uint8_t>().swap(mirror_);
    ResetPlayback();
    if (failure) std::rethrow_exception(failure);
}

void TSoundMixerChannel::CloseFile() {
    CloseBuffer();
    reader_.reset();
    volume_ = 0;
    pan_ = 0;
    loop_ = false;
    fileName_.clear();
    length_ = sampleRate_ = channels_ = bitsPerSample_ = blockAlign_ = 0;
}

void TSoundMixerChannel::CreateBuffer() {
    if (buffer_) return;
    if (!reader_) throw std::runtime_error("No file opened");
    const uint64_t bytesPerSecond =
        reader_->WaveFormat().nAvgBytesPerSec ? reader_->WaveFormat().nAvgBytesPerSec : sampleRate_ * blockAlign_;
    // Whole sample frames only: a ring or a silence step that split a frame would shift every
    // later sample by a byte.
    const auto wholeFrames = [this](uint64_t bytes) { return uint32_t(bytes - bytes % blockAlign_); };
    const uint32_t bufferSize = wholeFrames(bytesPerSecond * kBufferTime / 1000);
    const uint32_t endMargin = uint32_t(uint64_t(bufferSize) * 40 / 100);
    const uint32_t chunkSize = std::max(blockAlign_, wholeFrames(uint64_t(period_) * 200 * bytesPerSecond / 100000));

    std::shared_ptr<AudioDevice> device = mixer_->GetDevice();
    std::unique_ptr<AudioDeviceBuffer> buffer;
    CheckAudioResult(device->CreateBuffer(PcmFormat{sampleRate_, uint16_t(channels_), uint16_t(bitsPerSample_)},
                                          bufferSize, buffer));
    CheckAudioResult(buffer->SetVolume(volume_));
    CheckAudioResult(buffer->SetPan(pan_));
    mirror_.assign(bufferSize, SilenceByte(bitsPerSample_));
    bufferSize_ = bufferSize;
    endMargin_ = endMargin;
    chunkSize_ = chunkSize;
    buffer_ = std::move(buffer);
}

void TSoundMixerChannel::Play() {
    auto lock = TryLock();
    if (!lock) return;
    if (state_ == Playing) return;
    {
        std::lock_guard pending(pendingMutex_);
        pendingEnds_ = 0;  // the owner has moved on from an earlier end
    }
    try {
        CreateBuffer();
        if (!primed_) Refill();
        CheckBuffer(buffer_->Play());
    } catch (const BufferLostSignal&) {
        HandleBufferLost();
        return;
    }
    state_ = Playing;
    ended_ = false;
    SetActive(true);
}

void TSoundMixerChannel::Pause() {
    auto lock = TryLock();
    if (!lock) return;
    CreateBuffer();
    if (state_ != Playing) return;
    SetActive(false);
    CheckAudioResult(buffer_->Stop());
    state_ = Paused;
}

void TSoundMixerChannel::Stop() {
    auto lock = TryLock();
    if (!lock || !buffer_) return;
    SetActive(false);
    CheckAudioResult(buffer_->Stop());
    state_ = Stopped;
    ended_ = false;
    CheckAudioResult(buffer_->SetCurrentPosition(0));
    writePos_ = 0;
    primed_ = false;
    endPos_ = -1;
    endArmed_ = false;
    reader_->Seek(0);
}

void TSoundMixerChannel::Seek(uint32_t ms) {
    auto lock = TryLock();
    if (!lock || !reader_) return;
    Stop();
    reader_->Seek(MediaTime(ms) * kMediaUnitsPerMs);
}

uint32_t TSoundMixerChannel::Position() {
    auto lock = TryLock();
    if (!lock) return 0;
    if (primed_) {
        if (!buffer_) MIXER_ASSERT_FAIL("Assertion failure");
        try {
            return uint32_t(std::max<int64_t>(0, positions_.GetPosTime(int32_t(PlayCursor()))));
        } catch (const BufferLostSignal&) {
            HandleBufferLost();
        }
    }
    return reader_ ? uint32_t(reader_->Position() / kMediaUnitsPerMs) : 0;
}

void TSoundMixerChannel::SetVolume(int32_t volume) {
    auto lock = TryLock();
    if (!lock) return;
    if (volume < -10000 || volume > 0) CheckAudioResult(audio_result::InvalidParam);
    volume_ = volume;
    if (buffer_) CheckAudioResult(buffer_->SetVolume(volume));
}

uint32_t TSoundMixerChannel::PlayCursor() {
    uint32_t cursor = 0;
    CheckBuffer(buffer_->GetCurrentPosition(cursor));
    return cursor;
}

int64_t TSoundMixerChannel::EndDistance(uint32_t cursor) const {
    int64_t distance = int64_t(endPos_) - int64_t(cursor);
    if (distance <= 0) distance += bufferSize_;
    return distance;
}

void TSoundMixerChannel::CheckBuffer(AudioResult result) {
    if (result == audio_result::BufferLost) throw BufferLostSignal{};
    CheckAudioResult(result);
}

void TSoundMixerChannel::HandleBufferLost() {
    CloseBuffer();
    if (OnBufferLost) OnBufferLost(this);
}

void TSoundMixerChannel::Refill() {
    CreateBuffer();
    if (!primed_) {
        Fill(0, bufferSize_);
        primed_ = true;
        return;  // the whole ring is ahead of the cursor; WritePos stays 0
    }
    const uint32_t cursor = PlayCursor();
    if (!dataHeld_) {
        if (writePos_ > cursor) {
            Fill(writePos_, bufferSize_ - writePos_);
            Fill(0, cursor);
        } else {
            Fill(writePos_, cursor - writePos_);
        }
        writePos_ = cursor;
        return;
    }
    // The lent bytes of Mirror must stay as they are: only keep the device from running dry.
    int64_t ahead = int64_t(writePos_) - int64_t(cursor);
    if (ahead <= 0) ahead += bufferSize_;
    if (ahead >= chunkSize_) return;
    if (writePos_ + chunkSize_ > bufferSize_) {
        const uint32_t first = bufferSize_ - writePos_;
        FillSilence(writePos_, first);
        FillSilence(0, chunkSize_ - first);
    } else {
        FillSilence(writePos_, chunkSize_);
    }
    writePos_ += chunkSize_;
    if (writePos_ >= bufferSize_) writePos_ -= bufferSize_;
}

void TSoundMixerChannel::Fill(uint32_t offset, uint32_t count) {
    if (count == 0) return;
    const uint32_t startOffset = offset;
    const uint32_t startCount = count;
    bool rewoundWithoutData = false;  // a looping file that gives nothing after a rewind has ended
    while (count > 0) {
        if (endPos_ == -1) {
            const uint32_t got = reader_->Read(mirror_.data() + offset, count);
            if (got > count) MIXER_ASSERT_FAIL("Read from file more than asked");
            if (got > 0) {
                positions_.Record(int32_t(offset), int32_t(offset + got), reader_->LastSampleStart(),
                                  reader_->LastSampleEnd());
                count -= got;
                rewoundWithoutData = false;
            }
            if (count > 0) {
                offset += got;
                if (!loop_ || rewoundWithoutData) endPos_ = int32_t(offset);
                reader_->Seek(0);
                rewoundWithoutData = true;
            }
        } else {
            std::memset(mirror_.data() + offset, SilenceByte(bitsPerSample_), count);
            const MediaTime last = reader_->LastSampleEnd();
            positions_.Record(int32_t(offset), int32_t(offset + count), last, last);
            count = 0;
        }
    }
    CopyToDevice(startOffset, startCount, mirror_.data() + startOffset);
}

void TSoundMixerChannel::FillSilence(uint32_t offset, uint32_t count) {
    CopyToDevice(offset, count, nullptr);
    const MediaTime last = reader_->LastSampleEnd();
    positions_.Record(int32_t(offset), int32_t(offset + count), last, last);
}

void TSoundMixerChannel::CopyToDevice(uint32_t offset, uint32_t count, const uint8_t* source) {
    uint8_t* region = nullptr;
    uint32_t length = 0;
    CheckBuffer(buffer_->Lock(offset, count, region, length));
    if (length != count) {
        buffer_->Unlock(region, length);
        MIXER_ASSERT_FAIL("Locked different size from requested");
    }
    if (source)
        std::memcpy(region, source, count);
    else
        std::memset(region, SilenceByte(bitsPerSample_), count);
    CheckAudioResult(buffer_->Unlock(region, length));
}

TPlayingData TSoundMixerChannel::GetPlayingData(uint32_t offset, uint32_t count) {
    TPlayingData lent;
    auto lock = TryLock();
    if (!lock) return lent;
    dataHeld_ = false;
    std::vector<uint8_t>().swap(lentMirror_);
    if (!primed_) return lent;
    uint32_t cursor = 0;
    try {
        cursor = PlayCursor();
    } catch (const BufferLostSignal&) {
        HandleBufferLost();
        return lent;
    }
    int64_t available = writePos_ >= cursor ? int64_t(writePos_) - cursor : int64_t(writePos_) + bufferSize_ - cursor;
    available -= offset;
    if (available <= 0) return lent;
    count = uint32_t(std::min<int64_t>(count, available));
    uint32_t start = cursor + offset;
    if (start >= bufferSize_) start -= bufferSize_;
    const uint32_t firstLength = bufferSize_ - start;
    lent.Data1 = mirror_.data() + start;
    if (count > firstLength) {
        lent.Length1 = firstLength;
        lent.Data2 = mirror_.data();
        lent.Length2 = count - firstLength;
    } else {
        lent.Length1 = count;
    }
    dataHeld_ = true;
    return lent;
}

const uint8_t* TSoundMixerChannel::Mirror() {
    auto lock = TryLock();
    return !lock || mirror_.empty() ? nullptr : mirror_.data();
}

void TSoundMixerChannel::ReleasePlayingData() {
    auto lock = TryLock();
    if (!lock) return;
    dataHeld_ = false;
    std::vector<uint8_t>().swap(lentMirror_);
}

void TSoundMixerChannel::Tick() {
    bool distanceKnown = false;
    if (endArmed_) {
        if (EndDistance(PlayCursor()) > endMargin_) {
            // The cursor has passed the end of the file's data.
            Stop();
            ended_ = true;
            {
                std::lock_guard pending(pendingMutex_);
                ++pendingEnds_;
            }
            PostNotification();
            return;
        }
        distanceKnown = true;
    }
    const uint32_t now = TickCount();
    if (now - lastRefillTick_ < period_) return;
    lastRefillTick_ = now;
    if (endPos_ != -1 && !distanceKnown && EndDistance(PlayCursor()) <= endMargin_) endArmed_ = true;
    Refill();
}

void TSoundMixerChannel::StopAfterError(const QString& message) {
    // Whatever failed, the device must not go on replaying the ring.
    SetActive(false);
    if (buffer_) buffer_->Stop();
    state_ = Stopped;
    try {
        Stop();
    } catch (const std::exception&) {
        // the rewind failed as well; the first error is the one to report
    }
    {
        std::lock_guard pending(pendingMutex_);
        pendingErrors_ << message;
    }
    PostNotification();
}

void TSoundMixerChannel::RunUpdates() {
    for (;;) {
        {
            std::unique_lock wake(wakeMutex_);
            const auto woken = [this] { return wakeSignalled_ || terminate_; };
            if (!active_) {
                wakeEvent_.wait(wake, woken);
                wakeSignalled_ = false;
                if (terminate_) return;
                continue;
            }
            const bool signalled = wakeEvent_.wait_for(wake, std::chrono::milliseconds(period_), woken);
            if (terminate_) return;
            if (signalled) {
                wakeSignalled_ = false;
                continue;
            }
        }
        auto lock = TryLock();
        if (!lock || !active_) continue;
        try {
            try {
                Tick();
            } catch (const BufferLostSignal&) {
                HandleBufferLost();
            }
        } catch (const std::exception& e) {
            StopAfterError(QString::fromStdString(e.what()));
        }
    }
}

void TSoundMixerChannel::SetActive(bool active) {
    {
        std::lock_guard lock(wakeMutex_);
        active_ = active;
        if (active) wakeSignalled_ = true;
    }
    if (active) wakeEvent_.notify_all();
}

void TSoundMixerChannel::PostNotification() {
    // A bare event made by Qt itself: the channel's own data crosses over under pendingMutex_.
    QCoreApplication::postEvent(notifier_.get(), new QEvent(kNotifyEvent));
}

void TSoundMixerChannel::DeliverNotifications() {
    // One notification per event, and the handler called last: it may free the channel.
    QString error;
    bool ended = false;
    {
        std::lock_guard pending(pendingMutex_);
        if (!pendingErrors_.isEmpty()) {
            error = pendingErrors_.takeFirst();
        } else if (pendingEnds_ > 0) {
            --pendingEnds_;
            ended = true;
        }
    }
    if (!error.isEmpty()) {
        if (OnError)
            OnError(this, error);
        else
            qWarning("tessora: sound channel stopped: %s", qPrintable(error));
    } else if (ended && OnEnd) {
        OnEnd(this);
    }
}

}  // namespace tessora
