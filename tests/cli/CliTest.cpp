// tessora-cli as an operator's script sees it: the exact output, the exit status, and nothing
// written when something is wrong.
#include "ChannelFile.h"
#include "CliRun.h"
#include "TempFolder.h"

#include <QFileInfo>

#include <gtest/gtest.h>

using namespace tessora;

namespace {

const QByteArray kItems =
    "早操\t07:05:00\t07:10:00\tfile\t/音乐/a.mp3\t1\t0\t晨练\n"
    "\n"
    "上课铃\t08:00:00\t08:00:30\tfile\t/bells/in.wav\t0\t0\t\n"
    "午间\t12:00:00\t13:00:00\tfolder\t/music/noon\t1\t1\tquiet\n"
    "收音\t19:00:00\t20:00:00\tdevice\t收音机\t0\t0\n";

const QString kListed =
    "1\t早操\t07:05:00\t07:10:00\t/音乐/a.mp3\t 循环播放\t晨练\n"
    "2\t上课铃\t08:00:00\t08:00:30\t/bells/in.wav\t\t\n"
    "3\t午间\t12:00:00\t13:00:00\t/music/noon\t随机 循环播放\tquiet\n"
    "4\t收音\t19:00:00\t20:00:00\t收音机\t\t\n";

}  // namespace

TEST(Cli, MakeListThenListShowsTheRows) {
    TempFolder dir;
    const CliRun made = Cli({"make-list", dir.Path("day")}, kItems);
    EXPECT_EQ(made.status, 0) << made.err.toStdString();
    EXPECT_EQ(dir.Read("day.lst").size(), 2400);
    const CliRun listed = Cli({"list", dir.Path("day.lst")});
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out, kListed);
}

TEST(Cli, MakeListNamesTheBadLineAndWritesNothing) {
    struct Case { QByteArray input; QString error; };
    const Case cases[] = {
        {kItems + "晚\t21:00:00\t21:00:00\tfile\t/a.wav\t0\t0\t\n", "line 6: 开始日期必须在结束日期之前"},
        {"x\t08:00:00\t09:00:00\tfile\t\t0\t0\t\n", "line 1: 请选择播放内容"},
        {"x\t8am\t09:00:00\tfile\t/a\t0\t0\t\n", "line 1: 日期输入不正确"},
        {"x\t08:00:00\t09:00:00\ttape\t/a\t0\t0\t\n", "line 1: Kind must be file, folder or device"},
        {"x\t08:00:00\t09:00:00\tfile\t/a\t2\t0\t\n", "line 1: Loop must be 0 or 1"},
        {"x\t08:00:00\t09:00:00\tdevice\tVCR\t0\t0\t\n", "line 1: a device is one of"},
        {"x\t08:00:00\n", "line 1: expected 8 TAB-separated fields"},
        {QString("长").repeated(26).toUtf8() + "\t08:00:00\t09:00:00\tfile\t/a\t0\t0\t\n", "line 1: 节目名称过长"},
        {"\xF0\x9F\x94\x94\t08:00:00\t09:00:00\tfile\t/a\t0\t0\t\n", "line 1: 含有无法保存的字符"},
    };
    for (const Case& c : cases) {
        TempFolder dir;
        ExpectFailure(Cli({"make-list", dir.Path("day")}, c.input), c.error);
        EXPECT_TRUE(dir.Entries().isEmpty());
    }
}

TEST(Cli, ResolvePrintsTheDaysLine) {
    TempFolder dir;
    const QByteArray week = "/sun.lst\n/mon.lst\n\n/wed.lst\n/thu.lst\n/fri.lst\n/sat.lst\n";
    EXPECT_EQ(Cli({"make-periodic", dir.Path("week")}, week).status, 0);
    EXPECT_EQ(dir.Read("week.lsm"), QByteArray("/sun.lst\r\n/mon.lst\r\n\r\n/wed.lst\r\n/thu.lst\r\n/fri.lst\r\n/sat.lst\r\n"));
    struct Case { const char* date; const char* line; };
    for (const Case& c : {Case{"2026-12-06", "/sun.lst\n"}, Case{"2026-12-08", "\n"}, Case{"2026-12-12", "/sat.lst\n"}}) {
        const CliRun run = Cli({"resolve", dir.Path("week.lsm"), c.date});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, c.line) << c.date;
    }
    ExpectFailure(Cli({"resolve", dir.Path("week.lsm"), "2026-02-30"}), "not a date");
    ExpectFailure(Cli({"resolve", dir.Path("none.lsm"), "2026-02-03"}), "File not found");
}

TEST(Cli, MakePeriodicTakesOnlyWholePeriods) {
    TempFolder dir;
    ExpectFailure(Cli({"make-periodic", dir.Path("odd")}, "a\nb\n"), "7, 31 or 366 lines, not 2");
    EXPECT_TRUE(dir.Entries().isEmpty());
    EXPECT_EQ(Cli({"make-periodic", dir.Path("month.LSM")}, QByteArray(31, '\n')).status, 0);
    EXPECT_EQ(dir.Read("month.LSM").size(), 62);
}

TEST(Cli, DueAnswersForDayAndPeriodicLists) {
    TempFolder dir;
    ASSERT_EQ(Cli({"make-list", dir.Path("day")}, kItems).status, 0);
    const QByteArray week = (QByteArray("\n") + dir.Path("day.lst").toUtf8() + "\n\n\n\n\n\n");  // Monday only
    ASSERT_EQ(Cli({"make-periodic", dir.Path("week")}, week).status, 0);
    struct Case { QString file; const char* when; const char* answer; };
    const Case cases[] = {
        {dir.Path("day.lst"), "2026-12-10T08:00:00.5", "2\t上课铃\n"},
        {dir.Path("day.lst"), "2026-12-10T08:00:00.0005", "none\n"},
        {dir.Path("day.lst"), "2026-12-10T08:00:29.999500", "none\n"},
        {dir.Path("day.lst"), "2026-12-10T12:30:00", "3\t午间\n"},
        {dir.Path("week.lsm"), "2026-12-07T08:00:10", "2\t上课铃\n"},   // Monday
        {dir.Path("week.lsm"), "2026-12-08T08:00:10", "none\n"},       // Tuesday: no list
    };
    for (const Case& c : cases) {
        const CliRun run = Cli({"due", c.file, c.when});
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_EQ(run.out, c.answer) << c.when;
    }
    ExpectFailure(Cli({"due", dir.Path("day.lst"), "2026-12-10 08:00"}), "not a moment");
    ExpectFailure(Cli({"due", dir.Path("day.txt"), "2026-12-10T08:00:00"}), ".lst");
}

TEST(Cli, ChannelsListsTheStoredFields) {
    TempFolder dir;
    ChannelConfig a;
    a.Title = "一楼";
    a.DayListFile = "/l/一.lst";
    a.SoundCard = 2;
    a.PlayState = PlayPaused;
    a.Volume = -1200;
    ChannelConfig b;
    b.Title = "操场";
    b.PeriodicListFile = dir.Write("w.lsm", QByteArray(14, '\n'));
    b.DayListFile = "/ignored.lst";
    b.PlayMode = ManualMode;
    TChannelFile().SaveChannels(dir.Path("tessora.cfg"), {a, b});
    const CliRun run = Cli({"channels", dir.Path("tessora.cfg")});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "一楼\t2\t1\t0\t-1200\t/l/一.lst\t\n操场\t0\t0\t1\t0\t\t" + b.PeriodicListFile + "\n");

    QFile::remove(b.PeriodicListFile);
    ExpectFailure(Cli({"channels", dir.Path("tessora.cfg")}), "File not found");
}

TEST(Cli, MakeChannelsWritesWhatChannelsPrints) {
    TempFolder dir;
    const QString lines = "一楼\t0\t0\t0\t-500\t/l/a.lst\t\n操场\t1\t2\t1\t0\t\t\n";
    const CliRun made = Cli({"make-channels", dir.Path("tessora")}, lines.toUtf8());
    EXPECT_EQ(made.status, 0) << made.err.toStdString();
    EXPECT_EQ(dir.Read("tessora.cfg").size(), 1160);
    EXPECT_EQ(Cli({"channels", dir.Path("tessora.cfg")}).out, lines);

    struct Case { QByteArray input; const char* error; };
    for (const Case& c : {Case{"a\t0\t3\t0\t0\t\t\n", "line 1: PlayState must be a number from 0 to 2"},
                          Case{"a\t0\t0\t0\t5\t\t\n", "line 1: Volume must be a number from -10000 to 0"},
                          Case{"ok\t0\t0\t0\t0\t\t\nshort\t0\n", "line 2: expected 7 TAB-separated fields"}}) {
        TempFolder empty;
        ExpectFailure(Cli({"make-channels", empty.Path("t")}, c.input), c.error);
        EXPECT_TRUE(empty.Entries().isEmpty());
    }
}

TEST(Cli, HelpAndUsage) {
    const CliRun help = Cli({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* command : {"list FILE", "resolve FILE.lsm", "due FILE WHEN", "channels FILE.cfg", "make-list OUT",
                                "make-periodic OUT", "make-channels OUT", "report FOLDER YYYY-MM-DD", "check FOLDER [YYYY-MM-DD]"})
        EXPECT_TRUE(help.out.contains(command)) << command;
    ExpectFailure(Cli({"frobnicate"}), "unknown command");
    ExpectFailure(Cli({"list"}), "usage: tessora-cli list FILE");
}

TEST(Cli, ADayListCutShortIsReportedByListAndDue) {
    TempFolder dir;
    ASSERT_EQ(Cli({"make-list", dir.Path("day")}, kItems).status, 0);
    QByteArray cut = dir.Read("day.lst");
    cut.chop(100);  // the last record lost its tail, as a copy cut short
    dir.Write("cut.lst", cut);
    const QByteArray week = "\n" + dir.Path("cut.lst").toUtf8() + "\n\n\n\n\n\n";  // Monday only
    ASSERT_EQ(Cli({"make-periodic", dir.Path("week")}, week).status, 0);
    for (const QStringList& args : {QStringList{"list", dir.Path("cut.lst")},
                                    QStringList{"due", dir.Path("cut.lst"), "2026-12-10T08:00:10"},
                                    QStringList{"due", dir.Path("week.lsm"), "2026-12-07T08:00:10"}})
        ExpectFailure(Cli(args), "cut.lst: List is damaged: 2300 bytes");
}

TEST(Cli, AutostartOnOffAndStatus) {
    TempFolder dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", dir.Path("config"));
    const QString entry = dir.Path("config/autostart/tessora.desktop");
    const QString program = QFileInfo(TESSORA_CLI).absolutePath() + "/tessora";
    struct Step { const char* what; QString out; };
    const Step steps[] = {
        {"status", "off\t" + entry + "\n"},
        {"on", "on\t" + entry + "\t" + program + "\n"},
        {"status", "on\t" + entry + "\t" + program + "\n"},
        {"off", "off\t" + entry + "\n"},
        {"off", "off\t" + entry + "\n"},
    };
    for (const Step& step : steps) {
        const CliRun run = Cli({"autostart", step.what}, {}, env);
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_EQ(run.out, step.out) << step.what;
    }
    ExpectFailure(Cli({"autostart", "maybe"}, {}, env), "usage: tessora-cli autostart on|off|status");
}

TEST(Cli, WhereNamesTheProgramFolderOfACopyInAFolderOfItsOwn) {
    const CliRun run = Cli({"where"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, QFileInfo(TESSORA_CLI).absolutePath() + "/\n");
}
