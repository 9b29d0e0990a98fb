// The station calendar through tessora-cli: day, due, check and report on each day of the school
// year, a calendar that cannot be read, and the import of iCalendar feeds.
#include "CalendarImport.h"
#include "ChannelFile.h"
#include "CliRun.h"
#include "Command.h"
#include "SchoolYear.h"

#include <QDate>

#include <gtest/gtest.h>

using namespace tessora;
using namespace tessora::test;

namespace {

// The school year with its channel file: channels 通道0, 通道1 and 通道2.
class SchoolStation : public SchoolYearFolder {
public:
    SchoolStation() {
        std::vector<ChannelConfig> channels(3);
        for (int c = 0; c < 3; ++c) {
            channels[c].Title = QString("通道%1").arg(c);
            if (Periodic(c))
                channels[c].PeriodicListFile = Path("week.lsm");
            else
                channels[c].DayListFile = OwnList(c);
        }
        TChannelFile().SaveChannels(Path("tessora.cfg"), channels);
    }
    // The line of `channel` among the lines `out` prints, by its first field.
    static QStringList LinesOf(const QString& out, int channel) {
        QStringList lines;
        for (const QString& line : out.split('\n'))
            if (line.section('\t', 0, 0) == QString::number(channel)) lines << line;
        return lines;
    }
    QString ListColumn(const SchoolDay& day) const {
        const QString list = QString::fromUtf8(day.list);
        return list.isEmpty() || list == kSilentTarget ? list : ListPath(list);
    }
};

TEST(CliCalendar, DayNamesEachChannelsListAndWhatChoseIt) {
    SchoolStation s;
    for (const SchoolDay& day : kSchoolDays) {
        SCOPED_TRACE(day.date);
        const CliRun run = Cli({"day", s.Path(), day.date});
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_EQ(run.out.count('\n'), 3);
        EXPECT_EQ(SchoolStation::LinesOf(run.out, day.channel),
                  QStringList{QString("%1\t通道%1\t%2\t%3")
                                  .arg(day.channel)
                                  .arg(s.ListColumn(day), QString::fromUtf8(day.origin).replace("FOLDER", s.Path()))});
    }
}

TEST(CliCalendar, DueCheckAndReportFollowTheSameDays) {
    SchoolStation s;
    for (const SchoolDay& day : kSchoolDays) {
        SCOPED_TRACE(std::string(day.date) + " channel " + std::to_string(day.channel));
        const QString list = QString::fromUtf8(day.list);
        const bool sounds = !list.isEmpty() && list != kSilentTarget;
        const QString title = QString(list).remove(".lst");

        const CliRun due = Cli({"due", s.Path(), QString::number(day.channel), QString(day.date) + "T08:00:10"});
        EXPECT_EQ(due.out, sounds ? "1\t" + title + "\n" : QString("none\n")) << due.err.toStdString();

        // Each list's sound is missing: the missing file tells which list the check read.
        const QStringList check = SchoolStation::LinesOf(Cli({"check", s.Path(), day.date}).out, day.channel);
        if (sounds)
            EXPECT_EQ(check, QStringList{QString("%1\t通道%1\t1\tfile-missing\t%2").arg(day.channel).arg(SchoolYearFolder::Sound(list))});
        else if (list.isEmpty())
            EXPECT_TRUE(check.size() == 1 && check[0].contains("\tno-list\t")) << check.join('|').toStdString();
        else
            EXPECT_TRUE(check.isEmpty()) << check.join('|').toStdString();

        // Reported from after the school year, so that every item not heard is missed rather than pending.
        QProcessEnvironment later = QProcessEnvironment::systemEnvironment();
        later.insert("TESSORA_NOW", "2030-01-01T00:00:00.000");
        const QStringList report = SchoolStation::LinesOf(Cli({"report", s.Path(), day.date}, {}, later).out, day.channel);
        if (sounds)
            EXPECT_EQ(report, QStringList{QString("%1\t通道%1\t1\t%2\t08:00:00\t08:00:30\tmissed\t").arg(day.channel).arg(title)});
        else
            EXPECT_TRUE(report.isEmpty());
    }
}

TEST(CliCalendar, ACalendarThatCannotBeReadWholeIsNotFollowedAndSaysSo) {
    SchoolStation s;
    s.dir.Write("calendar.txt", kSchoolYearCalendar + "holiday\t2026-10-09\t2026-10-08\t*\t-silent-\t倒了\n");
    const CliRun day = Cli({"day", s.Path(), "2026-10-01"});
    EXPECT_EQ(day.status, 0);
    EXPECT_EQ(SchoolStation::LinesOf(day.out, 0), QStringList{"0\t通道0\t" + s.ListPath("one.lst") + "\tlist"});
    EXPECT_EQ(day.err, "tessora-cli: " + s.Path("calendar.txt") +
                           ": not followed, a line cannot be read: line 8: To 2026-10-08 is before From 2026-10-09\n");
    const CliRun check = Cli({"check", s.Path(), "2026-10-01"});
    EXPECT_TRUE(check.out.startsWith("-1\t\t\tcalendar-bad-line\tcalendar.txt:8: To 2026-10-08 is before From 2026-10-09\n"))
        << check.out.toStdString();
}

// A feed as a school district publishes it.
const QByteArray kFeed =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n"
    "BEGIN:VEVENT\r\nUID:national-day@district\r\nSUMMARY:国庆节\r\n"
    "DTSTART;VALUE=DATE:20261001\r\nDTEND;VALUE=DATE:20261008\r\nEND:VEVENT\r\n"
    "BEGIN:VEVENT\r\nUID:sports@district\r\nSUMMARY:运动会\r\n"
    "DTSTART;VALUE=DATE:20261105\r\nDTEND;VALUE=DATE:20261105\r\nEND:VEVENT\r\n"
    "BEGIN:VEVENT\r\nUID:meeting@district\r\nSUMMARY:家长会\r\n"
    "DTSTART:20261112T140000\r\nDTEND:20261112T160000\r\nEND:VEVENT\r\n"
    "BEGIN:VEVENT\r\nUID:founding@district\r\nSUMMARY:校庆\r\n"
    "DTSTART;VALUE=DATE:20200520\r\nDTEND;VALUE=DATE:20200521\r\nRRULE:FREQ=YEARLY\r\nEND:VEVENT\r\n"
    "END:VCALENDAR\r\n";

TEST(CalendarImport, AllDayEventsBecomeRulesAndTimedOnesAreRefused) {
    const cli::CalendarImport imported = cli::ImportICalendar(kFeed, "-silent-", "holiday", QDate(2026, 12, 11));
    QStringList lines;
    for (const cli::ImportedRule& r : imported.Rules) lines << r.Comment << FormatCalendarRule(r.Rule);
    EXPECT_EQ(lines, (QStringList{
                         "# UID national-day@district",  // DTEND is the day after: the 1st to the 7th
                         "holiday\t2026-10-01\t2026-10-07\t*\t-silent-\t国庆节",
                         "# UID sports@district",  // DTEND on DTSTART: that one day
                         "holiday\t2026-11-05\t\t*\t-silent-\t运动会",
                         "# UID founding@district 2027-05-20",  // each year from today, for two years
                         "holiday\t2027-05-20\t\t*\t-silent-\t校庆",
                         "# UID founding@district 2028-05-20",
                         "holiday\t2028-05-20\t\t*\t-silent-\t校庆",
                     }));
    ASSERT_EQ(imported.Refused.size(), 1u);
    EXPECT_EQ(imported.Refused[0].Uid, "meeting@district");
    EXPECT_TRUE(imported.Refused[0].Reason.startsWith("an event with a time of day")) << imported.Refused[0].Reason.toStdString();

    // An occurrence still going on today is kept; one over yesterday is not.
    const QByteArray week = "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:w\r\nSUMMARY:周\r\nDTSTART;VALUE=DATE:20260105\r\n"
                            "DTEND;VALUE=DATE:20260108\r\nRRULE:FREQ=MONTHLY;COUNT=20\r\nEXDATE;VALUE=DATE:20270105\r\n"
                            "END:VEVENT\r\nEND:VCALENDAR\r\n";
    const auto monthly = cli::ImportICalendar(week, "x.lst", "exam", QDate(2026, 12, 6));
    ASSERT_FALSE(monthly.Rules.empty());
    EXPECT_EQ(monthly.Rules.front().Rule.From, QDate(2026, 12, 5));
    EXPECT_EQ(monthly.Rules.front().Rule.To, QDate(2026, 12, 7));
    // The excluded date is left out, and the count ends the series before the two years.
    EXPECT_EQ(monthly.Rules[1].Rule.From, QDate(2027, 2, 5));
    EXPECT_EQ(monthly.Rules.back().Rule.From, QDate(2027, 8, 5));
    EXPECT_EQ(monthly.Rules.size(), 8u);
    EXPECT_THROW(cli::ImportICalendar("not a calendar", "x.lst", "exam", QDate(2026, 12, 6)), cli::CliError);
}

TEST(CliCalendar, ImportAppendsOnceAndADryRunWritesNothing) {
    SchoolStation s;
    const QString feed = s.dir.Write("district.ics", kFeed);
    const QByteArray before = s.dir.Read("calendar.txt");

    const CliRun dry = Cli({"calendar", s.Path(), "import", feed, "-silent-", "--dry-run"});
    EXPECT_EQ(dry.status, 0) << dry.err.toStdString();
    EXPECT_TRUE(dry.out.startsWith("would-add\tholiday\t2026-10-01\t2026-10-07\t*\t-silent-\t国庆节\n"
                                   "would-add\tholiday\t2026-11-05\t\t*\t-silent-\t运动会\n"))
        << dry.out.toStdString();
    EXPECT_TRUE(dry.out.endsWith("refused\tmeeting@district\t家长会\tan event with a time of day, not a whole day: 20261112T140000\n"))
        << dry.out.toStdString();
    EXPECT_EQ(s.dir.Read("calendar.txt"), before);

    const CliRun real = Cli({"calendar", s.Path(), "import", feed, "-silent-"});
    EXPECT_EQ(real.status, 0);
    EXPECT_EQ(real.out, QString(dry.out).replace("would-add", "added"));
    const QByteArray after = s.dir.Read("calendar.txt");
    EXPECT_TRUE(after.startsWith(before));
    EXPECT_TRUE(after.mid(before.size()).startsWith("# UID national-day@district\nholiday\t2026-10-01\t2026-10-07\t*\t-silent-\t国庆节\n"));
    // The calendar is read whole afterwards, and the import's day is silent.
    const CliRun day = Cli({"day", s.Path(), "2026-11-05"});
    EXPECT_EQ(day.err, "");
    EXPECT_TRUE(day.out.startsWith("0\t通道0\t-silent-\tcalendar:"));

    const CliRun again = Cli({"calendar", s.Path(), "import", feed, "-silent-"});
    EXPECT_TRUE(again.out.startsWith("present\tholiday\t2026-10-01")) << again.out.toStdString();
    EXPECT_EQ(s.dir.Read("calendar.txt"), after);

    ExpectFailure(Cli({"calendar", s.Path(), "import", feed}), "usage: tessora-cli calendar FOLDER import");
    ExpectFailure(Cli({"calendar", s.Path(), "import", s.Path("none.ics"), "-silent-"}), "none.ics: File not found");
    ExpectFailure(Cli({"calendar", s.Path("week.lsm"), "import", feed, "-silent-"}), "not a folder");
}

}  // namespace
