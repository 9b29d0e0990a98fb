// The station calendar: reading its lines, which rule governs a channel's day, and the day list
// that comes of it.
#include "Calendar.h"
#include "CurrentItem.h"
#include "FileError.h"
#include "SchoolYear.h"

#include <QDir>

#include <gtest/gtest.h>

namespace tessora::test {
namespace {

QDate D(const char* text) { return QDate::fromString(text, "yyyy-MM-dd"); }

QString FileName(const QString& path) { return path.isEmpty() ? QString() : QFileInfo(path).fileName(); }

TEST(Calendar, TheSchoolYearsDaysGoToTheirRules) {
    SchoolYearFolder year;
    const StationCalendar calendar = ReadCalendar(year.Path("calendar.txt"), year.ListFolder());
    ASSERT_TRUE(calendar.Whole());
    ASSERT_EQ(calendar.Rules.size(), 5u);
    const PeriodicList week = ReadPeriodicList(year.Path("week.lsm"));
    for (const SchoolDay& day : kSchoolDays) {
        SCOPED_TRACE(std::string(day.date) + " channel " + std::to_string(day.channel));
        const QString periodicFile = year.Periodic(day.channel) ? year.Path("week.lsm") : QString();
        const DayChoice choice = ChooseDay(&calendar, day.channel, periodicFile, week, year.OwnList(day.channel), D(day.date));
        EXPECT_EQ(choice.Silent() ? kSilentTarget : FileName(choice.ListFile), QString::fromUtf8(day.list));
        EXPECT_EQ(choice.OriginText(periodicFile), QString::fromUtf8(day.origin).replace("FOLDER", year.Path()));
        // A list the calendar names lives in the list folder.
        if (choice.From == DayChoice::Origin::Calendar && !choice.Silent()) {
            EXPECT_EQ(QFileInfo(choice.ListFile).path(), year.ListFolder());
        }
    }
}

TEST(Calendar, WithoutACalendarTheDayIsTheChannelsOwn) {
    const PeriodicList week{"", "", "", "", "", "/l/fri.lst", ""};
    EXPECT_EQ(ChooseDay(nullptr, 0, QString(), {}, "/l/own.lst", D("2026-10-01")).ListFile, "/l/own.lst");
    const DayChoice friday = ChooseDay(nullptr, 0, "/l/week.lsm", week, "/l/own.lst", D("2026-12-11"));
    EXPECT_EQ(friday.ListFile, "/l/fri.lst");
    EXPECT_EQ(friday.OriginText("/l/week.lsm"), "periodic:/l/week.lsm");
    // An empty calendar is the same as none.
    const StationCalendar empty;
    EXPECT_EQ(ChooseDay(&empty, 0, QString(), {}, "/l/own.lst", D("2026-10-01")).OriginText(QString()), "list");
}

TEST(Calendar, EqualSpansGoToTheRuleNamingTheChannelThenToTheLaterLine) {
    const StationCalendar calendar = ParseCalendar("a\t2026-05-01\t2026-05-03\t*\tall.lst\t全部\n"
                                                   "b\t2026-05-01\t2026-05-03\t1\tnamed.lst\t指定\n"
                                                   "c\t2026-05-01\t2026-05-03\t*\tlater.lst\t后来\n"
                                                   "d\t2026-05-02\t2026-05-04\t*\t-base-\t打洞\n",
                                                   "/l");
    ASSERT_TRUE(calendar.Whole());
    // Channel 1: the rule naming it beats both "*" rules; no tie, the scope decides.
    EXPECT_EQ(calendar.Governing(1, D("2026-05-01"))->Line, 2);
    EXPECT_TRUE(calendar.Ties(1, D("2026-05-01")).empty());
    // Channel 0: two "*" rules of three days; the later line decides, and that is a tie.
    EXPECT_EQ(calendar.Governing(0, D("2026-05-01"))->Line, 3);
    const auto ties = calendar.Ties(0, D("2026-05-01"));
    ASSERT_EQ(ties.size(), 1u);
    EXPECT_EQ(ties[0].first->Line, 1);
    EXPECT_EQ(ties[0].second->Line, 3);
    // On the 2nd and 3rd the "-base-" rule of line 4 ties with them too; on the 4th it is alone.
    EXPECT_EQ(calendar.Governing(0, D("2026-05-03"))->Line, 4);
    EXPECT_EQ(calendar.Ties(0, D("2026-05-03")).size(), 2u);
    EXPECT_EQ(calendar.Governing(0, D("2026-05-04"))->Line, 4);
    EXPECT_TRUE(calendar.Ties(0, D("2026-05-04")).empty());
    EXPECT_EQ(calendar.Governing(0, D("2026-05-05")), nullptr);
    // A "-base-" rule governs with the channel's own list and names itself as the origin.
    const DayChoice hole = ChooseDay(&calendar, 0, QString(), {}, "/l/own.lst", D("2026-05-04"));
    EXPECT_EQ(hole.ListFile, "/l/own.lst");
    EXPECT_EQ(hole.OriginText(QString()), "calendar:4 打洞");
}

TEST(Calendar, LinesThatCannotBeReadAreNamedAndTheRestRead) {
    struct Case {
        QByteArray line;
        const char* problem;  // a part of the reason
    };
    const std::vector<Case> cases = {
        {"holiday\t2026-10-01\t2026-10-07\t*", "found 4"},
        {"holiday\t2026-10-01\t2026-10-07\t*\t-silent-\tx\textra", "found 7"},
        {"holiday\t2026-13-01\t\t*\t-silent-\tx", "From is not a date"},
        {"holiday\t2026-10-01\t10/7\t*\t-silent-\tx", "To is not a date"},
        {"holiday\t2026-10-07\t2026-10-01\t*\t-silent-\tx", "before From"},
        {"holiday\t2026-10-01\t\t1,x\t-silent-\tx", "Channels"},
        {"holiday\t2026-10-01\t\t-1\t-silent-\tx", "Channels"},
        {"holiday\t2026-10-01\t\t\t-silent-\tx", "Channels"},
        {"holiday\t2026-10-01\t\t*\t\tx", "Target is empty"},
        {"\t2026-10-01\t\t*\t-silent-\tx", "Kind is empty"},
        {"holiday\t2026-10-01\t\t*\t-silent-\t\xff\xfe", "not UTF-8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        const StationCalendar calendar = ParseCalendar("# first\nexam\t2027-01-11\t\t0\te.lst\tx\n" + c.line + "\n", "/l");
        ASSERT_EQ(calendar.Problems.size(), 1u);
        EXPECT_EQ(calendar.Problems[0].Line, 3);
        EXPECT_TRUE(calendar.Problems[0].Text.contains(c.problem)) << calendar.Problems[0].Text.toStdString();
        EXPECT_EQ(calendar.Rules.size(), 1u);
        EXPECT_FALSE(calendar.Whole());
    }
}

TEST(Calendar, ReadsWhatItWritesAndKnowsItsChannels) {
    const QByteArray text = "\xEF\xBB\xBFoneoff\t2026-10-04\t\t0,2\t/abs/x.lst\t补课\r\n"
                            "holiday\t2026-10-01\t2026-10-07\t*\t-silent-\n";
    const StationCalendar calendar = ParseCalendar(text, "/l");
    ASSERT_TRUE(calendar.Whole());
    ASSERT_EQ(calendar.Rules.size(), 2u);
    const CalendarRule& first = calendar.Rules[0];
    EXPECT_EQ(first.From, first.To);
    EXPECT_EQ(first.Channels, (QList<int>{0, 2}));
    EXPECT_EQ(first.ListPath, "/abs/x.lst");  // an absolute name stays as it is
    EXPECT_EQ(calendar.Rules[1].Label, "");
    EXPECT_EQ(FormatCalendarRule(first), "oneoff\t2026-10-04\t\t0,2\t/abs/x.lst\t补课");
    EXPECT_EQ(FormatCalendarRule(calendar.Rules[1]), "holiday\t2026-10-01\t2026-10-07\t*\t-silent-\t");
    const auto unknown = calendar.UnknownChannels(2);
    ASSERT_EQ(unknown.size(), 1u);
    EXPECT_EQ(unknown[0].Line, 1);
    EXPECT_TRUE(calendar.UnknownChannels(3).empty());
    // No file is an empty calendar; a folder in its place cannot be read.
    TempFolder t;
    EXPECT_TRUE(ReadCalendar(t.Path("calendar.txt"), "/l").Rules.empty());
    t.MakeFolder("calendar.txt");
    EXPECT_THROW(ReadCalendar(t.Path("calendar.txt"), "/l"), EFileError);
}

TEST(Calendar, TheTimetableFollowsTheCalendarDayByDay) {
    SchoolYearFolder year;
    auto calendar = std::make_shared<StationCalendar>(ReadCalendar(year.Path("calendar.txt"), year.ListFolder()));
    ChannelTimetable timetable;
    timetable.Calendar = calendar;
    timetable.CalendarChannel = 0;
    timetable.OwnDayListFile = year.OwnList(0);
    const auto due = [&](const char* date) {
        const PlayItem* item = timetable.FindCurrentItem(LocalMoment{D(date), (8.0 * 3600 + 10) / 86400});
        return item ? item->Title : QStringLiteral("none");
    };
    EXPECT_EQ(due("2026-08-31"), "one");
    EXPECT_EQ(due("2026-09-01"), "term");
    EXPECT_EQ(due("2026-10-01"), "none");
    EXPECT_EQ(timetable.DayListFile, "");
    EXPECT_EQ(timetable.DayRule->Label, "国庆节");
    EXPECT_EQ(due("2026-10-04"), "term");
    EXPECT_EQ(due("2027-01-11"), "期末考试");
    EXPECT_EQ(due("2028-03-01"), "one");
    EXPECT_FALSE(timetable.DayRule.has_value());
    // A list the calendar names that is not there fails, rather than leave the day silent unseen.
    QFile::remove(year.ListPath("期末考试.lst"));
    EXPECT_THROW(due("2027-01-12"), EFileError);
}

}  // namespace
}  // namespace tessora::test
