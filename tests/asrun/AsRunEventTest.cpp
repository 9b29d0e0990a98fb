// The as-run log's lines: exactly as written, read back, and what is not a line.
#include "AsRunEvent.h"

#include <gtest/gtest.h>

using namespace tessora;

namespace {

LocalMoment Moment(int y, int mo, int d, int h, int mi, int s, double ms) {
    return {QDate(y, mo, d), TimeValue(h, mi, s, ms)};
}

AsRunEvent Event(LocalMoment time, int channel, const QString& title, AsRunEventKind kind, std::optional<int32_t> item,
                 const QString& itemTitle, const QString& file, const QString& detail) {
    return {time, channel, title, kind, item, itemTitle, file, detail};
}

}  // namespace

TEST(AsRunEvent, LinesAreWrittenExactlyAndReadBack) {
    struct Case {
        AsRunEvent event;
        QString line;
    };
    const Case cases[] = {
        {Event(Moment(2026, 12, 10, 8, 0, 0, 412), 0, "一号", AsRunEventKind::Start, 1, "上课铃", "/bells/in.wav", "412"),
         "2026-12-10T08:00:00.412\t0\t一号\tstart\t1\t上课铃\t/bells/in.wav\t412"},
        {Event(Moment(2026, 12, 10, 8, 0, 30, 5), 0, "一号", AsRunEventKind::End, 1, "上课铃", "/bells/in.wav", "87"),
         "2026-12-10T08:00:30.005\t0\t一号\tend\t1\t上课铃\t/bells/in.wav\t87"},
        {Event(Moment(2026, 1, 2, 13, 4, 5, 0), 3, "操场", AsRunEventKind::Manual, std::nullopt, "", "/music/a.mp3", ""),
         "2026-01-02T13:04:05.000\t3\t操场\tmanual\t\t\t/music/a.mp3\t"},
        {Event(Moment(2026, 1, 2, 6, 0, 0, 0), kStationChannel, "", AsRunEventKind::Startup, std::nullopt, "", "", ""),
         "2026-01-02T06:00:00.000\t-1\t\tstartup\t\t\t\t"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatAsRunLine(c.event), c.line);
        const auto back = ParseAsRunLine(c.line);
        ASSERT_TRUE(back) << c.line.toStdString();
        EXPECT_EQ(FormatAsRunLine(*back), c.line);
        EXPECT_EQ(back->Kind, c.event.Kind);
        EXPECT_EQ(back->Item, c.event.Item);
    }
}

TEST(AsRunEvent, EveryKindHasItsWord) {
    const QStringList words = {"start",  "end",    "stop", "pause",    "resume",   "error",
                               "manual", "list",   "takeover", "giveback", "startup", "exit"};
    for (const QString& word : words) {
        const auto kind = AsRunEventFromName(word);
        ASSERT_TRUE(kind) << word.toStdString();
        EXPECT_EQ(AsRunEventName(*kind), word);
    }
    EXPECT_FALSE(AsRunEventFromName("Start"));
}

TEST(AsRunEvent, TabsAndLineBreaksInTextsCannotSplitALine) {
    const AsRunEvent e = Event(Moment(2026, 12, 10, 9, 0, 0, 0), 1, "a\tb", AsRunEventKind::Error, 2, "x\ny", "/f\r.wav",
                               "no\tsuch file");
    const QString line = FormatAsRunLine(e);
    EXPECT_EQ(line, "2026-12-10T09:00:00.000\t1\ta b\terror\t2\tx y\t/f .wav\tno such file");
    EXPECT_TRUE(ParseAsRunLine(line));
}

TEST(AsRunEvent, TheLastMomentOfADayStaysInThatDay) {
    const LocalMoment late{QDate(2026, 12, 31), 1.0 - 0.4 / kMsPerDay};
    EXPECT_EQ(FormatLogTime(late), "2026-12-31T23:59:59.999");
    EXPECT_EQ(FormatTimeOfDayMs(late), "23:59:59.999");
}

TEST(AsRunEvent, WhatIsNotALineIsRefused) {
    const QString cases[] = {
        "",
        "2026-12-10T08:00:00.412\t0\t一号\tstart\t1\t上课",                        // cut short by a crash
        "2026-12-10T08:00:00\t0\t一号\tstart\t1\t上课铃\t/in.wav\t412",             // no milliseconds
        "2026-12-32T08:00:00.000\t0\t一号\tstart\t1\t上课铃\t/in.wav\t412",         // no such date
        "2026-12-10T08:00:00.000\tzero\t一号\tstart\t1\t上课铃\t/in.wav\t412",      // channel
        "2026-12-10T08:00:00.000\t0\t一号\tbegin\t1\t上课铃\t/in.wav\t412",         // event
        "2026-12-10T08:00:00.000\t0\t一号\tstart\tfirst\t上课铃\t/in.wav\t412",     // item
        "2026-12-10T08:00:00.000\t0\t一号\tstart\t1\t上课铃\t/in.wav\t412\textra",  // fields
    };
    for (const QString& line : cases) EXPECT_FALSE(ParseAsRunLine(line)) << line.toStdString();
}

TEST(AsRunEvent, FileNamesAreTheirDates) {
    EXPECT_EQ(AsRunFileName(QDate(2026, 3, 5)), "2026-03-05.tsv");
    EXPECT_EQ(AsRunFileDate("2026-03-05.tsv"), QDate(2026, 3, 5));
    for (const char* other : {"2026-02-30.tsv", "2026-03-05.tsv~", "notes.tsv", "2026-03-05.txt"})
        EXPECT_FALSE(AsRunFileDate(other)) << other;
}
