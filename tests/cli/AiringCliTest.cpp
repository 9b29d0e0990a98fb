// tessora-cli check and report on a small station folder: the exact lines, the exit status,
// and the errors.
#include "ChannelFile.h"
#include "CliRun.h"
#include "PeriodicList.h"
#include "TempFolder.h"

#include <QDate>
#include <QtEndian>

#include <sys/stat.h>

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

// The report as run at `now`: items whose start is still to come then are pending.
QProcessEnvironment At(const QString& now) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TESSORA_NOW", now);
    return env;
}
const QString kLongAfter = "2027-01-01T00:00:00.000";

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
    const CliRun friday = Cli({"report", s.Path(), "2026-12-11"}, {}, At(kLongAfter));
    EXPECT_EQ(friday.status, 0) << friday.err.toStdString();
    EXPECT_EQ(friday.out,
              "0\t一号\t1\t上课铃\t08:00:00\t08:00:30\t08:00:00.250\t250\n"
              "0\t一号\t2\tgone\t09:00:00\t09:01:00\tmissed\t\n"
              "0\t一号\t3\tbad\t10:00:00\t10:01:00\tmissed\t\n"
              "0\t一号\t4\thidden\t08:00:05\t08:00:20\tmissed\t\n"
              "1\t二号\t1\tbell\t08:00:00\t08:00:30\t08:00:02.000\t2000\n"
              "total\t5\theard\t2\tmissed\t3\tpending\t0\n");

    // Saturday: no list on channel 1, and no log at all.
    const CliRun saturday = Cli({"report", s.Path(), "2026-12-12"}, {}, At(kLongAfter));
    EXPECT_EQ(saturday.status, 0);
    EXPECT_TRUE(saturday.out.endsWith("0\t一号\t4\thidden\t08:00:05\t08:00:20\tmissed\t\ntotal\t4\theard\t0\tmissed\t4\tpending\t0\n"))
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
    const CliRun badNow = Cli({"report", s.Path(), "2026-12-12"}, {}, At("noon"));
    ExpectFailure(badNow, "TESSORA_NOW is not a moment");
}

TEST(CliReport, ItemsStillToComeTodayArePendingNotMissed) {
    StationFolder s;
    s.dir.Write("asrun/2026-12-11.tsv",
                "2026-12-11T08:00:00.250\t0\t一号\tstart\t1\t上课铃\t" + s.Path("bell.wav").toUtf8() + "\t250\n");
    // 09:00:00 exactly is not to come any more; 10:00 is. The next day is all to come.
    const CliRun nine = Cli({"report", s.Path(), "2026-12-11"}, {}, At("2026-12-11T09:00:00.000"));
    EXPECT_EQ(nine.status, 0) << nine.err.toStdString();
    EXPECT_EQ(nine.out,
              "0\t一号\t1\t上课铃\t08:00:00\t08:00:30\t08:00:00.250\t250\n"
              "0\t一号\t2\tgone\t09:00:00\t09:01:00\tmissed\t\n"
              "0\t一号\t3\tbad\t10:00:00\t10:01:00\tpending\t\n"
              "0\t一号\t4\thidden\t08:00:05\t08:00:20\tmissed\t\n"
              "1\t二号\t1\tbell\t08:00:00\t08:00:30\tmissed\t\n"
              "total\t5\theard\t1\tmissed\t3\tpending\t1\n");
    const CliRun early = Cli({"report", s.Path(), "2026-12-11"}, {}, At("2026-12-10T23:59:59.999"));
    EXPECT_TRUE(early.out.endsWith("total\t5\theard\t1\tmissed\t0\tpending\t4\n")) << early.out.toStdString();
}

TEST(CliReport, AChannelWhoseListCannotBeReadIsNamedAndTheOthersAreReported) {
    StationFolder s;
    QFile::remove(s.Path("two.lst"));
    const CliRun run = Cli({"report", s.Path(), "2026-12-11"}, {}, At(kLongAfter));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "0\t一号\t1\t上课铃\t08:00:00\t08:00:30\tmissed\t\n"
              "0\t一号\t2\tgone\t09:00:00\t09:01:00\tmissed\t\n"
              "0\t一号\t3\tbad\t10:00:00\t10:01:00\tmissed\t\n"
              "0\t一号\t4\thidden\t08:00:05\t08:00:20\tmissed\t\n"
              "1\t二号\t-\t-\t-\t-\tlist-unreadable\t" + s.Path("two.lst") + ": File not found\n"
              "total\t4\theard\t0\tmissed\t4\tpending\t0\n");
    EXPECT_EQ(run.err, "tessora-cli: channel 1 (二号): list-unreadable: " + s.Path("two.lst") + ": File not found\n");

    // A list cut short: its whole records are reported, and the cut is said.
    QFile one(s.Path("one.lst"));
    ASSERT_TRUE(one.resize(600 + 100));
    const CliRun cut = Cli({"report", s.Path(), "2026-12-11"}, {}, At(kLongAfter));
    EXPECT_EQ(cut.status, 1);
    EXPECT_TRUE(cut.out.startsWith("0\t一号\t1\t上课铃\t08:00:00\t08:00:30\tmissed\t\n1\t二号\t-")) << cut.out.toStdString();
    EXPECT_TRUE(cut.err.startsWith("tessora-cli: channel 0 (一号): list-damaged: " + s.Path("one.lst") +
                                   ": List is damaged: 700 bytes is not a whole number of 600-byte records"))
        << cut.err.toStdString();
}

TEST(CliReport, ALogLineCutShortIsCountedAsDamaged) {
    StationFolder s;
    const QByteArray bell = s.Path("bell.wav").toUtf8();
    s.dir.Write("asrun/2026-12-11.tsv",
                "2026-12-11T08:00:00.250\t0\t一号\tstart\t1\t上课铃\t" + bell + "\t250\n"
                "2026-12-11T08:00:02.000\t1\t二号\tsta\n"  // cut by a crash, ended by the next start
                "2026-12-11T08:00:03.000\t0\t一号\tend\t1\t上课铃\t" + bell + "\t40\n"
                "2026-12-11T11:32");
    const CliRun run = Cli({"report", s.Path(), "2026-12-11"}, {}, At(kLongAfter));
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.endsWith("1\t二号\t1\tbell\t08:00:00\t08:00:30\tmissed\t\n"
                                 "total\t5\theard\t1\tmissed\t4\tpending\t0\tdamaged\t2\n"))
        << run.out.toStdString();
    EXPECT_TRUE(run.err.contains("2026-12-11.tsv: 2 damaged lines (line 2, 4)")) << run.err.toStdString();
}

// A channel file cut inside its second record: the first channel is all that can be read, and
// every command that reads the file says so.
TEST(CliReportAndCheck, AChannelFileCutInsideARecordIsNamedAsDamaged) {
    StationFolder s;
    QFile file(s.Path("tessora.cfg"));
    ASSERT_TRUE(file.resize(int(ChannelLayout::Size) + 300));
    const QString damage = s.Path("tessora.cfg") + ": 880 bytes is not a whole number of 580-byte channel records "
                                                   "(300 bytes left over)";

    const CliRun check = Cli({"check", s.Path(), "2026-12-11"}, {}, TwoOutputs());
    EXPECT_EQ(check.status, 1);
    EXPECT_TRUE(check.out.startsWith("0\t一号\t2\tfile-missing\t")) << check.out.toStdString();
    EXPECT_TRUE(check.out.endsWith("1\t\t\tchannel-file-damaged\t" + damage + "\n")) << check.out.toStdString();

    const CliRun report = Cli({"report", s.Path(), "2026-12-11"}, {}, At(kLongAfter));
    EXPECT_EQ(report.status, 1);
    EXPECT_TRUE(report.out.endsWith("0\t一号\t4\thidden\t08:00:05\t08:00:20\tmissed\t\n"
                                    "total\t4\theard\t0\tmissed\t4\tpending\t0\n"))
        << report.out.toStdString();
    EXPECT_EQ(report.err, "tessora-cli: the channel file is damaged: " + damage + "; reporting the channels read before it\n");

    const CliRun channels = Cli({"channels", s.Path("tessora.cfg")});
    EXPECT_EQ(channels.status, 1);
    EXPECT_EQ(channels.out, "一号\t0\t0\t0\t0\t" + s.Path("one.lst") + "\t\n");
    EXPECT_EQ(channels.err, "tessora-cli: the channel file is damaged: " + damage + "; listing the channels read before it\n");
}

TEST(CliCheck, APipeInAFolderItemIsUnplayable) {
    StationFolder s;
    s.dir.MakeFolder("music");
    s.dir.Write("music/a.wav", SilentWav(800));
    ASSERT_EQ(::mkfifo(s.Path("music/b.mp3").toLocal8Bit().constData(), 0600), 0);
    ASSERT_EQ(::mkfifo(s.Path("music/notes").toLocal8Bit().constData(), 0600), 0);  // not an audio name
    s.MakeList("one", "music\t12:00:00\t12:30:00\tfolder\t" + s.Path("music") + "\t0\t0\n");
    const CliRun run = Cli({"check", s.Path(), "2026-12-11"}, {}, TwoOutputs());
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.startsWith("0\t一号\t1\tfile-unplayable\t" + s.Path("music/b.mp3") + ": Not a regular file\n"))
        << run.out.toStdString();
    EXPECT_FALSE(run.out.contains("notes"));
}
