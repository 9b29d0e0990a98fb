#pragma once
// Small helpers shared by the reader tests: whole-file decoding and tone measurements.

#include "AudioFileRead.h"
#include "AudioFixtures.h"

#include <cstdint>
#include <ostream>
#include <vector>

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace tessora::test {

// Every byte the reader delivers from its current position on, read in chunks of `chunk` bytes.
std::vector<uint8_t> ReadToEnd(TAudioFileReader& reader, uint32_t chunk = 64 * 1024);

// Sample value of frame `frame`, channel `channel`, as a signed number (8-bit data centred on 0).
int SampleAt(const std::vector<uint8_t>& pcm, const WaveFormatEx& format, size_t frame, int channel);

size_t FrameCount(const std::vector<uint8_t>& pcm, const WaveFormatEx& format);

// Frequency of a steady tone in one channel, from its upward zero crossings, leaving out
// the first and last tenth where codecs fade in and out.
double ToneFrequency(const std::vector<uint8_t>& pcm, const WaveFormatEx& format, int channel);

// Root mean square of one channel, in the sample's own units.
double ChannelRms(const std::vector<uint8_t>& pcm, const WaveFormatEx& format, int channel);

// Media time of the start of sample frame `frame`.
MediaTime TimeAtFrame(int64_t frame, const WaveFormatEx& format);

}  // namespace tessora::test
