#include "AudioFileRead.h"

#include "FfmpegDecoder.h"
#include "MidiDecoder.h"

#include <algorithm>
#include <cstring>

namespace tessora {

namespace {

constexpr MediaTime kMediaUnitsPerSecond = 1000 * kMediaUnitsPerMs;
constexpr int64_t kInvalidPointer = 0x80004003;

// FFmpeg reads no MIDI files; they are rendered by a synthesizer instead.
std::unique_ptr<TAudioFileReader::Decoder> OpenDecoder(const QString& fileName) {
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
    format.nAvgBytesPerSec = sampleRate * format.nBlockAlign;
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
    duration_ = TimeAtByte(decoder_->FrameCount() * waveFormat_.nBlockAlign);
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
