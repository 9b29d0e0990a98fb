// What the reader delivers for each kind of file: format, exact length and the tone itself.

#include "ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cmath>

namespace tessora::test {
namespace {

struct FormatCase {
    const char* file;
    uint16_t channels;
    uint16_t bits;
    uint32_t rate;
    int64_t frames;
    bool exactLength;  // false: the container can only estimate it
    double frequency;
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.file; }

class ReaderFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(ReaderFormat, DeliversTheFilesToneInTheExpectedFormat) {
    const FormatCase& c = GetParam();
    TAudioFileReader reader(AudioFixture(c.file));
    const WaveFormatEx& f = reader.WaveFormat();
    EXPECT_EQ(f.wFormatTag, 1);
    EXPECT_EQ(f.nChannels, c.channels);
    EXPECT_EQ(f.wBitsPerSample, c.bits);
    EXPECT_EQ(f.nSamplesPerSec, c.rate);
    EXPECT_EQ(f.nBlockAlign, c.channels * c.bits / 8);
    EXPECT_EQ(f.nAvgBytesPerSec, c.rate * f.nBlockAlign);
    EXPECT_EQ(f.cbSize, 0);
    EXPECT_EQ(reader.FileName(), AudioFixture(c.file));
    EXPECT_EQ(reader.Position(), 0);

    const std::vector<uint8_t> pcm = ReadToEnd(reader);
    const MediaTime expectedDuration = TimeAtFrame(c.frames, f);
    if (c.exactLength) {
        EXPECT_EQ(reader.Duration(), expectedDuration);
        EXPECT_EQ(int64_t(pcm.size()), c.frames * f.nBlockAlign);
        EXPECT_EQ(reader.Position(), reader.Duration());
    } else {
        EXPECT_NEAR(double(reader.Duration()), double(expectedDuration), 0.05 * double(expectedDuration));
        EXPECT_NEAR(double(FrameCount(pcm, f)), double(c.frames), 0.05 * double(c.frames));
    }
    for (int ch = 0; ch < f.nChannels; ++ch) {
        EXPECT_NEAR(ToneFrequency(pcm, f, ch), c.frequency, c.frequency * 0.01) << "channel " << ch;
        // Half scale sine: RMS about 0.35 of full scale, whatever the channel count was.
        const double fullScale = c.bits == 8 ? 128 : 32768;
        EXPECT_GT(ChannelRms(pcm, f, ch), 0.2 * fullScale) << "channel " << ch;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReaderFormat,
    ::testing::Values(FormatCase{"tone-440-1s-44100-stereo.wav", 2, 16, 44100, 44100, true, 440},
                      FormatCase{"tone-1k-2s-22050-mono-u8.wav", 1, 8, 22050, 44100, true, 1000},
                      FormatCase{"tone-440-1s-48000-3ch.wav", 2, 16, 48000, 48000, true, 440},
                      FormatCase{"tone-440-1s-44100-stereo-s24.wav", 2, 16, 44100, 44100, true, 440},
                      FormatCase{"tone-440-1s-44100-stereo-f32.wav", 2, 16, 44100, 44100, true, 440},
                      FormatCase{"tone-250ms-8000-mono.wav", 1, 16, 8000, 2000, true, 440},
                      FormatCase{"tone-440-3s-44100-stereo.mp3", 2, 16, 44100, 132300, true, 440},
                      // Without the encoder's header the padding cannot be known; the length
                      // is what decoding delivers, all frames.
                      FormatCase{"tone-440-3s-44100-stereo-noxing.mp3", 2, 16, 44100, 116 * 1152, true, 440},
                      FormatCase{"tone-440-3s-44100-stereo-id3.mp3", 2, 16, 44100, 132300, true, 440},
                      FormatCase{"tone-440-2s-22050-mono.mp3", 1, 16, 22050, 44100, true, 440},
                      FormatCase{"tone-440-2s-44100-stereo.wma", 2, 16, 44100, 88200, false, 440},
                      FormatCase{"tone-440-2s-44100-stereo.flac", 2, 16, 44100, 88200, true, 440},
                      FormatCase{"tone-440-3s-44100-stereo.ogg", 2, 16, 44100, 132300, true, 440},
                      // FFmpeg leaves the encoder's priming samples in; the container counts without them.
                      FormatCase{"tone-440-3s-44100-stereo.m4a", 2, 16, 44100, 132300, false, 440}));

TEST(ReaderFormat, EightBitDataIsUnsignedWithSilenceAt0x80) {
    TAudioFileReader reader(AudioFixture("tone-1k-2s-22050-mono-u8.wav"));
    const std::vector<uint8_t> pcm = ReadToEnd(reader);
    double sum = 0;
    for (uint8_t b : pcm)
        sum += b;
    EXPECT_NEAR(sum / double(pcm.size()), 128.0, 1.0);
}

TEST(ReaderFormat, WideSamplesKeepTheirValuesScaledTo16Bits) {
    TAudioFileReader wide(AudioFixture("tone-440-1s-44100-stereo-s24.wav"));
    TAudioFileReader narrow(AudioFixture("tone-440-1s-44100-stereo.wav"));
    const std::vector<uint8_t> a = ReadToEnd(wide), b = ReadToEnd(narrow);
    ASSERT_EQ(a.size(), b.size());
    int worst = 0;
    for (size_t i = 0; i < FrameCount(a, wide.WaveFormat()); ++i)
        worst = std::max(worst, std::abs(SampleAt(a, wide.WaveFormat(), i, 0) - SampleAt(b, narrow.WaveFormat(), i, 0)));
    EXPECT_LE(worst, 2);
}

TEST(ReaderFormat, OpensLocalFilesWhateverTheirName) {
    QTemporaryDir dir;
    // A colon would make FFmpeg look for a protocol; the others are ordinary names here.
    for (const char* name : {"http:intro.wav", "上课铃 1.wav", "a?b#c%d.wav", "concat:x.wav", "结束曲.mid"}) {
        const QString path = dir.filePath(QString::fromUtf8(name));
        const bool midi = path.endsWith(QLatin1String(".mid"));
        ASSERT_TRUE(QFile::copy(AudioFixture(midi ? "tiny.mid" : "tone-440-1s-44100-stereo.wav"), path)) << name;
        TAudioFileReader reader(path);
        EXPECT_GT(ReadToEnd(reader).size(), 100000u) << name;
    }
}

}  // namespace
}  // namespace tessora::test
