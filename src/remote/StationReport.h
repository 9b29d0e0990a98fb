#pragma once
// What the station's log says of a day, read from disk: the report of every channel's timetable
// for the date against the as-run log, and what it counts per channel. Reads files: never on
// the GUI thread.

#include "AiringReport.h"
#include "Calendar.h"
#include "ChannelFile.h"

#include <QDate>
#include <QStringList>

#include <optional>
#include <vector>

namespace tessora {

struct StationReport {
    QDate Date;
    AiringReport Report;
    std::vector<AsRunEvent> Events;  // the day's file
    QStringList Unreadable;          // channels whose day could not be read: "N: path: reason"
};

// Each channel's day is the one the station's `calendar` (none: no calendar) gives it. A channel
// whose day list cannot be read is reported without items (and named in Unreadable) rather than
// failing the whole day. Raises EFileError when the log's file cannot be read.
StationReport ReportStationDay(const std::vector<ChannelConfig>& channels, const QDate& date, const QString& asrunFolder,
                               const StationCalendar* calendar);

// Per channel, from a day's report and events, as the metrics count them.
struct ChannelCounts {
    int Started = 0;  // timetable items that began sounding
    int Missed = 0;   // items whose end has passed unheard
    int Errors = 0;   // error events
    std::optional<double> LastStartOffset;  // seconds from the last started item's start time
};
struct DayTotals {
    int Total = 0;
    int Heard = 0;
    int Missed = 0;  // ended unheard; items still to come count in neither
};

// `now` tells which items have ended; a day before now's date has ended whole.
std::vector<ChannelCounts> CountByChannel(const StationReport& day, int channelCount, const LocalMoment& now);
DayTotals TotalsOf(const AiringReport& report, const QDate& date, const LocalMoment& now);

}  // namespace tessora
