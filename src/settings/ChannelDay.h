#pragma once
// A channel's timetable on one date, as its player will follow it: the day list of its
// periodic list's line for that date, or its own day list.

#include "ChannelFile.h"
#include "PlayList.h"

#include <QDate>
#include <QString>

namespace tessora {

struct ChannelDay {
    QString ListFile;      // the day list that applies; empty when none does
    QString NoListReason;  // why none does
    TPlayList List;        // its items
};

// Raises EFileError when the periodic list, or the day list that applies, cannot be read (a
// missing day list included: the channel would be silent all day).
ChannelDay ChannelDayOf(const ChannelConfig& channel, const QDate& date);

}  // namespace tessora
