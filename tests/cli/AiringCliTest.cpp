// tessora-cli check and report on a small station folder: the exact lines, the exit status,
// and the errors.
#include "ChannelFile.h"
#include "CliRun.h"
#include "PeriodicList.h"
#include "TempFolder.h"

#include <QDate>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace tessora;

namespace {

// A short mono 16-bit WAV file of silence.
QByteArray SilentWav(uint32_t frames) {
    const uint32_t rate = 8000, dataBytes = frames * 2;
    QByteArray wav;
    const auto u32 = [&](uint32_t v) { v = qToLittleEndian(v); wav.append(reinterpret_cast<const char*>(&v), 4); };
    const auto u16 = [&](uint16_t v) { v = qToLittleEndian(v); wav.append(reinterpret_cast<const char*>(&v), 2); };
    wav += "RIFF";
    u32(36 + dataBytes);
    wav += "WAVEfmt ";
    u32(16);
    u16(1);         // PCM
    u16(1);         // mono
    u32(rate);
    u32(rate * 2);  // bytes per second
    u16(2);         // block align
    u16(16);        // bits
    wav += "data";
    u32(dataBytes);
    wav += QByteArray(static_cast<qsizetype>(dataBytes), '\0');
    return wav;
}

QProcessEnvironment TwoOutputs() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TESSORA_AUDIO", "null");
    env.insert("TESSORA_AUDIO_DEVICES", "2");
    return env;
}

// Channel 0 follows one.lst; channel 1, on a sound card that is not there, a week list that
// names two.lst on Fridays only.
class StationFolder {
public:
    StationFolder() {
        dir.Write("bell.wav", SilentWav(8000));
        dir.Write("bad.wav", "not a sound");
        MakeList("one", "上课铃\t08:00:00\t08:00:30\tfile\t" + Path("bell.wav") + "\t0\t0\n"
                        "gone\t09:00:00\t09:01:00\tfile\t" + Path("gone.wav") + "\t0\t0\n"
                        "bad\t10:00:00\t10:01:00\tfile\t" + Path("bad.wav") + "\t0\t0\n"
                        "hidden\t08:00:05\t08:00:20\tfile\t" + Path("bell.wav") + "\t0\t0\n"
                        "radio\t19:00:00\t20:00:00\tdevice\t收音机\t0\t0\n");
        MakeList("two", "bell\t08:00:00\t08:00:30\tfile\t" + Path("bell.wav") + "\t0\t0\n");
        WritePeriodicList(Path("week"), {"", "", "", "", "", Path("two.lst"), ""});
        ChannelConfig one, two;
        one.Title = "一号";
        one.DayListFile = Path("one.lst");
        two.Title = "二号";
        two.SoundCard = 5;
        two.PeriodicListFile = Path("week.lsm");
        TChannelFile().SaveChannels(Path("tessora.cfg"), {one, two});
    }
    QString Path(const QString& name = QString()) const { return dir.Path(name); }
    void MakeList(const QString& name, const QString& items) const {
        EXPECT_EQ(Cli({"make-list", Path(name)}, items.toUtf8()).status, 0);
    }

    TempFolder dir;
};

}  // namespace

TEST(CliCheck, NamesEachProblemOfTheDayAndExitsOne) {
    StationFolder s;
    const CliRun friday = Cli({"check", s.Path(), "2026-12-11"}, {}, TwoOutputs());
    EXPECT_EQ(friday.status, 1) << friday.err.toStdString();
    const QStringList lines = friday.out.split('\n');
    ASSERT_EQ(lines.size(), 5) << friday.out.toStdString();
    EXPECT_EQ(lines[0], "0\t一号\t2\tfile-missing\t" + s.Path("gone.wav"));
    EXPECT_TRUE(lines[1].startsWith("0\t一号\t3\tfile-unplayable\t")) << lines[1].toStdString();
    EXPECT_GT(lines[1].split('\t').value(4).size(), 0) << "the reader's message";
    EXPECT_EQ(lines[2], "0\t一号\t4\tnever-due\tearlier item 1 covers its whole time");
    EXPECT_EQ(lines[3], "1\t二号\t\tno-device\tsound card 5; the outputs are 0 to 1");
    EXPECT_EQ(lines[4], "");

    const CliRun saturday = Cli({"check", s.Path(), "2026-12-12"}, {}, TwoOutputs());
    EXPECT_EQ(saturday.status, 1);
    EXPECT_TRUE(saturday.out.endsWith("1\t二号\t\tno-list\t" + s.Path("week.lsm") + " names no day list for 2026-12-12 Sat\n"))
        << saturday.out.toStdString();
}

TEST(CliCheck, ACleanStationSaysNothingAndExitsZero) {
    StationFolder s;
    s.MakeList("one", "上课铃\t08:00:00\t08:00:30\tfile\t" + s.Path("bell.wav") + "\t0\t0\n");
    ChannelConfig one;
    one.Title = "一号";
    one.DayListFile = s.Path("one.lst");
    one.SoundCard = 1;
    TChannelFile().SaveChannels(s.Path("tessora.cfg"), {one});
    const CliRun run = Cli({"check", s.Path(), "2026-12-11"}, {}, TwoOutputs());
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "");
}

TEST(CliCheck, ChecksTomorrowUnlessToldADate) {
    StationFolder s;
    WritePeriodicList(s.Path("week"), PeriodicList(7));  // nothing on any day
    const CliRun run = Cli({"check", s.Path()}, {}, TwoOutputs());
    EXPECT_EQ(run.status, 1);
    const QString tomorrow = QDate::currentDate().addDays(1).toString("yyyy-MM-dd");
    EXPECT_TRUE(run.out.contains("\tno-list\t" + s.Path("week.lsm") + " names no day list for " + tomorrow))
        << run.out.toStdString();
}

TEST(CliReport, MatchesTheItemsOfTheDayAgainstTheLog) {
    StationFolder s;
    s.dir.Write("asrun/2026-12-11.tsv",
                "2026-12-11T07:59:58.100\t-1\t\tstartup\t\t\t\t\n"
                "2026-12-11T08:00:00.250\t0\t一号\tstart\t1\t上课铃\t" + s.Path("bell.wav").toUtf8() + "\t250\n"
                "2026-12-11T08:00:01.250\t0\t一号\tend\t1\t上课铃\t" + s.Path("bell.wav").toUtf8() + "\t0\n"
                "2026-12-11T08:00:01.700\t0\t一号\tstart\t1\t上课铃\t" + s.Path("bell.wav").toUtf8() + "\t1700\n"
                "2026-12-11T08:00:02.000\t1\t二号\tstart\t1\tbell\t" + s.Path("bell.wav").toUtf8() + "\t2000\n"
                "2026-12-11T09:00:00.500\t0\t一号\terror\t2\tgone\t" + s.Path("gone.wav").toUtf8() + "\tFile not found\n");
    const CliRun friday = Cli({"report", s.Path(), "2026-12-11"});
    EXPECT_EQ(friday.status, 0) << friday.err.toStdString();
    EXPECT_EQ(friday.out,
              "0\t一号\t1\t上课铃\t08:00:00\t08:00:30\t08:00:00.250\t250\n"
              "0\t一号\t2\tgone\t09:00:00\t09:01:00\tmissed\t\n"
              "0\t一号\t3\tbad\t10:00:00\t10:01:00\tmissed\t\n"
              "0\t一号\t4\thidden\t08:00:05\t08:00:20\tmissed\t\n"
              "1\t二号\t1\tbell\t08:00:00\t08:00:30\t08:00:02.000\t2000\n"
              "total\t5\theard\t2\tmissed\t3\n");

    // Saturday: no list on channel 1, and no log at all.
    const CliRun saturday = Cli({"report", s.Path(), "2026-12-12"});
    EXPECT_EQ(saturday.status, 0);
    EXPECT_TRUE(saturday.out.endsWith("0\t一号\t4\thidden\t08:00:05\t08:00:20\tmissed\t\ntotal\t4\theard\t0\tmissed\t4\n"))
        << saturday.out.toStdString();
}

TEST(CliReportAndCheck, FailuresAreOneLine) {
    StationFolder s;
    TempFolder empty;
    ExpectFailure(Cli({"report", empty.Path(), "2026-12-11"}), "tessora.cfg: File not found");
    ExpectFailure(Cli({"check", empty.Path(), "2026-12-11"}), "tessora.cfg: File not found");
    ExpectFailure(Cli({"report", s.Path("one.lst"), "2026-12-11"}), "not a folder");
    ExpectFailure(Cli({"report", s.Path(), "2026-13-01"}), "not a date");
    ExpectFailure(Cli({"check", s.Path(), "tomorrow"}), "not a date");
    ExpectFailure(Cli({"report", s.Path()}), "usage: tessora-cli report FOLDER YYYY-MM-DD");
    ExpectFailure(Cli({"check"}), "usage: tessora-cli check FOLDER [YYYY-MM-DD]");
    s.dir.MakeFolder("asrun/2026-12-11.tsv");
    ExpectFailure(Cli({"report", s.Path(), "2026-12-11"}), "2026-12-11.tsv: Is a folder");
    QFile::remove(s.Path("two.lst"));
    ExpectFailure(Cli({"report", s.Path(), "2026-12-11"}), "channel 1 (二号): " + s.Path("two.lst") + ": File not found");
}
