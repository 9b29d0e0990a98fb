#pragma once
// Opens one audio file and delivers its sound as interleaved PCM, block by block,
// in the decoded stream's own format, with the media-time span of every block.

#include <QString>

#include <cstdint>
#include <memory>
#include <stdexcept>

namespace tessora {

// Media time in units of 100 ns (10000 per millisecond).
using MediaTime = int64_t;
constexpr MediaTime kMediaUnitsPerMs = 10000;

// The published WAVEFORMATEX layout; only PCM is ever delivered.
struct WaveFormatEx {
    uint16_t wFormatTag = 1;  // WAVE_FORMAT_PCM
    uint16_t nChannels = 0;
    uint32_t nSamplesPerSec = 0;
    uint32_t nAvgBytesPerSec = 0;
    uint16_t nBlockAlign = 0;
    uint16_t wBitsPerSample = 0;
    uint16_t cbSize = 0;
};

// A failure of the audio engine: its text, and the platform result code that failed.
class EAudioError : public std::runtime_error {
public:
    EAudioError(const QString& message, int64_t errorCode)
        : std::runtime_error(message.toStdString()), ErrorCode(errorCode) {}
    QString Message() const { return QString::fromStdString(what()); }
    int64_t ErrorCode;
};

// A file that cannot be opened, read or sought.
class EAudioReadError : public EAudioError {
public:
    using EAudioError::EAudioError;
};

// The reader's own code for a bad argument.
constexpr int64_t kReaderOwnError = 0x08000001;

class TAudioFileReader {
public:
    // Opens the file; raises EAudioReadError at the first failing step.
    explicit TAudioFileReader(const QString& fileName);
    ~TAudioFileReader();
    TAudioFileReader(const TAudioFileReader&) = delete;
    TAudioFileReader& operator=(const TAudioFileReader&) = delete;

    // Decodes the next block into buffer; fills it whole unless the file ends.
    // Returns 0 at end of stream. size 0 raises "Invalid buffer size.".
    uint32_t Read(void* buffer, uint32_t size);
    // Moves the decode position to exactly `time` (clamped to 0..Duration).
    void Seek(MediaTime time);

    const WaveFormatEx& WaveFormat() const { return waveFormat_; }
    const QString& FileName() const { return fileName_; }
    MediaTime Duration() const { return duration_; }
    MediaTime Position() const { return position_; }
    MediaTime LastSampleStart() const { return lastSampleStart_; }
    MediaTime LastSampleEnd() const { return lastSampleEnd_; }

    class Decoder;  // the decoding behind the reader (FFmpeg, or the MIDI renderer)

private:
    WaveFormatEx waveFormat_;
    QString fileName_;
    MediaTime duration_ = 0;
    MediaTime position_ = 0;
    MediaTime lastSampleStart_ = 0;
    MediaTime lastSampleEnd_ = 0;
    std::unique_ptr<Decoder> decoder_;
    int64_t bytePosition_ = 0;  // bytes delivered since the start of the file

    MediaTime TimeAtByte(int64_t bytes) const;
};

// What the reader needs from a decoder: PCM in one fixed format, a byte stream that is
// short only at its end, and exact positioning by sample frame.
class TAudioFileReader::Decoder {
public:
    virtual ~Decoder() = default;
    const WaveFormatEx& Format() const { return format_; }
    // Sample frames in the file, exact where the file tells it, otherwise the best estimate.
    int64_t FrameCount() const { return frameCount_; }
    // Writes up to size bytes; fewer only at the end of the stream. Frames may be split
    // between calls.
    uint32_t Read(uint8_t* dest, uint32_t size);
    // The next Read starts exactly at this sample frame (at or beyond the end: no data).
    virtual void SeekToFrame(int64_t frame) = 0;

protected:
    static WaveFormatEx PcmFormat(uint32_t sampleRate, uint16_t channels, uint16_t bitsPerSample);
    // Makes the next block of sound pending; false at the end of the stream.
    virtual bool DecodeNextBlock() = 0;
    void SetPending(const uint8_t* data, uint32_t bytes) {
        pending_ = data;
        pendingBytes_ = bytes;
    }
    void ClearPending() { SetPending(nullptr, 0); }
    void DropPending(uint32_t bytes) {
        pending_ += bytes;
        pendingBytes_ -= bytes;
    }
    void KeepPending(uint32_t bytes) { pendingBytes_ = bytes < pendingBytes_ ? bytes : pendingBytes_; }
    uint32_t PendingBytes() const { return pendingBytes_; }

    WaveFormatEx format_;
    int64_t frameCount_ = 0;

private:
    const uint8_t* pending_ = nullptr;  // decoded bytes not yet delivered
    uint32_t pendingBytes_ = 0;
};

}  // namespace tessora
