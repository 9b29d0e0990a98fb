#include "Analysis.h"

#include "PlayerThread.h"
#include "SoundMixer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tessora {

namespace {

constexpr int kSilence = 128;

// Walks frames of one sound channel, group by group, and keeps the extremes of complete groups.
class GroupPeaks {
public:
    GroupPeaks(int32_t framesPerPoint, int32_t points) : framesPerPoint_(framesPerPoint), points_(points) {}

    void Feed(const uint8_t* data, uint32_t length, uint32_t blockAlign, uint32_t byteOffset, uint8_t bias) {
        if (!data) return;
        const uint32_t frames = length / blockAlign;
        for (uint32_t f = 0; f < frames && groups_ < points_; ++f) {
            const int value = uint8_t(data[size_t(f) * blockAlign + byteOffset] + bias);
            groupMax_ = std::max(groupMax_, value);
            groupMin_ = std::min(groupMin_, value);
            if (++inGroup_ == framesPerPoint_) {
                max_ = std::max(max_, groupMax_);
                min_ = std::min(min_, groupMin_);
                ++groups_;
                inGroup_ = 0;
                groupMax_ = 0;
                groupMin_ = 255;
            }
        }
    }

    float Level() const {
        if (groups_ == 0) return 0;
        const int deviation = std::max(std::abs(max_ - kSilence), std::abs(min_ - kSilence));
        return std::sqrt(float(deviation) / float(kSilence));
    }

private:
    const int32_t framesPerPoint_;
    const int32_t points_;
    int32_t groups_ = 0;
    int32_t inGroup_ = 0;
    int groupMax_ = 0, groupMin_ = 255;
    int max_ = 0, min_ = 255;
};

}  // namespace

int GaugeLevel(float amplitude) { return int(std::sqrt(std::clamp(amplitude, 0.0f, 1.0f)) * 100); }

TAnalysis::TAnalysis(PlayerChannel& channel, int32_t points, int32_t frames) : channel_(channel) {
    ChannelCount = channel.Channels() > 1 ? 2 : 1;
    Points = std::max<int32_t>(1, points);
    Frames = std::max<int32_t>(0, frames);
    FramesPerPoint = std::max<int32_t>(1, Frames / Points);
    SampleBias = channel.BitsPerSample() == 8 ? 0 : 128;
}

void TAnalysis::Analyse() {
    const uint32_t blockAlign = channel_.BlockAlign();
    const uint32_t bytesPerSample = channel_.BitsPerSample() / 8;
    const TPlayingData data = channel_.GetPlayingData(0, uint32_t(Frames) * blockAlign);
    for (int32_t i = 0; i < ChannelCount; ++i) {
        // The high byte of the i-th sample from the end of a frame. A format that changed under
        // the analyser may put it outside the frame; such a channel reads as silent.
        const int64_t offset = int64_t(blockAlign) - 1 - int64_t(i) * bytesPerSample;
        if (blockAlign == 0 || offset < 0) {
            Levels[i] = 0;
            continue;
        }
        GroupPeaks peaks(FramesPerPoint, Points);
        peaks.Feed(data.Data1, data.Length1, blockAlign, uint32_t(offset), SampleBias);
        peaks.Feed(data.Data2, data.Length2, blockAlign, uint32_t(offset), SampleBias);
        Levels[i] = peaks.Level();
    }
    channel_.ReleasePlayingData();
}

}  // namespace tessora
