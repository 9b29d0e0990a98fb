// Files that cannot be played fail at open with a clear text; damaged ones play what they hold.

#include "ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <random>

#include <sys/stat.h>

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
    const std::vector<uint8_t> pcm = ReadToEnd(reader);
    const double seconds = double(FrameCount(pcm, reader.WaveFormat())) / reader.WaveFormat().nSamplesPerSec;
    EXPECT_NEAR(seconds, 1.5, 0.15);
    EXPECT_NEAR(ToneFrequency(pcm, reader.WaveFormat(), 0), 440, 5);
    reader.Seek(0);
    EXPECT_EQ(ReadToEnd(reader), pcm);
}

// A cut mp3 whose header still counts every frame of the whole file: the length is what is there.
TEST(ReaderDamagedFile, TruncatedMp3LengthComesFromItsData) {
    QTemporaryDir dir;
    QFile whole(AudioFixture("tone-440-30s-22050-mono.mp3"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    for (const int percent : {10, 50, 95}) {
        const QString path = dir.filePath(QStringLiteral("cut-%1.mp3").arg(percent));
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes.left(bytes.size() * percent / 100));
        out.close();
        TAudioFileReader reader(path);
        const std::vector<uint8_t> pcm = ReadToEnd(reader);
        const double heardMs = 1000.0 * double(FrameCount(pcm, reader.WaveFormat())) / reader.WaveFormat().nSamplesPerSec;
        const double lengthMs = double(reader.Duration()) / kMediaUnitsPerMs;
        EXPECT_NEAR(lengthMs, heardMs, heardMs / 10) << percent << " %";
    }
}

// Something that is not a regular file would block the open or never end: refused at once.
TEST(ReaderOpen, APipeIsRefusedWithoutReadingIt) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("bell.wav"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    try {
        TAudioFileReader reader(fifo);
        FAIL() << "opened";
    } catch (const EAudioReadError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Not a regular file: a pipe (FIFO) cannot be played."));
    }
    EXPECT_THROW(TAudioFileReader reader(QStringLiteral("/dev/zero")), EAudioReadError);
    EXPECT_THROW(TAudioFileReader reader(dir.path()), EAudioReadError);
}

// A wave header whose figures make the byte rate wrap in 32 bits, or claim an endless file.
TEST(ReaderOpen, HeaderFiguresThatCannotBePlayedAreRefused) {
    QTemporaryDir dir;
    const auto wave = [&](const char* name, uint32_t rate, uint32_t dataBytes) {
        QByteArray bytes("RIFF\0\0\0\0WAVEfmt ", 16);
        const auto put32 = [&](uint32_t v) { bytes.append(reinterpret_cast<const char*>(&v), 4); };
        const auto put16 = [&](uint16_t v) { bytes.append(reinterpret_cast<const char*>(&v), 2); };
        put32(16);
        put16(1);
        put16(2);
        put32(rate);
        put32(rate * 4);
        put16(4);
        put16(16);
        bytes.append("data", 4);
        put32(dataBytes);
        bytes.append(QByteArray(300 - bytes.size(), '\x11'));
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
        return path;
    };
    try {
        TAudioFileReader reader(wave("rate-2-30.wav", 1u << 30, 256));
        FAIL() << "opened";
    } catch (const EAudioReadError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Unsupported sample rate: 1073741824 Hz."));
    }
    EXPECT_THROW(TAudioFileReader reader(wave("rate-50.wav", 50, 256)), EAudioReadError);
    // A data size far beyond the file plays what is there.
    TAudioFileReader reader(wave("long.wav", 44100, 0xFFFFFFF0u));
    EXPECT_GT(reader.Duration(), 0);
    EXPECT_EQ(ReadToEnd(reader).size(), 256u);
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
