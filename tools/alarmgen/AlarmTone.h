#pragma once
// The station's alarm recording: a siren gliding between 600 and 1200 Hz and back, made so that
// its last sample runs on into its first without a step, so that a looping channel repeats it
// without a click.

#include <cstdint>
#include <vector>

namespace tessora {

struct AlarmTone {
    static constexpr uint32_t kRate = 44100;
    static constexpr uint32_t kChannels = 2;
    static constexpr uint32_t kFrames = 2 * kRate;  // two seconds: one glide up and down
    static constexpr double kCentreHz = 900;
    static constexpr double kSwingHz = 300;
    static constexpr double kAmplitude = 0.5;       // -6 dBFS

    // The sample of frame `frame` (both channels carry the same), for any frame: the tone is
    // periodic in kFrames.
    static int16_t Sample(uint64_t frame);
    // The whole recording as a 16-bit PCM WAV file.
    static std::vector<uint8_t> WavFile();
};

}  // namespace tessora
