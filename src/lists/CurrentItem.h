#pragma once
// Which item of a channel's timetable must sound at a given moment.

#include "Calendar.h"
#include "DateTimeValue.h"
#include "PeriodicList.h"
#include "PlayList.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace tessora {

using FileExistsTest = std::function<bool(const QString& path)>;
bool FileExistsOnDisk(const QString& path);

// The timetable fields of one channel. The channel player holds one of these.
struct ChannelTimetable {
    virtual ~ChannelTimetable() = default;

    QString PeriodicListFile;  // empty: the channel follows DayListFile alone
    tessora::PeriodicList PeriodicList;
    QString DayListFile;       // the file DayList was loaded from; empty when none
    TPlayList DayList;
    PlayItem CurrentItem = NoCurrentItem();  // the item last taken as current; Index -1 when none

    // The station calendar over the channel's own lists, if the station has one; the channel
    // is number CalendarChannel in it. While a rule governs the day, DayListFile is the list the
    // rule chose and OwnDayListFile keeps the channel's own day list (no periodic list).
    std::shared_ptr<const StationCalendar> Calendar;
    int CalendarChannel = 0;
    QString OwnDayListFile;
    std::optional<CalendarRule> DayRule;  // the rule governing the day followed, if any

    // With a calendar, first makes the day list that ChooseDay gives for today the one in
    // DayList (a list the calendar names that cannot be read raises, so that the failure shows).
    // Otherwise, with a periodic list, first makes today's day list the one in DayList (reloading it and
    // forgetting the current item when the day's line names another file). Then answers the
    // first item in list order that started at least 1 ms before `now` and ends at least 1 ms
    // after it, or nullptr. Raises EFileError when today's day list exists but cannot be read.
    const PlayItem* FindCurrentItem(const LocalMoment& now, const FileExistsTest& fileExists = FileExistsOnDisk);

    static PlayItem NoCurrentItem() {
        PlayItem none;
        none.Index = -1;
        return none;
    }

protected:
    // Loads DayList from `path`; raises EFileError. A channel player remembers failures here.
    virtual void LoadDayListFile(const QString& path) { DayList.LoadFromFile(path); }
    // Told when the calendar rule governing the day changed (DayRule holds the new one, if any).
    virtual void DayRuleChanged() {}

private:
    // False when the channel has no day list today.
    bool FollowPeriodicList(const QDate& today, const FileExistsTest& fileExists);
    bool FollowCalendar(const QDate& today, const FileExistsTest& fileExists);
    // Makes `path` the loaded day list unless it is already; false when it names none.
    bool FollowDayList(const QString& path, const FileExistsTest& fileExists, bool mustExist);
};

// True when `item` is due at time of day `timeOfDay` (days).
bool IsDueAt(const PlayItem& item, double timeOfDay);

}  // namespace tessora
