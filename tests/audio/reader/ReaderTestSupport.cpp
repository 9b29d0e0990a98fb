#include "ReaderTestSupport.h"

#include <cmath>

namespace tessora::test {

std::vector<uint8_t> ReadToEnd(TAudioFileReader& reader, uint32_t chunk) {
    std::vector<uint8_t> all;
    std::vector<uint8_t> block(chunk);
    while (const uint32_t got = reader.Read(block.data(), chunk))
        all.insert(all.end(), block.begin(), block.begin() + got);
    return all;
}

int SampleAt(const std::vector<uint8_t>& pcm, const WaveFormatEx& format, size_t frame, int channel) {
    const size_t at = frame * format.nBlockAlign + size_t(channel) * (format.wBitsPerSample / 8);
    if (format.wBitsPerSample == 8)
        return int(pcm[at]) - 0x80;
    return int16_t(uint16_t(pcm[at] | pcm[at + 1] << 8));
}

size_t FrameCount(const std::vector<uint8_t>& pcm, const WaveFormatEx& format) {
    return pcm.size() / format.nBlockAlign;
}

double ToneFrequency(const std::vector<uint8_t>& pcm, const WaveFormatEx& format, int channel) {
    const size_t frames = FrameCount(pcm, format);
    const size_t first = frames / 10, last = frames - frames / 10;
    size_t firstCrossing = 0, lastCrossing = 0, crossings = 0;
    for (size_t i = first + 1; i < last; ++i) {
        if (SampleAt(pcm, format, i - 1, channel) < 0 && SampleAt(pcm, format, i, channel) >= 0) {
            if (crossings == 0)
                firstCrossing = i;
            lastCrossing = i;
            ++crossings;
        }
    }
    if (crossings < 2)
        return 0;
    return double(crossings - 1) * format.nSamplesPerSec / double(lastCrossing - firstCrossing);
}

double ChannelRms(const std::vector<uint8_t>& pcm, const WaveFormatEx& format, int channel) {
    const size_t frames = FrameCount(pcm, format);
    double sum = 0;
    for (size_t i = 0; i < frames; ++i) {
        const double v = SampleAt(pcm, format, i, channel);
        sum += v * v;
    }
    return frames ? std::sqrt(sum / double(frames)) : 0;
}

MediaTime TimeAtFrame(int64_t frame, const WaveFormatEx& format) {
    return frame * 1000 * kMediaUnitsPerMs / format.nSamplesPerSec;
}

}  // namespace tessora::test
