#include "SoundMixer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QHash>
#include <QTimerEvent>
#include <QtDebug>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <exception>

namespace tessora {

namespace {

// Raises `kept` to `high` when higher; `kept` may be taken meanwhile on another thread.
void KeepPeak(std::atomic<float>& kept, float high) {
    float now = kept.load();
    while (high > now && !kept.compare_exchange_weak(now, high)) {
    }
}

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
const QEvent::Type kOpenEvent = QEvent::Type(QEvent::registerEventType());

// Bytes the decoder delivers per piece on their way into the device buffer (about 0.19 s of
// 44.1 kHz 16-bit stereo sound).
constexpr uint32_t kScratchBytes = 32 * 1024;
// Channels that keep this many opens stuck in a file system start no more.
constexpr size_t kMaxStuckOpens = 4;

// Refuses what a channel cannot play; returns the length in milliseconds.
uint32_t CheckPlayable(const TAudioFileReader& reader) {
    const uint32_t length = uint32_t(std::max<MediaTime>(0, reader.Duration() / kMediaUnitsPerMs));
    if (length == 0) throw std::runtime_error("Audio file is empty.");
    const WaveFormatEx& format = reader.WaveFormat();
    if (format.nChannels != 1 && format.nChannels != 2) throw std::runtime_error("Invalid number of channels.");
    if (format.wBitsPerSample != 8 && format.wBitsPerSample != 16)
        throw std::runtime_error("Invalid number of bits per sample.");
    return length;
}

// Whole sample frames only: a ring or a silence step that split a frame would shift every later
// sample by a byte.
uint32_t WholeFrames(uint64_t bytes, uint32_t blockAlign) { return uint32_t(bytes - bytes % blockAlign); }

uint64_t BytesPerSecond(const WaveFormatEx& format) {
    return format.nAvgBytesPerSec ? format.nAvgBytesPerSec : uint64_t(format.nSamplesPerSec) * format.nBlockAlign;
}

uint32_t RingBytes(const WaveFormatEx& format) {
    return WholeFrames(BytesPerSecond(format) * TSoundMixerChannel::kBufferTime / 1000, format.nBlockAlign);
}

}  // namespace

TFileStamp TFileStamp::Of(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) return {};
    return {true, info.size(), info.lastModified().toMSecsSinceEpoch()};
}

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

// Listed once, and again only when the outputs behind the layer are replaced.
DeviceLists Devices() {
    static std::mutex mutex;
    static std::optional<uint64_t> listedGeneration;
    static DeviceLists lists;
    AudioOutput& output = AudioOutput::System();
    std::lock_guard lock(mutex);
    const uint64_t generation = output.Generation();
    if (listedGeneration != generation) {
        DeviceLists built;
        for (const auto& device : output.Devices()) {
            built.names << device.name;
            built.ids << device.id;
        }
        lists = std::move(built);
        listedGeneration = generation;
    }
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

QStringList TSoundMixer::DeviceNames() { return Devices().names; }
QStringList TSoundMixer::DeviceGuids() { return Devices().ids; }
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
        if (event->type() == kNotifyEvent) {
            channel_->DeliverNotifications();
            return true;
        }
        if (event->type() == kOpenEvent) {
            channel_->FinishOpen();
            return true;
        }
        return QObject::event(event);
    }
    void StartOpenTimer(int ms) {
        StopOpenTimer();
        openTimer_ = startTimer(ms, Qt::PreciseTimer);
    }
    void StopOpenTimer() {
        if (openTimer_) killTimer(openTimer_);
        openTimer_ = 0;
    }

protected:
    void timerEvent(QTimerEvent* event) override {
        if (event->timerId() != openTimer_) return;
        StopOpenTimer();
        channel_->OpenTimedOut();
    }

private:
    TSoundMixerChannel* channel_;
    int openTimer_ = 0;
};

// One open off the owner's thread: what it was asked, and what it made.
struct TSoundMixerChannel::OpenJob {
    uint64_t generation = 0;
    std::optional<TOpenResult> knownFailure;
    std::unique_ptr<TAudioFileReader> reader;
    std::vector<uint8_t> prefill;
    TOpenResult result;

    void Run() {
        try {
            result.stamp = TFileStamp::Of(result.fileName);
            if (knownFailure && knownFailure->stamp == result.stamp) {
                result.error = knownFailure->error;
                return;
            }
            auto opened = std::make_unique<TAudioFileReader>(result.fileName);
            CheckPlayable(*opened);
            prefill.resize(RingBytes(opened->WaveFormat()));
            prefill.resize(opened->Read(prefill.data(), uint32_t(prefill.size())));
            reader = std::move(opened);
        } catch (const std::exception& e) {
            result.error = QString::fromUtf8(e.what());
            if (result.error.isEmpty()) result.error = QStringLiteral("unknown error");
        }
    }
};

// Where finished opens wait for the owner's thread. Shared with the open threads, so that one
// stuck in a file system outlives the channel harmlessly.
struct TSoundMixerChannel::OpenMailbox {
    std::mutex mutex;
    QObject* notifier = nullptr;      // null once the channel is gone
    uint64_t wanted = 0;              // the open the channel waits for; 0 for none
    std::shared_ptr<OpenJob> done;    // its result, once there
    std::vector<QString> running;     // files whose open threads have not returned

    // Hands the job over when the channel still waits for it; false when it is stale.
    bool Deliver(std::shared_ptr<OpenJob>& job) {
        std::lock_guard lock(mutex);
        if (!notifier || wanted != job->generation) return false;
        done = std::move(job);
        // Posted under the mutex: the channel clears `notifier` under it before freeing it.
        QCoreApplication::postEvent(notifier, new QEvent(kOpenEvent));
        return true;
    }

    static void RunOnThread(std::shared_ptr<OpenJob> job, std::shared_ptr<OpenMailbox> mailbox) {
        job->Run();
        const QString fileName = job->result.fileName;
        if (!mailbox->Deliver(job)) job.reset();  // a stale reader closes here, off the owner's thread
        std::lock_guard lock(mailbox->mutex);
        const auto at = std::find(mailbox->running.begin(), mailbox->running.end(), fileName);
        if (at != mailbox->running.end()) mailbox->running.erase(at);
    }
};

TSoundMixerChannel::TSoundMixerChannel(TSoundMixer* mixer) : mixer_(mixer) {
    positions_.Clear();
    ResetPlayback();
    notifier_ = std::make_unique<ChannelNotifier>(this);
    mailbox_ = std::make_shared<OpenMailbox>();
    mailbox_->notifier = notifier_.get();
    thread_ = std::thread([this] { RunUpdates(); });
    mixer_->Attach(this);
}

TSoundMixerChannel::~TSoundMixerChannel() {
    {
        std::lock_guard lock(mailbox_->mutex);
        mailbox_->notifier = nullptr;  // an open still running delivers nothing from now on
        mailbox_->wanted = 0;
        mailbox_->done.reset();
    }
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
    AbandonOpen();
    auto lock = TryLock();
    if (!lock) return;
    CloseFile();
    {
        std::lock_guard pending(pendingMutex_);
        pendingEnds_ = 0;  // an end of the previous file is no news for this one
    }
    if (!fileName.isEmpty()) TakeReader(std::make_unique<TAudioFileReader>(fileName));
    fileName_ = fileName;
}

void TSoundMixerChannel::TakeReader(std::unique_ptr<TAudioFileReader> reader) {
    length_ = CheckPlayable(*reader);
    const WaveFormatEx& format = reader->WaveFormat();
    sampleRate_ = format.nSamplesPerSec;
    channels_ = format.nChannels;
    bitsPerSample_ = format.wBitsPerSample;
    blockAlign_ = format.nBlockAlign;
    reader_ = std::move(reader);
}

void TSoundMixerChannel::OpenAsync(const QString& fileName, OpenDone done, std::optional<TOpenResult> knownFailure) {
    Open(QString());
    if (fileName.isEmpty()) return;
    auto job = std::make_shared<OpenJob>();
    job->generation = ++openGeneration_;
    job->result.fileName = fileName;
    job->knownFailure = std::move(knownFailure);
    openingFile_ = fileName;
    openDone_ = std::move(done);
    bool start = true;
    {
        std::lock_guard lock(mailbox_->mutex);
        mailbox_->wanted = job->generation;
        const auto& running = mailbox_->running;
        // A file whose open is stuck is not tried again, and a channel holds only a few such opens.
        if (std::find(running.begin(), running.end(), fileName) != running.end()) {
            job->result.error = QStringLiteral("The file is still opening after %1 seconds.").arg(kOpenTimeoutMs / 1000);
            start = false;
        } else if (running.size() >= kMaxStuckOpens) {
            job->result.error = QStringLiteral("Too many files on this channel are still opening.");
            start = false;
        } else {
            mailbox_->running.push_back(fileName);
        }
    }
    if (!start) {
        mailbox_->Deliver(job);
        return;
    }
    notifier_->StartOpenTimer(kOpenTimeoutMs);
    // Detached: a thread stuck in the kernel must not hold up anything, the program's end included.
    std::thread(&OpenMailbox::RunOnThread, std::move(job), mailbox_).detach();
}

void TSoundMixerChannel::AbandonOpen() {
    if (openingFile_.isEmpty()) return;
    std::shared_ptr<OpenJob> abandoned;
    {
        std::lock_guard lock(mailbox_->mutex);
        mailbox_->wanted = 0;
        abandoned = std::move(mailbox_->done);
    }
    notifier_->StopOpenTimer();
    openingFile_.clear();
    openDone_ = nullptr;
}

void TSoundMixerChannel::FinishOpen() {
    std::shared_ptr<OpenJob> job;
    {
        std::lock_guard lock(mailbox_->mutex);
        if (!mailbox_->done || mailbox_->done->generation != mailbox_->wanted) return;
        job = std::move(mailbox_->done);
        mailbox_->wanted = 0;
    }
    notifier_->StopOpenTimer();
    openingFile_.clear();
    const OpenDone done = std::move(openDone_);
    openDone_ = nullptr;
    if (job->result.error.isEmpty()) {
        // The update thread is idle without a buffer: the lock comes at once.
        std::lock_guard lock(lock_);
        CloseFile();
        {
            std::lock_guard pending(pendingMutex_);
            pendingEnds_ = 0;
        }
        TakeReader(std::move(job->reader));
        prefill_ = std::move(job->prefill);
        fileName_ = job->result.fileName;
    }
    // Last: the handler may free the channel.
    if (done) done(job->result);
}

void TSoundMixerChannel::OpenTimedOut() {
    if (openingFile_.isEmpty()) return;
    TOpenResult result;
    result.fileName = openingFile_;
    result.error = QStringLiteral("The file did not open within %1 seconds.").arg(kOpenTimeoutMs / 1000);
    const OpenDone done = openDone_;
    AbandonOpen();
    if (done) done(result);
}

void TSoundMixerChannel::ResetPlayback() {
    state_ = Stopped;
    ended_ = false;
    writePos_ = 0;
    primed_ = endArmed_ = dataHeld_ = false;
    endPos_ = -1;
    lastEndDistance_ = 0;
    chunkSize_ = 0;
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
        KeepPeak(keptPeak_, buffer_->TakePeak());
        if (dataHeld_)
            lentBuffer_ = std::move(buffer_);
        else
            buffer_.reset();
    }
    SetActive(false);
    std::vector<uint8_t>().swap(scratch_);
    ResetPlayback();
    if (failure) std::rethrow_exception(failure);
}

float TSoundMixerChannel::TakeOutputPeak() {
    {
        auto lock = TryLock();
        if (lock && buffer_) KeepPeak(keptPeak_, buffer_->TakePeak());
    }
    return keptPeak_.exchange(0.0f);
}

void TSoundMixerChannel::CloseFile() {
    CloseBuffer();
    DropPrefill();
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
    const uint64_t bytesPerSecond = BytesPerSecond(reader_->WaveFormat());
    const uint32_t bufferSize = RingBytes(reader_->WaveFormat());
    const uint32_t chunkSize =
        std::max(blockAlign_, WholeFrames(uint64_t(period_) * 200 * bytesPerSecond / 100000, blockAlign_));

    std::shared_ptr<AudioDevice> device = mixer_->GetDevice();
    std::unique_ptr<AudioDeviceBuffer> buffer;
    CheckAudioResult(device->CreateBuffer(PcmFormat{sampleRate_, uint16_t(channels_), uint16_t(bitsPerSample_)},
                                          bufferSize, buffer));
    CheckAudioResult(buffer->SetVolume(volume_));
    CheckAudioResult(buffer->SetPan(pan_));
    scratch_.resize(std::max(blockAlign_, WholeFrames(kScratchBytes, blockAlign_)));
    bufferSize_ = bufferSize;
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
    DropPrefill();
    reader_->Seek(0);
}

void TSoundMixerChannel::Seek(uint32_t ms) {
    auto lock = TryLock();
    if (!lock || !reader_) return;
    Stop();
    DropPrefill();
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
    if (!reader_) return 0;
    // The reader stands after the sound decoded ahead; that sound starts where it read from.
    const MediaTime at = prefill_.empty() ? reader_->Position() : reader_->LastSampleStart();
    return uint32_t(at / kMediaUnitsPerMs);
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
    const uint32_t cursor = PlayCursor();
    if (!primed_) {
        const uint32_t decoded = UsePrefill();
        Fill(decoded, bufferSize_ - decoded);
        primed_ = true;
        ArmEndDetection(cursor);
        return;  // the whole ring is ahead of the cursor; WritePos stays 0
    }
    if (!dataHeld_) {
        if (writePos_ > cursor) {
            Fill(writePos_, bufferSize_ - writePos_);
            Fill(0, cursor);
        } else {
            Fill(writePos_, cursor - writePos_);
        }
        writePos_ = cursor;
        ArmEndDetection(cursor);
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

// Copies the sound OpenAsync decoded to the start of the ring; returns its bytes.
uint32_t TSoundMixerChannel::UsePrefill() {
    if (prefill_.empty()) return 0;
    const uint32_t bytes = std::min(uint32_t(prefill_.size()), bufferSize_);
    CopyToDevice(0, bytes, prefill_.data());
    // The reader's last block is the prefill itself.
    positions_.Record(0, int32_t(bytes), reader_->LastSampleStart(), reader_->LastSampleEnd());
    std::vector<uint8_t>().swap(prefill_);
    return bytes;
}

void TSoundMixerChannel::DropPrefill() { std::vector<uint8_t>().swap(prefill_); }

void TSoundMixerChannel::ArmEndDetection(uint32_t cursor) {
    // Written behind the cursor, the end lies ahead of it; from now on every look finds it
    // nearer until the cursor passes it, which makes the distance jump up. However short the
    // file, the end is noticed at the first look after its last sample.
    if (endPos_ == -1 || endArmed_) return;
    endArmed_ = true;
    lastEndDistance_ = uint32_t(endPos_) == cursor ? 0 : EndDistance(cursor);
    LookAgainAtTheEnd();
}

void TSoundMixerChannel::LookAgainAtTheEnd() {
    // Just after the last sample is due, so that whatever follows the file follows at once.
    const uint64_t bytesPerSecond = uint64_t(sampleRate_) * blockAlign_;
    const uint64_t untilEndMs = bytesPerSecond ? uint64_t(lastEndDistance_) * 1000 / bytesPerSecond + 2 : period_;
    nextWaitMs_ = uint32_t(std::clamp<uint64_t>(untilEndMs, 1, period_));
}

void TSoundMixerChannel::Fill(uint32_t offset, uint32_t count) {
    bool rewoundWithoutData = false;  // a looping file that gives nothing after a rewind has ended
    while (count > 0) {
        if (endPos_ != -1) {
            FillSilence(offset, count);
            return;
        }
        const uint32_t piece = std::min(count, uint32_t(scratch_.size()));
        const uint32_t got = reader_->Read(scratch_.data(), piece);
        if (got > piece) MIXER_ASSERT_FAIL("Read from file more than asked");
        if (got > 0) {
            CopyToDevice(offset, got, scratch_.data());
            positions_.Record(int32_t(offset), int32_t(offset + got), reader_->LastSampleStart(),
                              reader_->LastSampleEnd());
            offset += got;
            count -= got;
            rewoundWithoutData = false;
        }
        if (got < piece) {
            // The file has ended inside this range.
            if (!loop_ || rewoundWithoutData) endPos_ = int32_t(offset);
            reader_->Seek(0);
            rewoundWithoutData = true;
        }
    }
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
    lentBuffer_.reset();
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
    // While they are lent, Refill writes nothing between the cursor and WritePos: the bytes stay.
    const uint8_t* ring = buffer_->Bytes();
    lent.Data1 = ring + start;
    if (count > firstLength) {
        lent.Length1 = firstLength;
        lent.Data2 = ring;
        lent.Length2 = count - firstLength;
    } else {
        lent.Length1 = count;
    }
    dataHeld_ = true;
    return lent;
}

const uint8_t* TSoundMixerChannel::Mirror() {
    auto lock = TryLock();
    return !lock || !buffer_ ? nullptr : buffer_->Bytes();
}

void TSoundMixerChannel::ReleasePlayingData() {
    auto lock = TryLock();
    if (!lock) return;
    dataHeld_ = false;
    lentBuffer_.reset();
}

void TSoundMixerChannel::Tick() {
    nextWaitMs_ = period_;
    if (endArmed_) {
        const int64_t distance = EndDistance(PlayCursor());
        if (distance > lastEndDistance_) {
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
        lastEndDistance_ = distance;
        LookAgainAtTheEnd();
    }
    const uint32_t now = TickCount();
    if (now - lastRefillTick_ < period_) return;
    lastRefillTick_ = now;
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
            const bool signalled = wakeEvent_.wait_for(wake, std::chrono::milliseconds(nextWaitMs_.load()), woken);
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
