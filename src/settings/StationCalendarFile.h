#pragma once
// The station calendar of a program folder, read as the station reads it: "calendar.txt", with
// relative list names in the list folder of the folder's "Tessora.ini".

#include "Calendar.h"

#include <QString>

namespace tessora {

// The list folder the station in `programFolder` uses (its "list" folder unless set otherwise).
QString StationListFolder(const QString& programFolder);
QString StationCalendarPath(const QString& programFolder);
// Raises EFileError when the calendar or the settings cannot be read.
StationCalendar ReadStationCalendar(const QString& programFolder);
// The calendar the station follows: one read whole. A calendar with lines that cannot be read is
// not followed in part (the station keeps the one it read before, and starts without one).
inline const StationCalendar* FollowedCalendar(const StationCalendar& calendar) {
    return calendar.Whole() ? &calendar : nullptr;
}

}  // namespace tessora
