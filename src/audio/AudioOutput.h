#pragma once
// The output layer: lists the sound outputs, opens one, and offers looping streaming buffers
// on it with a play cursor, volume and lock/unlock of byte ranges. One file per backend:
// AudioOutputSdl.cpp (the real outputs) and AudioOutputVirtual.cpp (clock-paced outputs that
// discard or capture what they play). Results are DirectSound-style codes, 0 for success.

#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace tessora {

using AudioResult = uint32_t;

namespace audio_result {
constexpr AudioResult Ok = 0;
constexpr AudioResult Generic = 0x80004005;
constexpr AudioResult OutOfMemory = 0x8007000E;
constexpr AudioResult InvalidParam = 0x80070057;
constexpr AudioResult Allocated = 0x8878000A;   // the output is held by someone else
constexpr AudioResult BadFormat = 0x88780064;
constexpr AudioResult NoDriver = 0x88780078;
constexpr AudioResult BufferLost = 0x88780096;  // the output went away under the buffer
}  // namespace audio_result

// Interleaved PCM: 8-bit unsigned or 16-bit signed samples.
struct PcmFormat {
    uint32_t sampleRate = 44100;
    uint16_t channels = 2;
    uint16_t bitsPerSample = 16;

    uint32_t BlockAlign() const { return uint32_t(channels) * bitsPerSample / 8; }
    uint32_t BytesPerSecond() const { return BlockAlign() * sampleRate; }
    bool operator==(const PcmFormat&) const = default;
};

struct OutputDeviceInfo {
    QString name;
    QString id;  // empty for the system's default output
};

// A looping ring of bytes in one PCM format, mixed into its device while playing.
class AudioDeviceBuffer {
public:
    virtual ~AudioDeviceBuffer() = default;
    virtual uint32_t Size() const = 0;
    // The ring's bytes, for reading what was written; they stay where they are while it lives.
    virtual const uint8_t* Bytes() const = 0;
    // The offset the device will consume next; it advances only by what was really consumed.
    virtual AudioResult GetCurrentPosition(uint32_t& playCursor) = 0;
    virtual AudioResult SetCurrentPosition(uint32_t playCursor) = 0;
    // Lends the bytes from offset up to count, never past the end of the ring (so the region
    // may be shorter than asked). Until Unlock the device does not read the buffer; every
    // successful Lock must be followed by Unlock on the same thread.
    virtual AudioResult Lock(uint32_t offset, uint32_t count, uint8_t*& region, uint32_t& length) = 0;
    virtual AudioResult Unlock(uint8_t* region, uint32_t length) = 0;
    virtual AudioResult Play() = 0;  // always looping
    virtual AudioResult Stop() = 0;
    // Hundredths of a decibel: -10000 (silence) to 0 (full level).
    virtual AudioResult SetVolume(int32_t volume) = 0;
    // -10000 (left only) to 10000 (right only).
    virtual AudioResult SetPan(int32_t pan) = 0;
    // The highest level of any sample this buffer sent into its output since the last call, at
    // its volume and pan, as a fraction of full scale (0..1); the next call counts afresh.
    virtual float TakePeak() { return 0; }
};

// One open output.
class AudioDevice {
public:
    virtual ~AudioDevice() = default;
    // The format the device mixes into: what it kept of the format asked at open.
    virtual PcmFormat Format() const = 0;
    virtual AudioResult SetSpeakerConfig(uint32_t config) = 0;
    // True once the output has gone away (unplugged); its buffers then report lost.
    virtual bool IsLost() const = 0;
    virtual AudioResult CreateBuffer(const PcmFormat& format, uint32_t bytes,
                                     std::unique_ptr<AudioDeviceBuffer>& buffer) = 0;
};

struct OpenRequest {
    int index = 0;
    bool askFormat = true;  // false: the device keeps its own format
    PcmFormat format;
    bool exclusive = false;  // refuse anyone else on this output while open
};

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // The outputs in index order; index 0 is the system's default output.
    virtual std::vector<OutputDeviceInfo> Devices() = 0;
    virtual AudioResult Open(const OpenRequest& request, std::shared_ptr<AudioDevice>& device) = 0;
    // Goes up by one each time the outputs behind the layer are replaced (a sound server that
    // came up late): what was opened before should be opened afresh.
    virtual uint64_t Generation() const { return 0; }
    // True while the real outputs are being waited for; meanwhile what plays is discarded.
    virtual bool Waiting() const { return false; }

    // The backend chosen once from the environment: TESSORA_AUDIO=null or capture:DIR selects
    // the virtual outputs (TESSORA_AUDIO_DEVICES of them, 1 to 1024, default 4; any other value
    // ends the program with a message); otherwise the real outputs. When there are none yet (a
    // sound server that starts after the session), discarding virtual outputs stand in while
    // the real ones are tried again, for TESSORA_AUDIO_WAIT seconds (0 to 3600; by default 120,
    // or what SetDefaultWaitSeconds gave before the first call).
    static AudioOutput& System();
    // A program that lives only for a moment (the command-line companion) does not wait.
    static void SetDefaultWaitSeconds(int seconds);
};

// The backends, for System() and for tests that want one directly.
std::unique_ptr<AudioOutput> MakeSdlOutput();  // null when no real output can be listed
// captureDir empty: the outputs discard what they play.
std::unique_ptr<AudioOutput> MakeVirtualOutput(int count, const QString& captureDir);

// The outputs of `meanwhile` until `tryReal` (called again every `retryEvery` on a thread of the
// layer's own) gives the real ones, which then replace them; after `giveUpAfter` the stand-in
// stays. `settled` is called on that thread with whether the real outputs came.
struct WaitForOutputs {
    std::function<std::unique_ptr<AudioOutput>()> tryReal;
    std::chrono::milliseconds retryEvery{1000};
    std::chrono::milliseconds giveUpAfter{120000};
    std::function<void(bool found)> settled;
};
std::unique_ptr<AudioOutput> MakeWaitingOutput(std::unique_ptr<AudioOutput> meanwhile, WaitForOutputs wait);

// Marks every buffer of every open device on the virtual output `index` lost, as when a
// sound card is unplugged.
void RemoveVirtualDevice(int index);
// Makes the play cursor and lock calls of every buffer on the virtual output `index` fail with
// `code` (0 ends it), as a failing driver would.
void FailVirtualDevice(int index, AudioResult code);

// How far the virtual outputs' rendering fell behind the real clock (thread wake-up delays);
// a real device's own buffer covers delays of some tens of milliseconds.
struct VirtualOutputTiming {
    uint64_t latePeriods = 0;  // wake-ups more than two render periods late
    uint32_t maxLateMs = 0;
};
VirtualOutputTiming VirtualOutputTimingSoFar();

}  // namespace tessora
