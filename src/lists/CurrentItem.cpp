#include "CurrentItem.h"

#include <QFileInfo>

namespace tessora {

bool FileExistsOnDisk(const QString& path) { return QFileInfo(path).isFile(); }

bool IsDueAt(const PlayItem& item, double timeOfDay) {
    return TimeOfDay(item.StartTime) <= timeOfDay - kOneMillisecond &&
           TimeOfDay(item.EndTime) >= timeOfDay + kOneMillisecond;
}

bool ChannelTimetable::FollowPeriodicList(const QDate& today, const FileExistsTest& fileExists) {
    const QString line = ResolveDayList(PeriodicList, today);
    if (line == DayListFile) return true;
    DayListFile = fileExists(line) ? line : QString();
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

const PlayItem* ChannelTimetable::FindCurrentItem(const LocalMoment& now, const FileExistsTest& fileExists) {
    if (!PeriodicListFile.isEmpty() && !FollowPeriodicList(now.date, fileExists)) return nullptr;
    // The scan must not let other events run: a handler could replace the day list under it.
    for (const PlayItem& item : DayList.Items)
        if (IsDueAt(item, now.timeOfDay)) return &item;
    return nullptr;
}

}  // namespace tessora
