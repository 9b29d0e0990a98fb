#pragma once
// The level analyser behind a channel panel's two gauges: the peak of the sound a channel is
// about to play, per sound channel, on a square-root scale from 0 to 1.

#include <cstdint>

namespace tessora {

class PlayerChannel;

// An amplitude (a fraction of full scale, 0..1) on the gauges' scale, 0..100.
int GaugeLevel(float amplitude);

class TAnalysis {
public:
    // Groups the player asks for in one pass; with the channel's sample rate as `frames` a pass
    // covers one second of sound.
    static constexpr int32_t kPoints = 110;

    // Fixes the format from what `channel` has open now. The channel must outlive the analyser.
    TAnalysis(PlayerChannel& channel, int32_t points, int32_t frames);

    // Computes Levels from the bytes ahead of the channel's play cursor. Allocates nothing.
    void Analyse();

    int32_t ChannelCount = 1;    // 2 for anything with more than one sound channel
    int32_t FramesPerPoint = 1;  // frames of one group
    int32_t Frames = 0;          // frames asked for per pass
    int32_t Points = 1;          // groups per pass
    uint8_t SampleBias = 128;    // brings the sample's high byte to "128 is silence"
    // [0]: the last sound channel of a frame (right), [1]: the first (left); each 0..1.
    float Levels[2] = {0, 0};

private:
    PlayerChannel& channel_;
};

}  // namespace tessora
