// MIDI files: rendered with the sound font, length known at open, seekable and repeatable.

#include "MidiDecoder.h"
#include "ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <random>

namespace tessora::test {
namespace {

// tiny.mid: A4 from 0 to 0.5 s, A4 again from 0.5 to 0.75 s after a tempo change, end of
// track at 1.25 s.
constexpr double kTinyLength = 1.25;

std::vector<uint8_t> Slice(const std::vector<uint8_t>& pcm, const WaveFormatEx& f, double from, double to) {
    const size_t a = size_t(from * f.nSamplesPerSec) * f.nBlockAlign, b = size_t(to * f.nSamplesPerSec) * f.nBlockAlign;
    return {pcm.begin() + std::min(a, pcm.size()), pcm.begin() + std::min(b, pcm.size())};
}

TEST(MidiReader, RendersTheNotesAtTheirTimesAndKnowsTheLength) {
    TAudioFileReader reader(AudioFixture("tiny.mid"));
    const WaveFormatEx& f = reader.WaveFormat();
    EXPECT_EQ(f.nChannels, 2);
    EXPECT_EQ(f.wBitsPerSample, 16);
    EXPECT_EQ(f.nSamplesPerSec, MidiDecoder::kSampleRate);
    const int64_t frames = std::llround((kTinyLength + MidiDecoder::kTailSeconds) * MidiDecoder::kSampleRate);
    EXPECT_EQ(reader.Duration(), TimeAtFrame(frames, f));

    const std::vector<uint8_t> pcm = ReadToEnd(reader, 5000);
    ASSERT_EQ(int64_t(FrameCount(pcm, f)), frames);
    EXPECT_EQ(reader.Position(), reader.Duration());

    auto slice = [&](double from, double to) { return Slice(pcm, f, from, to); };
    // The notes sound where the tempo map puts them, at the note's pitch; well after the
    // last note-off, the tail is (nearly) silent.
    const std::vector<uint8_t> firstNote = slice(0.05, 0.45), secondNote = slice(0.52, 0.72);
    EXPECT_GT(ChannelRms(firstNote, f, 0), 300);
    EXPECT_GT(ChannelRms(secondNote, f, 0), 300);
    EXPECT_NEAR(ToneFrequency(firstNote, f, 0), 440, 15);
    EXPECT_LT(ChannelRms(slice(2.0, 2.25), f, 0), ChannelRms(firstNote, f, 0) / 30);
    EXPECT_EQ(reader.Read(const_cast<uint8_t*>(pcm.data()), 100), 0u);
}

TEST(MidiReader, SeekToZeroReplaysTheSameSound) {
    TAudioFileReader reader(AudioFixture("tiny.mid"));
    const std::vector<uint8_t> first = ReadToEnd(reader, 7777);
    reader.Seek(0);
    EXPECT_EQ(ReadToEnd(reader, 4096), first);
    reader.Seek(9000 * kMediaUnitsPerMs);
    reader.Seek(0);
    EXPECT_EQ(ReadToEnd(reader, 4096), first);
}

TEST(MidiReader, SeekLandsOnTheSampleWithTheStateUpToIt) {
    TAudioFileReader reader(AudioFixture("tiny.mid"));
    const WaveFormatEx& f = reader.WaveFormat();
    const std::vector<uint8_t> whole = ReadToEnd(reader);
    // 0.5 s is the second note's onset: the note starts right there, as the first one does
    // at 0 (give or take the synthesizer's block of 64 frames), whatever was read before.
    auto onset = [&f](const std::vector<uint8_t>& pcm) {
        size_t frame = 0;
        while (frame < FrameCount(pcm, f) && std::abs(SampleAt(pcm, f, frame, 0)) < 50)
            ++frame;
        return int64_t(frame);
    };
    std::vector<uint8_t> atSecondNote;
    for (MediaTime previous : {2000, 0, 1000}) {
        reader.Seek(previous * kMediaUnitsPerMs);
        ReadToEnd(reader, 100000);
        reader.Seek(500 * kMediaUnitsPerMs);
        EXPECT_EQ(reader.Position(), 500 * kMediaUnitsPerMs);
        const std::vector<uint8_t> after = ReadToEnd(reader, 3000);
        EXPECT_EQ(after.size(), Slice(whole, f, 0.5, 99).size());
        EXPECT_LE(std::abs(onset(after) - onset(whole)), 64) << "after reading from " << previous;
        if (atSecondNote.empty())
            atSecondNote = after;
        EXPECT_TRUE(after == atSecondNote) << "after reading from " << previous;
    }
    // Past every note: the earlier notes' reverb rings in a play-through, not after the seek.
    reader.Seek(1000 * kMediaUnitsPerMs);
    EXPECT_LT(ChannelRms(ReadToEnd(reader), f, 0), 300);
    // Into a held note: the note is not restarted, the next one sounds.
    reader.Seek(300 * kMediaUnitsPerMs);
    const std::vector<uint8_t> rest = ReadToEnd(reader);
    EXPECT_EQ(rest.size(), whole.size() - size_t(0.3 * f.nSamplesPerSec) * f.nBlockAlign);
    EXPECT_LT(ChannelRms(Slice(rest, f, 0.0, 0.15), f, 0), 300);
    EXPECT_GT(ChannelRms(Slice(rest, f, 0.22, 0.42), f, 0), 300);
}

TEST(MidiReader, MissingSoundFontIsAClearError) {
    SetMidiSoundFont(QStringLiteral("/nonexistent/NoSuchFont.sf2"));
    try {
        TAudioFileReader reader(AudioFixture("tiny.mid"));
        ADD_FAILURE() << "opened without a sound font";
    } catch (const EAudioReadError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("/nonexistent/NoSuchFont.sf2"))) << e.what();
        EXPECT_TRUE(e.Message().contains(QStringLiteral("sound font"))) << e.what();
    }
    SetMidiSoundFont(QString());
}

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

QString WriteFile(const QTemporaryDir& dir, const char* name, const QByteArray& bytes) {
    const QString path = dir.filePath(QString::fromUtf8(name));
    QFile out(path);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(bytes);
    return path;
}

QByteArray LittleEndian32(uint32_t v) {
    const char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    return QByteArray(b, 4);
}

TEST(MidiReader, TheContentDecidesNotTheName) {
    QTemporaryDir dir;
    const QByteArray tiny = FileBytes(AudioFixture("tiny.mid"));
    TAudioFileReader plain(AudioFixture("tiny.mid"));
    const std::vector<uint8_t> expected = ReadToEnd(plain);

    QByteArray riff = "RMID" + QByteArray("note") + LittleEndian32(3) + "abc" + QByteArray(1, 0) + "data" +
                      LittleEndian32(uint32_t(tiny.size())) + tiny;
    riff = "RIFF" + LittleEndian32(uint32_t(riff.size())) + riff;
    for (const char* name : {"wrapped.rmi", "renamed.wav"}) {
        TAudioFileReader reader(WriteFile(dir, name, name[0] == 'w' ? riff : tiny));
        EXPECT_EQ(ReadToEnd(reader), expected) << name;
    }
    // An mp3 named as MIDI is still an mp3.
    TAudioFileReader mp3(WriteFile(dir, "song.mid", FileBytes(AudioFixture("tone-440-3s-44100-stereo.mp3"))));
    EXPECT_EQ(mp3.Duration(), TimeAtFrame(132300, mp3.WaveFormat()));
}

TEST(MidiReader, DamagedMidiFilesAreRefused) {
    QTemporaryDir dir;
    const QByteArray tiny = FileBytes(AudioFixture("tiny.mid"));
    struct Case {
        const char* name;
        QByteArray bytes;
    };
    QByteArray format2 = tiny;
    format2[9] = 2;  // independent sequences, which the synthesizer's sequencer cannot play
    for (const Case& c : {Case{"header-only.mid", tiny.left(14)}, Case{"garbage.mid", QByteArray(300, 'x')},
                          Case{"empty.mid", QByteArray()}, Case{"no-data.rmi", "RIFF\4\0\0\0RMID"},
                          Case{"format-2.mid", format2}}) {
        EXPECT_THROW(TAudioFileReader reader(WriteFile(dir, c.name, c.bytes)), EAudioReadError) << c.name;
    }
}

TEST(MidiReader, CutFilePlaysWhatItHolds) {
    QTemporaryDir dir;
    const QByteArray tiny = FileBytes(AudioFixture("tiny.mid"));
    // Cut after the first note's note-off: the first note is all there is.
    TAudioFileReader reader(WriteFile(dir, "cut.mid", tiny.left(tiny.size() - 20)));
    const WaveFormatEx& f = reader.WaveFormat();
    EXPECT_EQ(reader.Duration(), TimeAtFrame(std::llround((0.5 + MidiDecoder::kTailSeconds) * f.nSamplesPerSec), f));
    const std::vector<uint8_t> pcm = ReadToEnd(reader);
    EXPECT_GT(ChannelRms(Slice(pcm, f, 0.05, 0.45), f, 0), 300);
}

// An escaped sysex (F7) is passed over and the notes around it play; one in a cut track (the
// fuzzer's find) is handled too.
TEST(MidiReader, AnEscapedSysexIsPassedOver) {
    QTemporaryDir dir;
    const QByteArray track("\x00\xF7\x02\xF3\x01"       // the escape: a song select, sent raw
                           "\x00\x90\x3C\x64\x60\x80\x3C\x40"  // middle C for 96 ticks, half a second
                           "\x00\xFF\x2F\x00", 17);
    const QByteArray file = QByteArray("MThd\0\0\0\x06\0\0\0\x01\0\x60MTrk\0\0\0", 21) + char(track.size()) + track;
    TAudioFileReader reader(WriteFile(dir, "escape.mid", file));
    const WaveFormatEx& f = reader.WaveFormat();
    const std::vector<uint8_t> pcm = ReadToEnd(reader);
    EXPECT_GT(ChannelRms(Slice(pcm, f, 0.05, 0.45), f, 0), 300);

    const QByteArray found = QByteArray::fromBase64("TVRoZAAAAAYAAAABAGBNVHJrAAAAKgD3AAQAAAAAAAD/LwA=");
    try {
        TAudioFileReader cut(WriteFile(dir, "found.mid", found));
    } catch (const EAudioReadError&) {
    }
}

TEST(MidiReader, AnAbsurdlyLongFileStopsAfterADay) {
    QTemporaryDir dir;
    QByteArray bytes = FileBytes(AudioFixture("tiny.mid"));
    // The end of track waits 0x0FFFFFFF ticks, about eight days at the file's last tempo.
    bytes = bytes.left(bytes.size() - 5) + QByteArray("\xFF\xFF\xFF\x7F\xFF\x2F\x00", 7);
    bytes[21] = char(bytes[21] + 2);
    TAudioFileReader reader(WriteFile(dir, "long.mid", bytes));
    const WaveFormatEx& f = reader.WaveFormat();
    EXPECT_EQ(reader.Duration(), TimeAtFrame(std::llround((24 * 3600 + MidiDecoder::kTailSeconds) * f.nSamplesPerSec), f));
    reader.Seek(reader.Duration() - 500 * kMediaUnitsPerMs);
    const std::vector<uint8_t> last = ReadToEnd(reader);
    EXPECT_EQ(last.size(), size_t(f.nSamplesPerSec / 2) * f.nBlockAlign);
    EXPECT_EQ(ChannelRms(last, f, 0), 0);
}

// Every cut of the file, and bytes changed at random: each either plays or is refused with
// an EAudioReadError, and nothing reads out of bounds.
TEST(MidiReader, AnyCutOrDamageIsHandled) {
    QTemporaryDir dir;
    const QByteArray tiny = FileBytes(AudioFixture("tiny.mid"));
    std::vector<QByteArray> variants;
    for (qsizetype length = 4; length < tiny.size(); ++length)
        variants.push_back(tiny.left(length));
    std::mt19937 random(20261210);
    for (int i = 0; i < 60; ++i) {
        QByteArray bytes = tiny;
        for (int flips = 1 + int(random() % 4); flips > 0; --flips)
            bytes[qsizetype(random() % uint32_t(bytes.size()))] = char(random());
        variants.push_back(bytes);
    }
    std::vector<uint8_t> block(8192);
    int played = 0;
    for (size_t i = 0; i < variants.size(); ++i) {
        if (!variants[i].startsWith("MThd"))
            continue;  // then it is no MIDI file at all and goes to FFmpeg
        const QString path = WriteFile(dir, "variant.mid", variants[i]);
        try {
            TAudioFileReader reader(path);
            // A damaged delta time can make the file hours long: read its start only.
            for (int n = 0; n < 20 && reader.Read(block.data(), uint32_t(block.size())) != 0; ++n) {
            }
            reader.Seek(reader.Duration() / 2);
            reader.Read(block.data(), uint32_t(block.size()));
            ++played;
        } catch (const EAudioReadError& e) {
            EXPECT_FALSE(e.Message().isEmpty()) << "variant " << i;
        }
    }
    EXPECT_GT(played, 0);
}

}  // namespace
}  // namespace tessora::test
