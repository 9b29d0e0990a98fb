// The day's report against as-run events the tests write: which start counts for an item,
// and which do not.
#include "AiringReport.h"

#include "FileError.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

using namespace tessora;

namespace {

const QDate kDay(2026, 12, 10);

PlayItem Item(int32_t index, const QString& title, double start, double end, uint8_t kind = KindFile) {
    PlayItem item;
    item.Index = index;
    item.Title = title;
    item.StartTime = start;
    item.EndTime = end;
    item.Kind = kind;
    return item;
}

AsRunEvent Start(const QDate& date, double time, int channel, std::optional<int32_t> item, const QString& delay) {
    AsRunEvent e;
    e.Time = {date, time};
    e.Channel = channel;
    e.Kind = AsRunEventKind::Start;
    e.Item = item;
    e.Detail = delay;
    return e;
}

QString Heard(const ReportLine& line) { return line.Heard ? FormatTimeOfDayMs(*line.Heard) : QString("missed"); }

}  // namespace

TEST(AiringReport, EachItemIsHeardAtItsFirstStartWithinItsTimes) {
    TPlayList one, two;
    one.Items = {Item(1, "bell", TimeValue(8, 0, 0), TimeValue(8, 0, 30)),
                 Item(2, "radio", TimeValue(9, 0, 0), TimeValue(10, 0, 0), KindDevice),
                 Item(3, "music", TimeValue(12, 0, 0), TimeValue(13, 0, 0), KindFolder),
                 Item(4, "quiet", TimeValue(14, 0, 0), TimeValue(14, 1, 0))};
    two.Items = {Item(1, "bell", TimeValue(8, 0, 0), TimeValue(8, 0, 30))};
    const std::vector<AsRunEvent> events = {
        // The bell repeats within its item: the first start counts, wherever it stands in the file.
        Start(kDay, TimeValue(8, 0, 20, 3), 0, 1, "20003"),
        Start(kDay, TimeValue(8, 0, 0, 412), 0, 1, "412"),
        // At its very end time it still counts.
        Start(kDay, TimeValue(13, 0, 0), 0, 3, "3600000"),
        // Item 4: only starts that are not its own.
        Start(kDay, TimeValue(13, 59, 59, 999), 0, 4, "0"),     // before its start
        Start(kDay, TimeValue(14, 1, 0, 1), 0, 4, "60001"),     // after its end
        Start(kDay.addDays(-1), TimeValue(14, 0, 5), 0, 4, "5000"),  // another day
        Start(kDay, TimeValue(14, 0, 5), 1, 4, "5000"),         // another channel
        Start(kDay, TimeValue(14, 0, 5), 0, std::nullopt, ""),  // by hand
        // Channel two's bell, with a detail that is no delay.
        Start(kDay, TimeValue(8, 0, 1), 1, 1, "soon"),
    };
    const AiringReport report = ReportDay({{"一号", &one}, {"空", nullptr}, {"二号", &two}}, kDay, events);
    struct Row { int channel; int32_t item; QString title, heard, delay; };
    const Row expected[] = {
        {0, 1, "bell", "08:00:00.412", "412"},
        {0, 3, "music", "13:00:00.000", "3600000"},
        {0, 4, "quiet", "missed", ""},
        {2, 1, "bell", "missed", ""},
    };
    ASSERT_EQ(report.Lines.size(), std::size(expected));
    for (size_t i = 0; i < report.Lines.size(); ++i) {
        const ReportLine& line = report.Lines[i];
        EXPECT_EQ(line.Channel, expected[i].channel) << i;
        EXPECT_EQ(line.Item, expected[i].item) << i;
        EXPECT_EQ(line.ItemTitle, expected[i].title) << i;
        EXPECT_EQ(Heard(line), expected[i].heard) << i;
        EXPECT_EQ(line.Delay, expected[i].delay) << i;
    }
    EXPECT_EQ(report.Lines[3].Title, "二号");
    EXPECT_EQ(report.Heard, 2);
    EXPECT_EQ(report.Missed, 2);
}

TEST(AiringReport, ChannelTwosBellIsMissedOnlyForWantOfAStartOnIt) {
    TPlayList two;
    two.Items = {Item(1, "bell", TimeValue(8, 0, 0), TimeValue(8, 0, 30))};
    const AiringReport report = ReportDay({{"二号", &two}}, kDay, {Start(kDay, TimeValue(8, 0, 1), 0, 1, "1000")});
    ASSERT_EQ(report.Lines.size(), 1u);
    EXPECT_EQ(Heard(report.Lines[0]), "08:00:01.000");
    EXPECT_EQ(report.Lines[0].Delay, "1000");
}

TEST(AiringReport, ReadsTheDaysFileSkippingWhatIsNoLine) {
    TempFolder dir;
    EXPECT_TRUE(ReadAsRunDay(dir.Path("asrun"), kDay).empty()) << "no log: nothing was heard";
    const AsRunEvent bell = Start(kDay, TimeValue(8, 0, 0, 412), 0, 1, "412");
    dir.Write("asrun/2026-12-10.tsv", (FormatAsRunLine(bell) + "\n2026-12-10T08:00:01.000\t0\tone\tsta\n" +
                                       FormatAsRunLine(bell) + "\n2026-12-10T09:")
                                          .toUtf8());
    const auto events = ReadAsRunDay(dir.Path("asrun"), kDay);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(FormatAsRunLine(events[1]), FormatAsRunLine(bell));

    dir.MakeFolder("asrun/2026-12-11.tsv");
    EXPECT_THROW(ReadAsRunDay(dir.Path("asrun"), kDay.addDays(1)), EFileError);
}
