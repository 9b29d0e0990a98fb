// The station's own check: once per date, in the background, its findings as error events.
#include "DayCheck.h"

#include "PeriodicList.h"
#include "PlayerTestSupport.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

using namespace tessora;
using namespace std::chrono_literals;
using tessora::test::At;
using tessora::test::Item;

namespace {

const QDate kFriday(2026, 12, 11);

LocalMoment Moment(const QDate& date, int h, int m, int s) { return {date, TimeValue(h, m, s)}; }

struct Collected {
    std::mutex mutex;
    std::vector<AsRunEvent> events;
    TDayCheck::Sink Sink() {
        return [this](const AsRunEvent& e) {
            std::lock_guard lock(mutex);
            events.push_back(e);
        };
    }
    QStringList Lines() {
        std::lock_guard lock(mutex);
        QStringList lines;
        for (const AsRunEvent& e : events) lines << FormatAsRunLine(e);
        return lines;
    }
};

CheckEnvironment TwoOutputs() {
    return {2, [](const QString&) { return std::optional<QString>(); }};
}

}  // namespace

TEST(DayCheck, FindingsBecomeErrorEventsOfTheirItems) {
    CheckFinding item{2, "操场", 3, "午间", "file-missing", "/m/a.wav", "/m/a.wav"};
    CheckFinding channel{1, "一楼", std::nullopt, "", "no-device", "sound card 7; the outputs are 0 to 1", ""};
    const auto events = CheckEvents({item, channel}, Moment(kFriday, 0, 0, 1));
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(FormatAsRunLine(events[0]), "2026-12-11T00:00:01.000\t2\t操场\terror\t3\t午间\t/m/a.wav\tfile-missing: /m/a.wav");
    EXPECT_EQ(FormatAsRunLine(events[1]),
              "2026-12-11T00:00:01.000\t1\t一楼\terror\t\t\t\tno-device: sound card 7; the outputs are 0 to 1");
}

TEST(DayCheck, ChecksEachDateOnceAtItsFirstTick) {
    TempFolder dir;
    TPlayList friday;
    friday.Items = {Item(0, "铃", At(8, 0, 0), At(8, 0, 30), dir.Path("gone.wav"))};
    const QString list = friday.SaveToFile(dir.Path("friday"));
    ChannelConfig channel;
    channel.Title = "一号";
    channel.PeriodicListFile = WritePeriodicList(dir.Path("week"), {"", "", "", "", "", list, ""});

    Collected collected;
    int asked = 0;
    TDayCheck check(TwoOutputs, collected.Sink());
    const auto channels = [&] {
        ++asked;
        return std::vector<ChannelConfig>{channel};
    };
    EXPECT_TRUE(check.Tick(channels, Moment(kFriday, 7, 0, 0)));
    ASSERT_TRUE(check.WaitUntilDone(10s));
    EXPECT_FALSE(check.Tick(channels, Moment(kFriday, 7, 0, 1)));
    EXPECT_FALSE(check.Tick(channels, Moment(kFriday, 23, 59, 59)));
    EXPECT_TRUE(check.Tick(channels, Moment(kFriday.addDays(1), 0, 0, 0)));
    ASSERT_TRUE(check.WaitUntilDone(10s));
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(collected.Lines(),
              (QStringList{"2026-12-11T07:00:00.000\t0\t一号\terror\t1\t铃\t" + dir.Path("gone.wav") + "\tfile-missing: " +
                               dir.Path("gone.wav"),
                           "2026-12-12T00:00:00.000\t0\t一号\terror\t\t\t" + channel.PeriodicListFile + "\tno-list: " +
                               channel.PeriodicListFile + " names no day list for 2026-12-12 Sat"}));
}

TEST(DayCheck, ACheckStillReadingHoldsBackTheNextOneAndNeverTheCaller) {
    TempFolder dir;
    dir.Write("slow.wav");
    TPlayList day;
    day.Items = {Item(0, "慢", At(8, 0, 0), At(8, 0, 30), dir.Path("slow.wav"))};
    ChannelConfig channel;
    channel.DayListFile = day.SaveToFile(dir.Path("day"));

    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    const auto slowReader = [&] {
        return CheckEnvironment{2, [&](const QString&) {
                                    std::unique_lock lock(mutex);
                                    released.wait(lock, [&] { return release; });
                                    return std::optional<QString>("Invalid data");
                                }};
    };
    Collected collected;
    TDayCheck check(slowReader, collected.Sink());
    const auto channels = [&] { return std::vector<ChannelConfig>{channel}; };
    EXPECT_TRUE(check.Tick(channels, Moment(kFriday, 23, 59, 59)));
    EXPECT_FALSE(check.WaitUntilDone(50ms));
    EXPECT_FALSE(check.Tick(channels, Moment(kFriday.addDays(1), 0, 0, 0))) << "the day before is still being checked";
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    released.notify_all();
    ASSERT_TRUE(check.WaitUntilDone(10s));
    EXPECT_TRUE(check.Tick(channels, Moment(kFriday.addDays(1), 0, 0, 1)));
    ASSERT_TRUE(check.WaitUntilDone(10s));
    EXPECT_EQ(collected.Lines().size(), 2);
}
