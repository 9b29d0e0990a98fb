#include "FileError.h"
#include "PeriodicList.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

using namespace tessora;

namespace {

PeriodicList Numbered(int count) {
    PeriodicList lines;
    for (int i = 1; i <= count; ++i) lines << QString("line%1").arg(i);
    return lines;
}

}  // namespace

TEST(PeriodicListText, ReadsEveryTerminatorAndKeepsChinesePaths) {
    struct Case { QByteArray text; PeriodicList lines; };
    const Case cases[] = {
        {"a.lst\r\nb.lst\r\n", {"a.lst", "b.lst"}},
        {"a.lst\r\nb.lst", {"a.lst", "b.lst"}},
        {"a.lst\nb.lst\n", {"a.lst", "b.lst"}},
        {"a.lst\rb.lst\r", {"a.lst", "b.lst"}},
        {"\r\n\r\n\r\n", {"", "", ""}},
        {"C:\\\xC1\xD0\xB1\xED\\mon.lst\r\n", {"C:\\列表\\mon.lst"}},
        {"", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(ParsePeriodicList(c.text), c.lines) << c.text.toStdString();
}

TEST(PeriodicListText, WritesCrLfAfterEveryLine) {
    EXPECT_EQ(SerializePeriodicList(PeriodicList(7)), QByteArray("\r\n\r\n\r\n\r\n\r\n\r\n\r\n"));
    EXPECT_EQ(SerializePeriodicList({"/l/一.lst", ""}), QByteArray("/l/\xD2\xBB.lst\r\n\r\n"));
}

TEST(PeriodicListFile, NewWeekIsFourteenBytesAndReadsBackAsSevenEmptyLines) {
    TempFolder dir;
    const QString path = WritePeriodicList(dir.Path("week"), PeriodicList(7));
    EXPECT_EQ(path, dir.Path("week.lsm"));
    EXPECT_EQ(dir.Read("week.lsm").size(), 14);
    EXPECT_EQ(ReadPeriodicList(path), PeriodicList(7));
    EXPECT_EQ(WritePeriodicList(dir.Path("Year.LSM"), Numbered(366)), dir.Path("Year.LSM"));
    EXPECT_EQ(ReadPeriodicList(dir.Path("Year.LSM")), Numbered(366));
    EXPECT_THROW(ReadPeriodicList(dir.Path("none.lsm")), EFileError);
}

TEST(PeriodicListResolve, PicksTheDayOfThePeriod) {
    struct Case { int lines; QDate date; QString expected; };
    const Case cases[] = {
        {7, QDate(2026, 12, 6), "line1"},   // Sunday
        {7, QDate(2026, 12, 7), "line2"},   // Monday
        {7, QDate(2026, 12, 12), "line7"},  // Saturday
        {31, QDate(2026, 1, 31), "line31"},
        {31, QDate(2026, 4, 30), "line30"},
        {31, QDate(2024, 2, 29), "line29"},
        {31, QDate(2026, 12, 1), "line1"},
        {366, QDate(2026, 1, 1), "line1"},
        {366, QDate(2025, 3, 1), "line60"},   // common year
        {366, QDate(2024, 3, 1), "line61"},   // leap year
        {366, QDate(2025, 12, 31), "line365"},
        {366, QDate(2024, 12, 31), "line366"},
        {366, QDate(2000, 12, 31), "line366"},  // divisible by 400: leap
        {366, QDate(2100, 12, 31), "line365"},  // divisible by 100: common
    };
    for (const Case& c : cases)
        EXPECT_EQ(ResolveDayList(Numbered(c.lines), c.date), c.expected) << c.lines << " " << c.date.toString().toStdString();
}

TEST(PeriodicListResolve, LineThreeHundredSixtySixOnlyOnALeapYearsLastDay) {
    const PeriodicList year = Numbered(366);
    for (QDate d(2023, 1, 1); d <= QDate(2024, 12, 31); d = d.addDays(1))
        if (ResolveDayList(year, d) == "line366") {
            EXPECT_EQ(d, QDate(2024, 12, 31));
        }
}

TEST(PeriodicListResolve, OtherLengthsReadByTheirKindAndNeverPastTheLastLine) {
    struct Case { int lines; QDate date; QString expected; };
    const Case cases[] = {
        {0, QDate(2026, 12, 10), ""},
        {3, QDate(2026, 12, 8), "line3"},   // Tuesday
        {3, QDate(2026, 12, 10), ""},       // Thursday: past the last line
        {30, QDate(2026, 1, 30), "line30"},
        {30, QDate(2026, 1, 31), ""},
        {365, QDate(2024, 12, 31), ""},
        {400, QDate(2024, 12, 31), "line366"},
    };
    for (const Case& c : cases) EXPECT_EQ(ResolveDayList(Numbered(c.lines), c.date), c.expected) << c.lines;
}

TEST(PeriodicListKind, FollowsTheLineCount) {
    struct Case { qsizetype lines; PeriodKind kind; };
    for (const Case& c : {Case{0, PeriodKind::Week}, Case{7, PeriodKind::Week}, Case{8, PeriodKind::Month},
                          Case{31, PeriodKind::Month}, Case{32, PeriodKind::Year}, Case{366, PeriodKind::Year},
                          Case{367, PeriodKind::Month}})
        EXPECT_EQ(KindFromLineCount(c.lines, PeriodKind::Month), c.kind) << c.lines;
}
