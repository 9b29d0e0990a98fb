#pragma once
// A channel's timetable on one date, as its player will follow it: the list the station calendar
// names for that date, or the day list of its periodic list's line, or its own day list.

#include "Calendar.h"
#include "ChannelFile.h"
#include "PlayList.h"

#include <QDate>
#include <QString>

namespace tessora {

struct ChannelDay {
    QString ListFile;      // the day list that applies; empty when none does
    QString NoListReason;  // why none does
    TPlayList List;        // its items
    DayChoice Choice;      // what chose the list
};

// What chooses the channel's list on `date`, reading its periodic list only when the calendar
// leaves the day to it. Raises EFileError when that periodic list cannot be read.
DayChoice ChooseChannelDay(const ChannelConfig& channel, const QDate& date, const StationCalendar* calendar,
                           int channelNumber);

// `calendar` (none: the station has no calendar) is asked for channel number `channel`.
// Raises EFileError when the periodic list, or the day list that applies, cannot be read (a
// missing day list included: the channel would be silent all day). A day the calendar
// silences has no list and no error.
ChannelDay ChannelDayOf(const ChannelConfig& channel, const QDate& date, const StationCalendar* calendar = nullptr,
                        int channelNumber = 0);

}  // namespace tessora
