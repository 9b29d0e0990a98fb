// The station calendar where the station acts: the player's tick on each day of the school year,
// across midnight into and out of a rule, the calendar file as the station watches it, and the
// pre-flight check.
#include "CalendarWatch.h"
#include "PlayerTestSupport.h"
#include "PreflightCheck.h"
#include "SchoolYear.h"

#include <QFile>

#include <gtest/gtest.h>

namespace tessora::test {
namespace {

QDate D(const char* text) { return QDate::fromString(text, "yyyy-MM-dd"); }

std::shared_ptr<const StationCalendar> CalendarOf(const SchoolYearFolder& year) {
    return std::make_shared<const StationCalendar>(ReadCalendar(year.Path("calendar.txt"), year.ListFolder()));
}

// The player of channel `channel` of the school year, as the station sets it up.
void FollowSchoolYear(TListPlayer& player, const SchoolYearFolder& year, int channel) {
    LoadedChannel loaded;
    loaded.Config.Title = QStringLiteral("一号");
    if (year.Periodic(channel)) {
        loaded.Config.PeriodicListFile = year.Path("week.lsm");
        loaded.PeriodicLines = ReadPeriodicList(year.Path("week.lsm"));
    } else {
        loaded.Config.DayListFile = year.OwnList(channel);
    }
    player.SetFromConfig(loaded);
    player.Calendar = CalendarOf(year);
    player.CalendarChannel = channel;
    player.FileExists = FileExistsOnDisk;
    player.LoadDayList();
}

// What the panel's list line says for a day of the table.
QString ExpectedListLabel(const SchoolDay& day) {
    const QString list = QString::fromUtf8(day.list), origin = QString::fromUtf8(day.origin);
    if (!origin.startsWith("calendar:")) return list;
    const QString label = origin.section(' ', 1);
    return (list == kSilentTarget ? QStringLiteral("静音") : list) + " (" + label + ")";
}

TEST(CalendarPlayer, EachDayOfTheSchoolYearSoundsItsList) {
    SchoolYearFolder year;
    for (const SchoolDay& day : kSchoolDays) {
        SCOPED_TRACE(std::string(day.date) + " channel " + std::to_string(day.channel));
        Station s(D(day.date));
        FollowSchoolYear(s.player, year, day.channel);
        s.RunUntil(At(8, 0, 10));
        const QString list = QString::fromUtf8(day.list);
        const bool sounds = !list.isEmpty() && list != kSilentTarget;
        EXPECT_EQ(s.channel->FileName(), sounds ? SchoolYearFolder::Sound(list) : QString());
        EXPECT_EQ(s.panel.listLabel, ExpectedListLabel(day));
        // The channel file keeps the channel's own list, whatever the calendar put in its place.
        const ChannelConfig config = s.player.Config();
        if (!year.Periodic(day.channel)) {
            EXPECT_EQ(config.DayListFile, year.OwnList(day.channel));
        }
    }
}

TEST(CalendarPlayer, MidnightCarriesTheChannelIntoAndOutOfARuleAndTheLogSaysSo) {
    SchoolYearFolder year;
    // From the last school day before the holiday to the make-up day inside it.
    Station s(D("2026-09-30"));
    FollowSchoolYear(s.player, year, 0);
    std::vector<AsRunEvent> events;
    s.player.OnAsRun = [&](const AsRunEvent& e) {
        if (e.Kind == AsRunEventKind::List) events.push_back(e);
    };
    std::vector<QString> labels;
    // The panel shows what the tick before decided: the first tick still shows the list loaded at start.
    s.RunUntil(kTickMs);
    s.RunUntil(4 * kMsPerDayInt + At(8, 0, 10), [&] {
        if (labels.empty() || labels.back() != s.panel.listLabel) labels.push_back(s.panel.listLabel);
    });
    EXPECT_EQ(labels, (std::vector<QString>{"term.lst (秋季学期)", "静音 (国庆节)", "term.lst (调休上课)"}));
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].File, year.ListPath("term.lst"));
    EXPECT_EQ(events[0].Detail, "秋季学期");
    EXPECT_EQ(events[1].File, "");
    EXPECT_EQ(events[1].Detail, "国庆节");
    EXPECT_EQ(events[1].Time.date, D("2026-10-01"));
    EXPECT_EQ(events[2].Detail, "调休上课");
    // The bell of the 30th and of the 4th, none on the holiday between them.
    std::vector<QDate> bellDays;
    for (const ChannelEvent& e : s.channel->Events("Open"))
        if (e.file == SchoolYearFolder::Sound("term")) {
            const QDate date = s.firstDay.addDays(e.atMs / kMsPerDayInt);
            if (bellDays.empty() || bellDays.back() != date) bellDays.push_back(date);
        }
    EXPECT_EQ(bellDays, (std::vector<QDate>{D("2026-09-30"), D("2026-10-04")}));
}

TEST(CalendarPlayer, AMissingExamListShowsAsAFailureAndPlaysOnceItIsThere) {
    SchoolYearFolder year;
    QFile::rename(year.ListPath("期末考试.lst"), year.ListPath("later.lst"));
    Station s(D("2027-01-11"));
    FollowSchoolYear(s.player, year, 1);
    s.RunUntil(At(8, 0, 5));
    EXPECT_TRUE(s.panel.caption.contains("(错误)")) << s.panel.caption.toStdString();
    EXPECT_EQ(s.channel->FileName(), "");
    QFile::rename(year.ListPath("later.lst"), year.ListPath("期末考试.lst"));
    s.RunUntil(At(8, 0, 10));
    EXPECT_EQ(s.channel->FileName(), SchoolYearFolder::Sound("期末考试"));
}

TEST(CalendarWatch, FollowsChangesAndKeepsTheLastWholeCalendarWhileALineIsBad) {
    SchoolYearFolder year;
    TCalendarWatch watch(year.Path("calendar.txt"));
    TCalendarWatch::Change first = watch.Poll(year.ListFolder());
    ASSERT_TRUE(first.Calendar);
    EXPECT_EQ(first.Calendar->Rules.size(), 5u);
    EXPECT_FALSE(first.Trouble.has_value());
    // Nothing changed: nothing to tell.
    EXPECT_FALSE(watch.Poll(year.ListFolder()).Calendar);

    // A bad line: the rules read before stay, and the trouble is told once.
    year.dir.Write("calendar.txt", kSchoolYearCalendar + "holiday\t2027-02-30\t\t*\t-silent-\t春节\n");
    const TCalendarWatch::Change bad = watch.Poll(year.ListFolder());
    EXPECT_FALSE(bad.Calendar);
    ASSERT_TRUE(bad.Trouble.has_value());
    EXPECT_TRUE(bad.Trouble->startsWith("line 8: From is not a date")) << bad.Trouble->toStdString();
    EXPECT_EQ(watch.Current()->Rules.size(), 5u);
    EXPECT_FALSE(watch.Poll(year.ListFolder()).Trouble.has_value());

    // Mended: the new calendar is followed and the trouble is over.
    year.dir.Write("calendar.txt", kSchoolYearCalendar + "holiday\t2027-02-10\t2027-02-17\t*\t-silent-\t春节\n");
    const TCalendarWatch::Change mended = watch.Poll(year.ListFolder());
    ASSERT_TRUE(mended.Calendar);
    EXPECT_EQ(mended.Calendar->Rules.size(), 6u);
    EXPECT_EQ(mended.Trouble, QString());

    // Removed: no calendar, as a station without one.
    QFile::remove(year.Path("calendar.txt"));
    const TCalendarWatch::Change removed = watch.Poll(year.ListFolder());
    ASSERT_TRUE(removed.Calendar);
    EXPECT_TRUE(removed.Calendar->Rules.empty());
}

// The school year's channels as the channel file holds them.
std::vector<ChannelConfig> SchoolYearChannels(const SchoolYearFolder& year) {
    std::vector<ChannelConfig> channels(3);
    for (int c = 0; c < 3; ++c) {
        channels[c].Title = QString("通道%1").arg(c);
        if (year.Periodic(c))
            channels[c].PeriodicListFile = year.Path("week.lsm");
        else
            channels[c].DayListFile = year.OwnList(c);
    }
    return channels;
}

CheckEnvironment SchoolYearEnvironment(const SchoolYearFolder& year) {
    CheckEnvironment environment{1, [](const QString&) { return std::nullopt; }};
    environment.Calendar = CalendarOf(year);
    return environment;
}

TEST(CalendarCheck, EachDayOfTheSchoolYearChecksItsList) {
    SchoolYearFolder year;
    const std::vector<ChannelConfig> channels = SchoolYearChannels(year);
    for (const SchoolDay& day : kSchoolDays) {
        SCOPED_TRACE(std::string(day.date) + " channel " + std::to_string(day.channel));
        std::vector<CheckFinding> mine;
        for (const CheckFinding& f : CheckStation(channels, D(day.date), SchoolYearEnvironment(year)))
            if (f.Channel == day.channel) mine.push_back(f);
        const QString list = QString::fromUtf8(day.list);
        // The lists' sounds are not there: the file that is missing tells which list was checked.
        if (list == kSilentTarget) {
            EXPECT_TRUE(mine.empty());
        } else if (list.isEmpty()) {
            ASSERT_EQ(mine.size(), 1u);
            EXPECT_EQ(mine[0].Problem, CheckProblem::NoList);
        } else {
            ASSERT_EQ(mine.size(), 1u);
            EXPECT_EQ(mine[0].Problem, CheckProblem::FileMissing);
            EXPECT_EQ(mine[0].Detail, SchoolYearFolder::Sound(list));
        }
    }
}

TEST(CalendarCheck, BadLinesMissingListsAndTiesAreNamedByLine) {
    SchoolYearFolder year;
    year.dir.Write("calendar.txt", "holiday\t2026-10-07\t2026-10-01\t*\t-silent-\t倒了\n"   // 1: To before From
                                   "exam\t2026-11-02\t\t7\t-silent-\t没有的通道\n"           // 2: no channel 7
                                   "exam\t2026-11-02\t\t0\tgone.lst\t没有的列表\n"           // 3: no such list
                                   "exam\t2026-06-01\t\t0\tgone.lst\t已过去\n"               // 4: over already
                                   "a\t2026-11-03\t\t*\tterm.lst\t甲\n"                     // 5 and 6: a tie
                                   "b\t2026-11-03\t\t*\t-silent-\t乙\n");
    const auto findings = [&](const char* date) {
        std::vector<CheckFinding> calendarOnes;
        for (const CheckFinding& f : CheckStation(SchoolYearChannels(year), D(date), SchoolYearEnvironment(year)))
            if (f.Problem.startsWith("calendar-")) calendarOnes.push_back(f);
        return calendarOnes;
    };
    const auto november2 = findings("2026-11-02");
    ASSERT_EQ(november2.size(), 3u);
    EXPECT_EQ(november2[0].Problem, CheckProblem::CalendarBadLine);
    EXPECT_EQ(november2[0].Channel, -1);
    EXPECT_TRUE(november2[0].Detail.startsWith("calendar.txt:1: To 2026-10-01 is before From")) << november2[0].Detail.toStdString();
    EXPECT_EQ(november2[1].Problem, CheckProblem::CalendarBadLine);
    EXPECT_TRUE(november2[1].Detail.startsWith("calendar.txt:2: channel 7")) << november2[1].Detail.toStdString();
    EXPECT_EQ(november2[2].Problem, CheckProblem::CalendarTargetMissing);
    EXPECT_TRUE(november2[2].Detail.startsWith("calendar.txt:3: " + year.ListPath("gone.lst")));
    // The tie is the day's, for every channel it concerns.
    const auto november3 = findings("2026-11-03");
    ASSERT_EQ(november3.size(), 5u);  // lines 1 and 2, then the tie on channels 0, 1, 2
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(november3[2 + c].Problem, CheckProblem::CalendarTie);
        EXPECT_EQ(november3[2 + c].Channel, c);
        EXPECT_EQ(november3[2 + c].Detail, "calendar lines 5 and 6 both span 1 days on 2026-11-03; line 6 decides");
    }
}

}  // namespace
}  // namespace tessora::test
