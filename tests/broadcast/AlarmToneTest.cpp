// The alarm recording made by the build: a looping channel repeats it without a step at the joint.
#include "AlarmTone.h"

#include <gtest/gtest.h>

#include <cstdlib>

using tessora::AlarmTone;

TEST(AlarmTone, JointIsNoSteeperThanTheToneItself) {
    int steepest = 0;
    for (uint32_t f = 1; f < AlarmTone::kFrames; ++f)
        steepest = std::max(steepest, std::abs(AlarmTone::Sample(f) - AlarmTone::Sample(f - 1)));
    const int joint = std::abs(AlarmTone::Sample(0) - AlarmTone::Sample(AlarmTone::kFrames - 1));
    EXPECT_LE(joint, steepest);
    EXPECT_GT(steepest, 0);
    EXPECT_EQ(AlarmTone::Sample(AlarmTone::kFrames), AlarmTone::Sample(0));
}

TEST(AlarmTone, WavHeaderDescribesTheSamples) {
    const std::vector<uint8_t> wav = AlarmTone::WavFile();
    ASSERT_EQ(wav.size(), 44u + AlarmTone::kFrames * 4);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 16), "WAVEfmt ");
    const auto u32 = [&](size_t at) { return uint32_t(wav[at]) | uint32_t(wav[at + 1]) << 8 | uint32_t(wav[at + 2]) << 16 | uint32_t(wav[at + 3]) << 24; };
    EXPECT_EQ(u32(24), AlarmTone::kRate);
    EXPECT_EQ(u32(40), AlarmTone::kFrames * 4);
    const int16_t first = int16_t(wav[44 + 4 * 100] | wav[45 + 4 * 100] << 8);
    EXPECT_EQ(first, AlarmTone::Sample(100));
}
