// Files that cannot be played fail at open with a clear text; damaged ones play what they hold.

#include "ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <random>

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

// Cuts and random changes, most of them in the headers: each variant either plays or is
// refused with an EAudioReadError, and nothing reads out of bounds.
TEST(ReaderDamagedFile, AnyCutOrDamageIsHandled) {
    QTemporaryDir dir;
    std::mt19937 random(1210);
    std::vector<uint8_t> block(16384);
    for (const char* name : {"tone-440-3s-44100-stereo.mp3", "tone-440-2s-22050-mono.mp3", "tone-440-1s-48000-3ch.wav",
                             "tone-440-2s-44100-stereo.wma", "tone-440-2s-44100-stereo.flac"}) {
        QFile in(AudioFixture(name));
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        const QByteArray original = in.readAll();
        std::vector<QByteArray> variants;
        for (int cut : {1, 10, 40, 100, 300, 700, 2000})
            variants.push_back(original.left(cut));
        for (int i = 0; i < 40; ++i) {
            QByteArray bytes = original;
            const uint32_t span = uint32_t(i % 2 ? bytes.size() : std::min<qsizetype>(bytes.size(), 1200));
            for (int flips = 1 + int(random() % 6); flips > 0; --flips)
                bytes[qsizetype(random() % span)] = char(random());
            variants.push_back(bytes);
        }
        for (size_t i = 0; i < variants.size(); ++i) {
            const QString path = dir.filePath(QStringLiteral("variant-%1").arg(QString::fromLatin1(name)));
            QFile out(path);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(variants[i]);
            out.close();
            try {
                TAudioFileReader reader(path);
                for (int n = 0; n < 40 && reader.Read(block.data(), uint32_t(block.size())) != 0; ++n) {
                }
                reader.Seek(reader.Duration() / 2);
                reader.Read(block.data(), uint32_t(block.size()));
                reader.Seek(0);
                reader.Read(block.data(), uint32_t(block.size()));
            } catch (const EAudioReadError& e) {
                EXPECT_FALSE(e.Message().isEmpty()) << name << " variant " << i;
            }
        }
    }
}

}  // namespace
}  // namespace tessora::test
