// A week of a periodic list stepped through tick by tick.
#include "PlayList.h"
#include "PlayerTestSupport.h"

#include <gtest/gtest.h>

#include <map>

namespace tessora::test {
namespace {

constexpr int64_t Day(int d) { return d * kMsPerDayInt; }

TEST(PlayerWeek, EachDayFollowsItsOwnList) {
    TempFolder t;
    const auto saveList = [&](const char* name, std::vector<PlayItem> items) {
        TPlayList list;
        list.Items = std::move(items);
        return list.SaveToFile(t.Path(name));
    };
    // Weekdays ring a bell in the morning; Monday's list ends late, Tuesday's starts at midnight.
    const QString monday = saveList("monday.lst", {Item(1, "早铃", At(8, 0, 0), At(8, 0, 30), "/m/bell.wav"),
                                                   Item(2, "晚间", At(23, 59, 0), At(23, 59, 59, 999), "/m/late.wav")});
    const QString tuesday = saveList("tuesday.lst", {Item(1, "零点", At(0, 0, 0), At(0, 1, 0), "/m/midnight.wav"),
                                                     Item(2, "早铃", At(8, 0, 0), At(8, 0, 30), "/m/bell2.wav")});
    // The first day of the week is Sunday: Monday is the second line.
    Station s(QDate(2026, 12, 7));
    ASSERT_EQ(s.firstDay.dayOfWeek(), Qt::Monday);
    s.player.PeriodicListFile = t.Path("week.lsm");
    s.player.PeriodicList = QStringList{"", monday, tuesday, tuesday, t.Path("thursday-missing.lst"), monday, ""};
    s.channel->files["/m/midnight.wav"] = {10000};

    std::map<QString, std::vector<int64_t>> opensByDay;
    bool rewroteTuesday = false;
    s.RunUntil(Day(7) - 1, [&] {
        // Change Tuesday's file during Tuesday: Wednesday names the same file and must not
        // reload it.
        if (!rewroteTuesday && s.Now() >= Day(1) + At(12, 0, 0)) {
            saveList("tuesday.lst", {Item(1, "新", At(9, 0, 0), At(9, 0, 30), "/m/new.wav")});
            rewroteTuesday = true;
        }
    });
    for (const ChannelEvent& e : s.channel->Events("Open"))
        if (!e.file.isEmpty()) opensByDay[e.file].push_back(e.atMs);

    using T = std::vector<int64_t>;
    // Monday and Friday follow Monday's list.
    EXPECT_EQ(opensByDay["/m/bell.wav"], (T{Day(0) + At(8, 0, 0, 250), Day(0) + At(8, 0, 20, 250),
                                            Day(4) + At(8, 0, 0, 250), Day(4) + At(8, 0, 20, 250)}));
    EXPECT_EQ(opensByDay["/m/late.wav"], (T{Day(0) + At(23, 59, 0, 250), Day(0) + At(23, 59, 20, 250),
                                            Day(0) + At(23, 59, 40, 250), Day(4) + At(23, 59, 0, 250),
                                            Day(4) + At(23, 59, 20, 250), Day(4) + At(23, 59, 40, 250)}));
    // Tuesday's list takes over at the first tick after midnight, as a new item; on Wednesday
    // the same file goes on without a reload (the rewritten file is not read).
    EXPECT_EQ(opensByDay["/m/midnight.wav"], (T{Day(1) + At(0, 0, 0, 250), Day(1) + At(0, 0, 10, 250),
                                                Day(1) + At(0, 0, 20, 250), Day(1) + At(0, 0, 30, 250),
                                                Day(1) + At(0, 0, 40, 250), Day(1) + At(0, 0, 50, 250),
                                                Day(2) + At(0, 0, 0, 250), Day(2) + At(0, 0, 10, 250),
                                                Day(2) + At(0, 0, 20, 250), Day(2) + At(0, 0, 30, 250),
                                                Day(2) + At(0, 0, 40, 250), Day(2) + At(0, 0, 50, 250)}));
    EXPECT_EQ(opensByDay["/m/bell2.wav"].size(), 4u);
    EXPECT_TRUE(opensByDay["/m/new.wav"].empty());
    // Thursday names a missing list, Saturday and Sunday none: silent days, without an error.
    for (const auto& [file, times] : opensByDay)
        for (int64_t at : times) {
            const int64_t day = at / kMsPerDayInt;
            EXPECT_TRUE(day != 3 && day != 5 && day != 6) << file.toStdString() << " on day " << day;
        }
    EXPECT_EQ(s.panel.caption, "一号-");
}

TEST(PlayerWeek, TheSameFileOnTheNextDayLeavesTheItemInProgressAlone) {
    TempFolder t;
    TPlayList list;
    list.Items = {Item(1, "全天", At(0, 0, 0), At(23, 59, 59, 999), "/m/all-day.wav", KindFile, 1)};
    const QString file = list.SaveToFile(t.Path("every.lst"));
    Station s(QDate(2026, 12, 7));
    s.player.PeriodicListFile = t.Path("week.lsm");
    s.player.PeriodicList = QStringList(7, file);
    s.RunUntil(Day(2) + At(0, 5, 0));
    // No tick falls into the two milliseconds around midnight: the item goes on across it.
    EXPECT_EQ(s.channel->OpensOf("/m/all-day.wav"), (std::vector<int64_t>{At(0, 0, 0, 250)}));
    EXPECT_EQ(s.channel->GetState(), PlayerChannel::Playing);
    EXPECT_EQ(s.player.DayListFile, file);
}

}  // namespace
}  // namespace tessora::test
