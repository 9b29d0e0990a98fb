#include "AlarmTone.h"

#include <cmath>
#include <cstring>
#include <numbers>

namespace tessora {

int16_t AlarmTone::Sample(uint64_t frame) {
    // Frequency kCentreHz + kSwingHz·sin(2πt/T): its phase is the integral, which over the whole
    // period T comes to exactly kCentreHz·T cycles (1800), so the wave closes on itself.
    constexpr double period = double(kFrames) / kRate;
    const double t = double(frame % kFrames) / kRate;
    const double cycles = kCentreHz * t + kSwingHz * period / (2 * std::numbers::pi) * (1 - std::cos(2 * std::numbers::pi * t / period));
    return int16_t(std::lround(kAmplitude * 32767 * std::sin(2 * std::numbers::pi * cycles)));
}

std::vector<uint8_t> AlarmTone::WavFile() {
    constexpr uint32_t blockAlign = kChannels * 2;
    constexpr uint32_t dataBytes = kFrames * blockAlign;
    constexpr size_t headerBytes = 44;
    std::vector<uint8_t> out(headerBytes + dataBytes);
    size_t at = 0;
    auto text = [&](const char (&s)[5]) { std::memcpy(&out[at], s, 4); at += 4; };
    auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) out[at++] = uint8_t(v >> (8 * i)); };
    auto u16 = [&](uint16_t v) { out[at++] = uint8_t(v); out[at++] = uint8_t(v >> 8); };
    text("RIFF");
    u32(36 + dataBytes);
    text("WAVE");
    text("fmt ");
    u32(16);
    u16(1);  // PCM
    u16(kChannels);
    u32(kRate);
    u32(kRate * blockAlign);
    u16(blockAlign);
    u16(16);
    text("data");
    u32(dataBytes);
    for (uint32_t frame = 0; frame < kFrames; ++frame) {
        const int16_t s = Sample(frame);
        for (uint32_t c = 0; c < kChannels; ++c) u16(uint16_t(s));
    }
    return out;
}

}  // namespace tessora
