// The level analyser on sound made in the test.
#include "Analysis.h"
#include "PlayerTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>

// Counts every allocation of the test program, to show that a pass makes none.
static std::atomic<long> allocations{0};
void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace tessora::test {
namespace {

// A channel with `frames` frames of the given format ahead of its cursor; sample(frame, channel)
// gives each sample (signed for 16-bit, unsigned for 8-bit).
FakeChannel Loaded(uint32_t rate, uint32_t channels, uint32_t bits, uint32_t frames, int (*sample)(uint32_t, uint32_t)) {
    FakeChannel channel;
    channel.files["/s.wav"] = {10000, rate, channels, bits};
    channel.Open("/s.wav");
    for (uint32_t f = 0; f < frames; ++f)
        for (uint32_t c = 0; c < channels; ++c) {
            const int v = sample(f, c);
            if (bits == 8) {
                channel.sound.push_back(uint8_t(v));
            } else {
                channel.sound.push_back(uint8_t(v & 0xFF));
                channel.sound.push_back(uint8_t((v >> 8) & 0xFF));
            }
        }
    return channel;
}

struct LevelCase {
    const char* name;
    uint32_t channels, bits, frames;
    int (*sample)(uint32_t frame, uint32_t channel);
    float right;  // Levels[0]
    float left;   // Levels[1]
};

class AnalysisLevels : public ::testing::TestWithParam<LevelCase> {};

TEST_P(AnalysisLevels, PeakOfTheComingSecond) {
    const LevelCase& c = GetParam();
    FakeChannel channel = Loaded(44100, c.channels, c.bits, c.frames, c.sample);
    TAnalysis analysis(channel, TAnalysis::kPoints, 44100);
    analysis.Analyse();
    EXPECT_NEAR(analysis.Levels[0], c.right, 1e-4);
    EXPECT_NEAR(analysis.Levels[1], c.left, 1e-4);
    EXPECT_FALSE(channel.lent);
    EXPECT_EQ(channel.lastAsked, 44100 * channel.BlockAlign());
}

int FullRightSilentLeft(uint32_t f, uint32_t c) { return c == 0 ? 0 : (f % 2 ? 32767 : -32768); }
int Tone(uint32_t f, uint32_t) { return int(16000 * std::sin(f * 0.05)); }
int Silence16(uint32_t, uint32_t) { return 0; }
int Silence8(uint32_t, uint32_t) { return 128; }
int Full8(uint32_t f, uint32_t) { return f % 2 ? 255 : 0; }
int Word256(uint32_t, uint32_t) { return 0x0100; }
int Byte160(uint32_t, uint32_t) { return 160; }  // 8-bit: a deviation of 32

INSTANTIATE_TEST_SUITE_P(
    Formats, AnalysisLevels,
    ::testing::Values(LevelCase{"StereoLeftSilentRightFull", 2, 16, 44100, FullRightSilentLeft, 1.0f, 0.0f},
                      LevelCase{"MonoFollowsTheSoundOnTheRight", 1, 16, 44100, Tone, std::sqrt(63.0f / 128), 0},
                      LevelCase{"Silence16", 2, 16, 44100, Silence16, 0, 0},
                      LevelCase{"Silence8", 2, 8, 44100, Silence8, 0, 0},
                      LevelCase{"Full8", 1, 8, 44100, Full8, 1.0f, 0},
                      LevelCase{"HighByteOneIsADeviationOfOne", 2, 16, 44100, Word256, std::sqrt(1.0f / 128),
                                std::sqrt(1.0f / 128)},
                      LevelCase{"DeviationOf32IsHalf", 1, 8, 44100, Byte160, 0.5f, 0},
                      LevelCase{"LessThanOneGroup", 2, 16, 399, FullRightSilentLeft, 0, 0},
                      LevelCase{"NothingAhead", 2, 16, 0, FullRightSilentLeft, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Analysis, FixesItsFormatFromTheChannel) {
    const std::tuple<uint32_t, uint32_t, uint32_t, int, int, int> cases[] = {
        // rate, channels, bits -> ChannelCount, FramesPerPoint, SampleBias
        {8000, 1, 8, 1, 72, 0}, {44100, 2, 16, 2, 400, 128}, {48000, 6, 16, 2, 436, 128}, {50, 1, 16, 1, 1, 128}};
    for (const auto& [rate, channels, bits, count, perPoint, bias] : cases) {
        FakeChannel channel = Loaded(rate, channels, bits, 0, Silence16);
        TAnalysis analysis(channel, TAnalysis::kPoints, int32_t(rate));
        EXPECT_EQ(analysis.ChannelCount, count) << rate;
        EXPECT_EQ(analysis.FramesPerPoint, perPoint) << rate;
        EXPECT_EQ(analysis.SampleBias, bias) << rate;
        EXPECT_EQ(analysis.Frames, int32_t(rate));
        EXPECT_EQ(analysis.Points, 110);
    }
}

TEST(Analysis, ReadsBothRegionsAsOneSequence) {
    // A peak in the second region counts; one in the trailing incomplete group does not.
    FakeChannel channel = Loaded(1100, 1, 16, 1005, [](uint32_t f, uint32_t) {
        if (f == 700) return 8000;     // 0x1F40: high byte 31
        if (f == 1002) return -32768;  // in the 5 frames after the last whole group of 10
        return 0;
    });
    channel.splitAt = 2 * 650;
    TAnalysis analysis(channel, TAnalysis::kPoints, 1100);
    analysis.Analyse();
    // 650 frames then 355: frame 700 is the 50th of the second region.
    EXPECT_NEAR(analysis.Levels[0], std::sqrt(31.0f / 128), 1e-4);
}

TEST(Analysis, StopsAfterItsGroups) {
    FakeChannel channel = Loaded(1100, 1, 8, 3000, [](uint32_t f, uint32_t) { return f >= 1100 ? 255 : 128; });
    TAnalysis analysis(channel, TAnalysis::kPoints, 1100);
    analysis.Analyse();
    EXPECT_EQ(analysis.Levels[0], 0);
}

TEST(Analysis, AFormatChangedUnderneathReadsNothingOutsideTheFrame) {
    FakeChannel channel = Loaded(44100, 2, 16, 100, Silence16);
    TAnalysis analysis(channel, TAnalysis::kPoints, 44100);
    channel.files["/mono8.wav"] = {10000, 44100, 1, 8};
    channel.Open("/mono8.wav");
    channel.sound.assign(44100, 255);
    analysis.Analyse();
    EXPECT_NEAR(analysis.Levels[0], std::sqrt(1.0f / 128), 1e-4);  // 255 read with the 16-bit bias
    EXPECT_EQ(analysis.Levels[1], 0);
}

TEST(Analysis, APassAllocatesNothing) {
    FakeChannel channel = Loaded(44100, 2, 16, 44100, Tone);
    channel.splitAt = 100000;
    TAnalysis analysis(channel, TAnalysis::kPoints, 44100);
    const long before = allocations.load();
    for (int i = 0; i < 10; ++i) analysis.Analyse();
    EXPECT_EQ(allocations.load(), before);
    EXPECT_GT(analysis.Levels[0], 0.5f);
}

TEST(Analysis, ThePanelGaugesShowLeftAndRight) {
    Station s;
    s.SetDayList({Item(1, "a", At(8, 0, 0), At(8, 1, 0), "/s.wav")});
    FakeChannel source = Loaded(44100, 2, 16, 44100, FullRightSilentLeft);
    s.channel->sound = source.sound;
    s.RunUntil(At(8, 0, 1));
    EXPECT_EQ(s.panel.left, 0);
    EXPECT_EQ(s.panel.right, 100);
}

}  // namespace
}  // namespace tessora::test
