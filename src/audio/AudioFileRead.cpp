#include "AudioFileRead.h"

#include "FfmpegDecoder.h"
#include "MidiDecoder.h"

#include <QFile>

#include <algorithm>
#include <cstring>

#include <sys/stat.h>

extern "C" {
#include <libavutil/error.h>
}

namespace tessora {

namespace {

constexpr MediaTime kMediaUnitsPerSecond = 1000 * kMediaUnitsPerMs;
constexpr int64_t kInvalidPointer = 0x80004003;

// Rates the output layer can play; a header outside them is damaged or made to harm.
constexpr uint32_t kMinSampleRate = 100;
constexpr uint32_t kMaxSampleRate = 384000;
// The longest length a channel can report (its milliseconds are 32-bit).
constexpr MediaTime kMaxDuration = MediaTime(0x7FFFFFFF) * kMediaUnitsPerMs;

// A pipe, a device or a socket blocks or never ends when read: refused before anything opens it.
void RefuseIfNotRegularFile(const QString& fileName) {
    struct stat info {};
    if (::stat(QFile::encodeName(fileName).constData(), &info) != 0 || S_ISREG(info.st_mode))
        return;  // a missing file is reported by the decoder's own open
    const QString what = S_ISDIR(info.st_mode) ? QStringLiteral("a folder")
                         : S_ISFIFO(info.st_mode) ? QStringLiteral("a pipe (FIFO)")
                         : S_ISSOCK(info.st_mode) ? QStringLiteral("a socket")
                                                  : QStringLiteral("a device");
    throw EAudioReadError(QStringLiteral("Not a regular file: %1 cannot be played.").arg(what), AVERROR(EINVAL));
}

void RefuseUnplayableFormat(const WaveFormatEx& format) {
    if (format.nSamplesPerSec < kMinSampleRate || format.nSamplesPerSec > kMaxSampleRate)
        throw EAudioReadError(QStringLiteral("Unsupported sample rate: %1 Hz.").arg(format.nSamplesPerSec),
                              AVERROR_INVALIDDATA);
    if (format.nBlockAlign == 0)
        throw EAudioReadError(QStringLiteral("Unsupported audio format: no channels or sample size."),
                              AVERROR_INVALIDDATA);
}

// FFmpeg reads no MIDI files; they are rendered by a synthesizer instead.
std::unique_ptr<TAudioFileReader::Decoder> OpenDecoder(const QString& fileName) {
    RefuseIfNotRegularFile(fileName);
    if (LooksLikeMidiFile(fileName))
        return std::make_unique<MidiDecoder>(fileName);
    return std::make_unique<FfmpegDecoder>(fileName);
}

}  // namespace

WaveFormatEx TAudioFileReader::Decoder::PcmFormat(uint32_t sampleRate, uint16_t channels, uint16_t bitsPerSample) {
    WaveFormatEx format;
    format.wFormatTag = 1;
    format.nChannels = channels;
    format.nSamplesPerSec = sampleRate;
    format.wBitsPerSample = bitsPerSample;
    format.nBlockAlign = uint16_t(channels * bitsPerSample / 8);
    // In 64 bits: a damaged header's rate must not wrap to a small figure (it is refused later).
    format.nAvgBytesPerSec = uint32_t(std::min<uint64_t>(uint64_t(sampleRate) * format.nBlockAlign, UINT32_MAX));
    format.cbSize = 0;
    return format;
}

uint32_t TAudioFileReader::Decoder::Read(uint8_t* dest, uint32_t size) {
    uint32_t done = 0;
    while (done < size) {
        if (pendingBytes_ == 0 && !DecodeNextBlock())
            break;
        const uint32_t n = std::min(pendingBytes_, size - done);
        std::memcpy(dest + done, pending_, n);
        DropPending(n);
        done += n;
    }
    return done;
}

TAudioFileReader::TAudioFileReader(const QString& fileName)
    : fileName_(fileName), decoder_(OpenDecoder(fileName)) {
    waveFormat_ = decoder_->Format();
    RefuseUnplayableFormat(waveFormat_);
    // A header may claim any length: whole seconds apart, the figure cannot overflow.
    const int64_t frames = std::max<int64_t>(0, decoder_->FrameCount());
    const int64_t rate = waveFormat_.nSamplesPerSec;
    const int64_t seconds = frames / rate;
    duration_ = seconds > kMaxDuration / kMediaUnitsPerSecond
                    ? kMaxDuration
                    : std::min(kMaxDuration, seconds * kMediaUnitsPerSecond + frames % rate * kMediaUnitsPerSecond / rate);
}

TAudioFileReader::~TAudioFileReader() = default;

// Whole seconds and the rest apart, so that no product overflows however long the file.
MediaTime TAudioFileReader::TimeAtByte(int64_t bytes) const {
    const int64_t perSecond = waveFormat_.nAvgBytesPerSec;
    return bytes / perSecond * kMediaUnitsPerSecond + bytes % perSecond * kMediaUnitsPerSecond / perSecond;
}

uint32_t TAudioFileReader::Read(void* buffer, uint32_t size) {
    if (size == 0)
        throw EAudioReadError(QStringLiteral("Invalid buffer size."), kReaderOwnError);
    if (!buffer)
        throw EAudioReadError(QStringLiteral("This method tried to access an invalid pointer."), kInvalidPointer);
    const uint32_t bytes = decoder_->Read(static_cast<uint8_t*>(buffer), size);
    if (bytes == 0)
        return 0;
    lastSampleStart_ = TimeAtByte(bytePosition_);
    bytePosition_ += bytes;
    lastSampleEnd_ = TimeAtByte(bytePosition_);
    position_ = lastSampleEnd_;
    return bytes;
}

void TAudioFileReader::Seek(MediaTime time) {
    if (time == position_)
        return;
    time = std::clamp<MediaTime>(time, 0, duration_);
    const int64_t rate = waveFormat_.nSamplesPerSec;
    const int64_t frame = time / kMediaUnitsPerSecond * rate + time % kMediaUnitsPerSecond * rate / kMediaUnitsPerSecond;
    decoder_->SeekToFrame(frame);
    bytePosition_ = frame * waveFormat_.nBlockAlign;
    position_ = time;
}

}  // namespace tessora
