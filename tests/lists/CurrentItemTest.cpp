#include "CurrentItem.h"
#include "FileError.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <set>

using namespace tessora;

namespace {

PlayItem Item(const QString& title, double start, double end) {
    PlayItem item;
    item.Title = title;
    item.StartTime = start;
    item.EndTime = end;
    item.Source = "/bells/" + title + ".wav";
    return item;
}

LocalMoment At(int h, int m, int s, double ms = 0, QDate date = QDate(2026, 12, 7)) {
    return {date, TimeValue(h, m, s, ms)};
}

QString SaveList(const TempFolder& dir, const QString& name, std::vector<PlayItem> items) {
    TPlayList list;
    list.Items = std::move(items);
    return list.SaveToFile(dir.Path(name));
}

QString TitleAt(ChannelTimetable& t, const LocalMoment& now) {
    const PlayItem* item = t.FindCurrentItem(now);
    return item ? item->Title : QString("none");
}

}  // namespace

TEST(DueItem, StartsAndEndsWithOneMillisecondTolerance) {
    ChannelTimetable t;
    t.DayList.Items = {Item("bell", TimeValue(8, 0, 0), TimeValue(8, 0, 30))};
    struct Case { LocalMoment now; QString expected; };
    const Case cases[] = {
        {At(7, 59, 59, 999), "none"},
        {At(8, 0, 0), "none"},
        {At(8, 0, 0, 0.5), "none"},
        {At(8, 0, 0, 1.5), "bell"},
        {At(8, 0, 0, 500), "bell"},
        {At(8, 0, 29, 900), "bell"},
        {At(8, 0, 29, 998.5), "bell"},
        {At(8, 0, 29, 999.5), "none"},
        {At(8, 0, 30), "none"},
    };
    for (const Case& c : cases) EXPECT_EQ(TitleAt(t, c.now), c.expected) << c.now.timeOfDay * kMsPerDay;
}

TEST(DueItem, OnlyTheTimeOfDayCounts) {
    ChannelTimetable t;
    t.DayList.Items = {Item("bell", 45000 + TimeValue(8, 0, 0), 45000 + TimeValue(8, 0, 30))};
    EXPECT_EQ(TitleAt(t, At(8, 0, 10, 0, QDate(1999, 1, 1))), "bell");
    EXPECT_EQ(TitleAt(t, At(8, 0, 10, 0, QDate(2030, 6, 1))), "bell");
}

TEST(DueItem, NoItemSpansMidnight) {
    ChannelTimetable t;
    t.DayList.Items = {Item("late", TimeValue(23, 0, 0), 0), Item("wrapped", TimeValue(23, 0, 0), TimeValue(1, 0, 0)),
                       Item("empty", TimeValue(9, 0, 0), TimeValue(9, 0, 0))};
    for (const LocalMoment& now : {At(23, 30, 0), At(0, 30, 0), At(23, 59, 59, 999), At(9, 0, 0)})
        EXPECT_EQ(TitleAt(t, now), "none");
}

TEST(DueItem, OverlapsGoToTheEarlierInListOrder) {
    ChannelTimetable t;
    t.DayList.Items = {Item("first", TimeValue(8, 5, 0), TimeValue(8, 20, 0)), Item("second", TimeValue(8, 0, 0), TimeValue(8, 10, 0))};
    std::swap(t.DayList.Items[0], t.DayList.Items[1]);  // list order, not start order, decides
    t.DayList.Items[0].Title = "first";
    t.DayList.Items[1].Title = "second";
    struct Case { LocalMoment now; QString expected; };
    for (const Case& c : {Case{At(8, 1, 0), "first"}, Case{At(8, 7, 0), "first"}, Case{At(8, 9, 59, 999.5), "second"},
                          Case{At(8, 15, 0), "second"}, Case{At(8, 20, 0, 1), "none"}})
        EXPECT_EQ(TitleAt(t, c.now), c.expected);
}

class PeriodicDueItem : public ::testing::Test {
protected:
    void SetUp() override {
        monday = SaveList(dir, "monday", {Item("mon-bell", TimeValue(0, 0, 0), TimeValue(23, 59, 59))});
        tuesday = SaveList(dir, "tuesday", {Item("tue-bell", TimeValue(0, 0, 0), TimeValue(23, 59, 59))});
        t.PeriodicListFile = "week.lsm";
    }
    void Week(const QString& mon, const QString& tue) { t.PeriodicList = {"", mon, tue, "", "", "", ""}; }

    TempFolder dir;
    QString monday, tuesday;
    ChannelTimetable t;
    const QDate Monday = QDate(2026, 12, 7), Tuesday = QDate(2026, 12, 8);
};

TEST_F(PeriodicDueItem, NextDaysListTakesOverAtMidnight) {
    Week(monday, tuesday);
    EXPECT_EQ(TitleAt(t, At(23, 59, 58, 0, Monday)), "mon-bell");
    EXPECT_EQ(t.DayListFile, monday);
    t.CurrentItem.Index = 1;  // the player took the item
    EXPECT_EQ(TitleAt(t, At(0, 0, 0, 500, Tuesday)), "tue-bell");
    EXPECT_EQ(t.DayListFile, tuesday);
    EXPECT_EQ(t.CurrentItem.Index, -1);
}

TEST_F(PeriodicDueItem, SameListOnBothDaysIsNotReloaded) {
    Week(monday, monday);
    EXPECT_EQ(TitleAt(t, At(23, 0, 0, 0, Monday)), "mon-bell");
    t.CurrentItem.Index = 1;
    SaveList(dir, "monday", {Item("changed on disk", 0, TimeValue(23, 59, 59))});
    EXPECT_EQ(TitleAt(t, At(0, 0, 1, 0, Tuesday)), "mon-bell");
    EXPECT_EQ(t.CurrentItem.Index, 1);
}

TEST_F(PeriodicDueItem, MissingOrEmptyLineGivesNoListAndIsCheckedAgain) {
    const QString later = dir.Path("later.lst");
    Week(later, "");
    std::set<QString> existing;
    const auto exists = [&](const QString& p) { return existing.count(p) > 0; };
    t.DayListFile = "stale.lst";
    t.DayList.Items = {Item("stale", 0, TimeValue(23, 0, 0))};
    EXPECT_EQ(t.FindCurrentItem(At(8, 59, 0, 0, Monday), exists), nullptr);
    EXPECT_TRUE(t.DayListFile.isEmpty());
    EXPECT_TRUE(t.DayList.Items.empty());

    SaveList(dir, "later", {Item("from nine", TimeValue(9, 0, 0), TimeValue(10, 0, 0))});
    existing.insert(later);
    const PlayItem* item = t.FindCurrentItem(At(9, 0, 0, 500, Monday), exists);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->Title, "from nine");
    EXPECT_EQ(t.FindCurrentItem(At(9, 0, 0, 500, Tuesday), exists), nullptr);  // empty line
}

TEST_F(PeriodicDueItem, UnreadableListRaisesAndIsTriedAgainOnceRepaired) {
    const QString broken = dir.Path("broken.lst");
    QDir().mkpath(broken);  // a folder where the day list should be
    Week(broken, "");
    const auto exists = [](const QString&) { return true; };
    EXPECT_THROW(t.FindCurrentItem(At(9, 0, 0, 0, Monday), exists), EFileError);
    QDir().rmdir(broken);
    SaveList(dir, "broken", {Item("repaired", TimeValue(8, 0, 0), TimeValue(10, 0, 0))});
    const PlayItem* item = t.FindCurrentItem(At(9, 0, 1, 0, Monday), exists);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->Title, "repaired");
}

TEST_F(PeriodicDueItem, ChannelWithoutPeriodicListKeepsItsDayList) {
    t.PeriodicListFile.clear();
    t.DayList.LoadFromFile(monday);
    t.DayListFile = monday;
    EXPECT_EQ(TitleAt(t, At(12, 0, 0, 0, Tuesday)), "mon-bell");
}
