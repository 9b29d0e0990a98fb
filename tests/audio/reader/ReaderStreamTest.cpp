// Block-by-block reading and seeking: contiguous data and times, exact landing samples.

#include "ReaderTestSupport.h"

#include <gtest/gtest.h>

namespace tessora::test {
namespace {

class ReaderStream : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        TAudioFileReader whole(AudioFixture(GetParam()));
        reference_ = ReadToEnd(whole);
        ASSERT_GT(reference_.size(), 0u);
    }

    // Bytes of the reference decoding from sample frame `frame` on, at most `count`.
    std::vector<uint8_t> ReferenceFrom(int64_t frame, size_t count, const WaveFormatEx& f) const {
        const size_t at = std::min(reference_.size(), size_t(frame) * f.nBlockAlign);
        return {reference_.begin() + at, reference_.begin() + std::min(reference_.size(), at + count)};
    }

    static std::vector<uint8_t> ReadBytes(TAudioFileReader& reader, uint32_t count) {
        std::vector<uint8_t> data(count);
        data.resize(reader.Read(data.data(), count));
        return data;
    }

    std::vector<uint8_t> reference_;
};

TEST_P(ReaderStream, BlocksAreContiguousInDataAndTime) {
    TAudioFileReader reader(AudioFixture(GetParam()));
    // An odd size splits sample frames between blocks.
    constexpr uint32_t kChunk = 4001;
    std::vector<uint8_t> all, block(kChunk);
    MediaTime previousEnd = 0;
    uint32_t got = 0, last = kChunk;
    while ((got = reader.Read(block.data(), kChunk)) != 0) {
        ASSERT_EQ(last, kChunk) << "only the last block may be short";
        EXPECT_EQ(reader.LastSampleStart(), previousEnd);
        EXPECT_GE(reader.LastSampleEnd(), reader.LastSampleStart());
        EXPECT_EQ(reader.Position(), reader.LastSampleEnd());
        previousEnd = reader.LastSampleEnd();
        all.insert(all.end(), block.begin(), block.begin() + got);
        last = got;
    }
    EXPECT_EQ(all, reference_);
    EXPECT_EQ(previousEnd, TimeAtFrame(int64_t(FrameCount(all, reader.WaveFormat())), reader.WaveFormat()));

    // At the end nothing moves, however often it is asked.
    const MediaTime start = reader.LastSampleStart(), end = reader.LastSampleEnd(), pos = reader.Position();
    EXPECT_EQ(reader.Read(block.data(), kChunk), 0u);
    EXPECT_EQ(reader.LastSampleStart(), start);
    EXPECT_EQ(reader.LastSampleEnd(), end);
    EXPECT_EQ(reader.Position(), pos);
}

// Sampled sound lands on the very sample after any seek; a synthesizer (MIDI) does not
// replay the notes that sound across the target, so these are for sampled files only.
class ReaderExactSeek : public ReaderStream {};

TEST_P(ReaderExactSeek, SeekLandsOnTheExactSampleForwardAndBackward) {
    TAudioFileReader reader(AudioFixture(GetParam()));
    const WaveFormatEx& f = reader.WaveFormat();
    const MediaTime ms = kMediaUnitsPerMs;
    for (MediaTime target : {500 * ms, 123 * ms + 4567, 900 * ms, 20 * ms, 0 * ms, 1500 * ms, 1499 * ms}) {
        if (target > reader.Duration())
            continue;
        SCOPED_TRACE(testing::Message() << "seek to " << target);
        reader.Seek(target);
        EXPECT_EQ(reader.Position(), target);
        const int64_t frame = target * f.nSamplesPerSec / (1000 * ms);
        const std::vector<uint8_t> got = ReadBytes(reader, 3000);
        EXPECT_EQ(got, ReferenceFrom(frame, 3000, f));
        EXPECT_EQ(reader.LastSampleStart(), TimeAtFrame(frame, f));
    }
}

// After a play-through the reader knows places to start decoding again; landing and the
// rest of the file up to its last sample are the same as from the start.
TEST_P(ReaderExactSeek, SeeksAfterAPlayThroughLandExactlyAndRunToTheSameEnd) {
    TAudioFileReader reader(AudioFixture(GetParam()));
    const WaveFormatEx& f = reader.WaveFormat();
    ReadToEnd(reader);
    for (MediaTime ms : {2800, 1700, 100, 2900, 600, 2500, 1900}) {
        const MediaTime target = ms * kMediaUnitsPerMs;
        if (target > reader.Duration())
            continue;
        reader.Seek(target);
        const int64_t frame = target * f.nSamplesPerSec / (1000 * kMediaUnitsPerMs);
        EXPECT_TRUE(ReadToEnd(reader, 10000) == ReferenceFrom(frame, reference_.size(), f)) << "seek to " << ms << " ms";
    }
}

TEST_P(ReaderStream, SeekToZeroGivesTheFirstBytesAgain) {
    TAudioFileReader reader(AudioFixture(GetParam()));
    const std::vector<uint8_t> first = ReadBytes(reader, 10000);
    ReadToEnd(reader);
    for (int round = 0; round < 2; ++round) {
        reader.Seek(0);
        EXPECT_EQ(reader.Position(), 0);
        EXPECT_EQ(ReadBytes(reader, 10000), first) << "round " << round;
        EXPECT_EQ(reader.LastSampleStart(), 0);
    }
}

TEST_P(ReaderStream, SeekIsClampedToTheFile) {
    TAudioFileReader reader(AudioFixture(GetParam()));
    ReadBytes(reader, 5000);
    reader.Seek(reader.Duration() + 10000 * kMediaUnitsPerMs);
    EXPECT_EQ(reader.Position(), reader.Duration());
    std::vector<uint8_t> block(100000);
    // An estimated length may leave a little of the file after it, never much.
    EXPECT_LT(reader.Read(block.data(), uint32_t(block.size())), reader.WaveFormat().nAvgBytesPerSec / 10);

    reader.Seek(-5 * kMediaUnitsPerMs);
    EXPECT_EQ(reader.Position(), 0);
    EXPECT_EQ(ReadBytes(reader, 2000), ReferenceFrom(0, 2000, reader.WaveFormat()));
}

TEST_P(ReaderStream, SeekToTheCurrentPositionLeavesTheStreamAlone) {
    TAudioFileReader reader(AudioFixture(GetParam()));
    std::vector<uint8_t> got = ReadBytes(reader, 1001);  // ends inside a sample frame
    reader.Seek(reader.Position());
    const std::vector<uint8_t> more = ReadBytes(reader, 1000);
    got.insert(got.end(), more.begin(), more.end());
    EXPECT_EQ(got, std::vector<uint8_t>(reference_.begin(), reference_.begin() + 2001));
}

const char* const kSampledFiles[] = {
    "tone-440-1s-44100-stereo.wav", "tone-1k-2s-22050-mono-u8.wav", "tone-440-1s-48000-3ch.wav",
    "tone-440-3s-44100-stereo.mp3", "tone-440-3s-44100-stereo-noxing.mp3", "tone-440-2s-22050-mono.mp3",
    "tone-440-2s-44100-stereo.wma", "tone-440-2s-44100-stereo.flac", "tone-440-3s-44100-stereo.ogg",
    "tone-440-3s-44100-stereo.m4a"};

std::string TestName(const testing::TestParamInfo<const char*>& info) {
    std::string name = info.param;
    for (char& c : name)
        if (!isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Files, ReaderExactSeek, ::testing::ValuesIn(kSampledFiles), TestName);
INSTANTIATE_TEST_SUITE_P(Files, ReaderStream, ::testing::ValuesIn(kSampledFiles), TestName);
INSTANTIATE_TEST_SUITE_P(Midi, ReaderStream, ::testing::Values("tiny.mid"), TestName);

// Long jumps in a longer file, first forward into what was never decoded, then back and
// forth: every landing is exact and the file runs to its same last sample.
TEST(ReaderSeek, LongJumpsLandExactly) {
    const QString file = AudioFixture("tone-440-30s-22050-mono.mp3");
    TAudioFileReader whole(file);
    const std::vector<uint8_t> reference = ReadToEnd(whole);
    TAudioFileReader reader(file);
    const WaveFormatEx& f = reader.WaveFormat();
    ASSERT_EQ(reference.size(), 661500u * f.nBlockAlign);
    std::vector<uint8_t> block(5000);
    reader.Read(block.data(), uint32_t(block.size()));
    for (MediaTime ms : {25000, 12000, 27500, 700, 18000, 29000, 14000}) {
        reader.Seek(ms * kMediaUnitsPerMs);
        const size_t at = size_t(ms * f.nSamplesPerSec / 1000) * f.nBlockAlign;
        const std::vector<uint8_t> expected(reference.begin() + at, reference.end());
        EXPECT_TRUE(ReadToEnd(reader, 7000) == expected) << "seek to " << ms << " ms";
    }
}

TEST(ReaderRead, BadBuffersAreRefused) {
    TAudioFileReader reader(AudioFixture("tone-440-1s-44100-stereo.wav"));
    uint8_t buffer[16];
    try {
        reader.Read(buffer, 0);
        FAIL() << "no error";
    } catch (const EAudioReadError& e) {
        EXPECT_EQ(e.Message(), "Invalid buffer size.");
        EXPECT_EQ(e.ErrorCode, 0x08000001);
    }
    EXPECT_THROW(reader.Read(nullptr, 16), EAudioReadError);
    EXPECT_EQ(reader.Position(), 0);
    EXPECT_EQ(reader.Read(buffer, sizeof buffer), sizeof buffer);
}

}  // namespace
}  // namespace tessora::test
