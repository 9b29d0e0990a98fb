#pragma once
// The mixer stands for one sound output; a mixer channel streams one audio file into a
// 4-second looping buffer on that output, refilled behind the play cursor by its own thread.

#include "AudioFileRead.h"
#include "AudioOutput.h"
#include "ReentrantTimedLock.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

namespace tessora {

// A sound output that cannot be listed, opened or used.
class EDirectXError : public EAudioError {
public:
    using EAudioError::EAudioError;
};

// The fixed text for an output-layer result code.
QString DirectXErrorText(AudioResult code);
// Raises EDirectXError unless the result is 0.
void CheckAudioResult(AudioResult code);

// An internal consistency failure of the mixer channel.
class EAssertionFailed : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

enum TMixerBitsPerSample { bs8Bit = 0, bs16Bit = 1 };
enum TMixerLevel { lNormal = 0, lPriority = 1, lExclusive = 2 };

class TSoundMixerChannel;

class TSoundMixer : public QObject {
public:
    explicit TSoundMixer(QObject* owner = nullptr);
    ~TSoundMixer() override;

    // Called after the device has been opened and after it has been released.
    virtual void DeviceChanged() {}

    TMixerBitsPerSample BitsPerSample() const { return bitsPerSample_; }
    void SetBitsPerSample(TMixerBitsPerSample value) { bitsPerSample_ = value; }
    bool Stereo() const { return stereo_; }
    void SetStereo(bool value) { stereo_ = value; }
    int32_t Frequency() const { return frequency_; }
    void SetFrequency(int32_t value);  // clamped to 100..100000
    TMixerLevel Level() const { return level_; }
    void SetLevel(TMixerLevel value) { level_ = value; }
    uint32_t SpeakerConfig() const { return speakerConfig_; }
    void SetSpeakerConfig(uint32_t value);  // passed at once to an open device

    int Tag = 0;

    static int DeviceCount();
    static QString DeviceName(int index);
    // The device lists from the output layer, listed at first use and again when the layer's
    // outputs are replaced (a sound server that came up late).
    static QStringList DeviceNames();
    static QStringList DeviceGuids();

    int DeviceIndex() const { return deviceIndex_; }
    void SetDeviceIndex(int index);  // out-of-range values are ignored

    void OpenDevice();
    std::shared_ptr<AudioDevice> GetDevice();
    void CloseDevice();
    bool IsOpen() const { return device_ != nullptr; }

    const std::vector<TSoundMixerChannel*>& ChannelList() const { return channels_; }

private:
    friend class TSoundMixerChannel;
    void Attach(TSoundMixerChannel* channel);
    void Detach(TSoundMixerChannel* channel);

    TMixerBitsPerSample bitsPerSample_ = bs16Bit;
    bool stereo_ = true;
    int32_t frequency_ = 44100;
    TMixerLevel level_ = lPriority;
    uint32_t speakerConfig_ = 4;
    int deviceIndex_ = 0;
    bool exclusiveOpen_ = false;
    std::shared_ptr<AudioDevice> device_;
    std::vector<TSoundMixerChannel*> channels_;
};

// Which bytes of the device buffer a media-time range was written to.
struct TPositionRecord {
    int32_t PosStart = 0;
    int32_t PosEnd = 0;
    MediaTime MediaStart = 0;
    MediaTime MediaEnd = 0;
};

class TPositionTimes {
public:
    static constexpr int kCount = 50;
    void Clear();
    void Record(int32_t posStart, int32_t posEnd, MediaTime mediaStart, MediaTime mediaEnd);
    // Milliseconds of media time at the buffer offset, from the newest record covering it.
    int64_t GetPosTime(int32_t cursor) const;

private:
    TPositionRecord records_[kCount];
    int next_ = 0;
};

// Two regions of sound about to be played, lent by GetPlayingData.
struct TPlayingData {
    const uint8_t* Data1 = nullptr;
    uint32_t Length1 = 0;
    const uint8_t* Data2 = nullptr;
    uint32_t Length2 = 0;
};

class ChannelNotifier;

// What a file looked like on disk: a file that failed stays failed until this changes.
struct TFileStamp {
    bool exists = false;
    qint64 size = 0;
    qint64 modifiedMs = 0;
    bool operator==(const TFileStamp&) const = default;
    static TFileStamp Of(const QString& path);  // may block on a file system: not on the GUI thread
};

// How an open off the owner's thread ended.
struct TOpenResult {
    QString fileName;
    QString error;     // empty: the file is open on the channel
    TFileStamp stamp;  // the file as the open found it (not known after a time-out)
};

class TSoundMixerChannel {
public:
    enum TState : uint8_t { Stopped = 0, Playing = 1, Paused = 2 };
    using Notify = std::function<void(TSoundMixerChannel*)>;

    static constexpr uint32_t kBufferTime = 4000;
    static constexpr int kLockWaitMs = 250;
    // An open that has not finished by then is given up (a network share that stopped answering).
    static constexpr int kOpenTimeoutMs = 5000;
    using OpenDone = std::function<void(const TOpenResult&)>;

    explicit TSoundMixerChannel(TSoundMixer* mixer);
    ~TSoundMixerChannel();
    TSoundMixerChannel(const TSoundMixerChannel&) = delete;
    TSoundMixerChannel& operator=(const TSoundMixerChannel&) = delete;

    void Open(const QString& fileName);  // an empty name only closes
    // Closes what was open, then opens the file on a thread of its own: the reader is made, the
    // format checked and the first ring of sound decoded there, so nothing on the calling thread
    // waits for a file system. `done` follows on the owner's thread, through its event loop,
    // with the file open (Stopped) or the reason it is not; after kOpenTimeoutMs it follows with
    // a time-out and the late result is dropped. Open, another OpenAsync and destruction abandon
    // a pending open: its `done` is never called. With `knownFailure`, a file that still looks
    // as stamped there fails with that error again without being read.
    void OpenAsync(const QString& fileName, OpenDone done, std::optional<TOpenResult> knownFailure = std::nullopt);
    // The file OpenAsync is opening; empty when none.
    const QString& OpeningFile() const { return openingFile_; }
    void Play();
    void Pause();
    void Stop();
    void Seek(uint32_t ms);
    uint32_t Position();
    int32_t Volume() const { return volume_; }
    void SetVolume(int32_t volume);
    bool Loop() const { return loop_; }
    void SetLoop(bool loop) { loop_ = loop; }
    TState State() const { return state_; }
    // The file played to its end and has not been played, sought or stopped since. Its end
    // notification may still be on its way to the owner, or dropped by a later Play.
    bool Ended() const { return ended_; }

    uint32_t Length() const { return length_; }
    const QString& FileName() const { return fileName_; }
    uint32_t SampleRate() const { return sampleRate_; }
    uint32_t Channels() const { return channels_; }
    uint32_t BitsPerSample() const { return bitsPerSample_; }
    uint32_t BlockAlign() const { return blockAlign_; }
    uint32_t BufferTime() const { return kBufferTime; }
    uint32_t BufferSize() const { return bufferSize_; }
    // What was written to the device buffer, or null without a buffer. Its bytes change under
    // the update thread: read them through GetPlayingData.
    const uint8_t* Mirror();
    TSoundMixer* Mixer() const { return mixer_; }

    // Lends the `count` bytes that play `offset` bytes after the cursor; empty when none.
    TPlayingData GetPlayingData(uint32_t offset, uint32_t count);
    void ReleasePlayingData();

    // Drops the device buffer; the file stays open, rewound to 0.
    void CloseBuffer();

    // The highest level of any sample the channel sent to its output since the last call, at its
    // volume, as a fraction of full scale (0..1): measured where the samples go out, so that a
    // sound of any length counts. The next call counts afresh.
    float TakeOutputPeak();

    int Tag = 0;
    // On the owner's thread, after the channel has stopped and rewound itself at the end.
    Notify OnEnd;
    // On the thread that met the loss, after the buffer has been dropped.
    Notify OnBufferLost;
    // On the owner's thread, when a refill failed; the channel has been stopped.
    std::function<void(TSoundMixerChannel*, const QString&)> OnError;

private:
    friend class ChannelNotifier;
    struct BufferLostSignal {};
    struct OpenJob;
    struct OpenMailbox;
    using Lock = std::unique_lock<ReentrantTimedLock>;

    Lock TryLock();
    void TakeReader(std::unique_ptr<TAudioFileReader> reader);
    void AbandonOpen();
    void FinishOpen();
    void OpenTimedOut();
    uint32_t UsePrefill();
    void DropPrefill();
    void ArmEndDetection(uint32_t cursor);
    void LookAgainAtTheEnd();
    void CloseFile();
    void ResetPlayback();
    void CreateBuffer();
    void Refill();
    void Fill(uint32_t offset, uint32_t count);
    void FillSilence(uint32_t offset, uint32_t count);
    void CopyToDevice(uint32_t offset, uint32_t count, const uint8_t* source);
    uint32_t PlayCursor();
    int64_t EndDistance(uint32_t cursor) const;
    void CheckBuffer(AudioResult result);
    void HandleBufferLost();
    void StopAfterError(const QString& message);
    void Tick();
    void RunUpdates();
    void SetActive(bool active);
    void DeliverNotifications();
    void PostNotification();

    TSoundMixer* mixer_;
    std::unique_ptr<AudioDeviceBuffer> buffer_;
    QString fileName_;
    std::atomic<bool> loop_{false};
    bool dataHeld_ = false;
    bool primed_ = false;
    bool endArmed_ = false;  // EndPos is ahead of the cursor, lastEndDistance_ away at the last look
    int64_t lastEndDistance_ = 0;
    uint32_t sampleRate_ = 0, channels_ = 0, bitsPerSample_ = 0, blockAlign_ = 0;
    uint32_t length_ = 0;
    uint32_t bufferSize_ = 0;
    uint32_t chunkSize_ = 0;
    uint32_t writePos_ = 0;
    uint32_t lastRefillTick_ = 0;
    int32_t volume_ = 0;
    int32_t pan_ = 0;
    int32_t endPos_ = -1;
    std::unique_ptr<TAudioFileReader> reader_;
    std::atomic<TState> state_{Stopped};
    std::atomic<float> keptPeak_{0.0f};  // of buffers dropped since TakeOutputPeak
    std::atomic<bool> ended_{false};
    TPositionTimes positions_;
    // Decoded sound on its way into the device buffer, a piece at a time: the device never waits
    // for the decoder.
    std::vector<uint8_t> scratch_;
    // The first ring of sound, decoded by OpenAsync; the reader stands just after it.
    std::vector<uint8_t> prefill_;
    // A device buffer dropped while its bytes were lent: kept until the borrower is done.
    std::unique_ptr<AudioDeviceBuffer> lentBuffer_;
    ReentrantTimedLock lock_;

    // The update thread.
    const uint32_t period_ = kBufferTime / 10;
    // Until the next tick: a period, or less when the end of the file's data is due sooner.
    std::atomic<uint32_t> nextWaitMs_{kBufferTime / 10};
    std::thread thread_;
    std::mutex wakeMutex_;
    std::condition_variable wakeEvent_;
    bool wakeSignalled_ = false;
    bool terminate_ = false;
    std::atomic<bool> active_{false};

    // Notifications waiting for the owner's thread.
    std::mutex pendingMutex_;
    int pendingEnds_ = 0;
    QStringList pendingErrors_;
    std::unique_ptr<ChannelNotifier> notifier_;

    // The open running off the owner's thread.
    std::shared_ptr<OpenMailbox> mailbox_;
    QString openingFile_;
    OpenDone openDone_;
    uint64_t openGeneration_ = 0;
};

}  // namespace tessora
