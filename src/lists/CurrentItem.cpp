#include "CurrentItem.h"

#include <QFileInfo>

namespace tessora {

bool FileExistsOnDisk(const QString& path) { return QFileInfo(path).isFile(); }

bool IsDueAt(const PlayItem& item, double timeOfDay) {
    return TimeOfDay(item.StartTime) <= timeOfDay - kOneMillisecond &&
           TimeOfDay(item.EndTime) >= timeOfDay + kOneMillisecond;
}

bool ChannelTimetable::FollowPeriodicList(const QDate& today, const FileExistsTest& fileExists) {
    return FollowDayList(ResolveDayList(PeriodicList, today), fileExists, false);
}

bool ChannelTimetable::FollowDayList(const QString& path, const FileExistsTest& fileExists, bool mustExist) {
    if (path == DayListFile) return true;
    // A periodic list's line naming a file that is not there leaves the day silent; a list the
    // calendar or the channel names is loaded all the same, so that its failure shows.
    DayListFile = mustExist || fileExists(path) ? path : QString();
    DayList.Clear();
    CurrentItem.Index = -1;
    if (DayListFile.isEmpty()) return false;
    try {
        LoadDayListFile(DayListFile);
    } catch (...) {
        // Forget the file so that the next tick tries again: a repaired list must take over
        // the same day rather than leave the channel silent until midnight.
        DayListFile.clear();
        throw;
    }
    return true;
}

bool ChannelTimetable::FollowCalendar(const QDate& today, const FileExistsTest& fileExists) {
    const DayChoice choice =
        ChooseDay(Calendar.get(), CalendarChannel, PeriodicListFile, PeriodicList, OwnDayListFile, today);
    if (choice.Rule != DayRule) {
        DayRule = choice.Rule;
        DayRuleChanged();
    }
    const bool fromCalendar = choice.From == DayChoice::Origin::Calendar;
    if (choice.ListFile.isEmpty()) {
        if (!DayListFile.isEmpty() || !DayList.Items.empty()) {
            DayListFile.clear();
            DayList.Clear();
            CurrentItem.Index = -1;
        }
        return false;
    }
    return FollowDayList(choice.ListFile, fileExists, fromCalendar || PeriodicListFile.isEmpty());
}

const PlayItem* ChannelTimetable::FindCurrentItem(const LocalMoment& now, const FileExistsTest& fileExists) {
    if (Calendar) {
        if (!FollowCalendar(now.date, fileExists)) return nullptr;
    } else if (!PeriodicListFile.isEmpty() && !FollowPeriodicList(now.date, fileExists)) {
        return nullptr;
    }
    // The scan must not let other events run: a handler could replace the day list under it.
    for (const PlayItem& item : DayList.Items)
        if (IsDueAt(item, now.timeOfDay)) return &item;
    return nullptr;
}

}  // namespace tessora
