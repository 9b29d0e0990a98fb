// Files that cannot be played fail at open with a clear text; damaged ones play what they hold.

#include "ReaderTestSupport.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/error.h>
}

namespace tessora::test {
namespace {

struct OpenFailure {
    const char* file;
    const char* message;  // empty: any text
    int64_t code;         // 0: any negative code
};

void PrintTo(const OpenFailure& c, std::ostream* os) { *os << c.file; }

class ReaderOpenFailure : public ::testing::TestWithParam<OpenFailure> {};

TEST_P(ReaderOpenFailure, RaisesWithCodeAndText) {
    const OpenFailure& c = GetParam();
    try {
        TAudioFileReader reader(AudioFixture(c.file));
        FAIL() << "opened";
    } catch (const EAudioReadError& e) {
        if (*c.message) {
            EXPECT_EQ(e.Message(), QString::fromUtf8(c.message));
        }
        EXPECT_FALSE(e.Message().isEmpty());
        if (c.code) {
            EXPECT_EQ(e.ErrorCode, c.code);
        }
        EXPECT_LT(e.ErrorCode, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, ReaderOpenFailure,
                         ::testing::Values(OpenFailure{"missing.wav", "File not found", AVERROR(ENOENT)},
                                           OpenFailure{"missing.mid", "File not found", AVERROR(ENOENT)},
                                           OpenFailure{"empty.wav", "The file is empty.", AVERROR_INVALIDDATA},
                                           OpenFailure{"garbage.mp3", "Unsupported file format.", 0},
                                           OpenFailure{"no-audio.txt", "Unsupported file format.", 0}));

TEST(ReaderDamagedFile, TruncatedFilePlaysWhatItHolds) {
    TAudioFileReader reader(AudioFixture("truncated.mp3"));
    // The header still promises the whole tone; the data stops at about half of it.
    EXPECT_EQ(reader.Duration(), TimeAtFrame(132300, reader.WaveFormat()));
    const std::vector<uint8_t> pcm = ReadToEnd(reader);
    const double seconds = double(FrameCount(pcm, reader.WaveFormat())) / reader.WaveFormat().nSamplesPerSec;
    EXPECT_NEAR(seconds, 1.5, 0.15);
    EXPECT_NEAR(ToneFrequency(pcm, reader.WaveFormat(), 0), 440, 5);
    reader.Seek(0);
    EXPECT_EQ(ReadToEnd(reader), pcm);
}

}  // namespace
}  // namespace tessora::test
