#pragma once
// What was heard on a day: each timetable item against the as-run log's `start` events.

#include "AsRunEvent.h"
#include "PlayList.h"

#include <QDate>
#include <QString>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace tessora {

// One channel as the report sees it: its title and the day list that applied on the date
// (none when no list applied).
struct ReportChannel {
    ReportChannel() = default;
    ReportChannel(QString title, const TPlayList* dayList, QString unreadable = QString())
        : Title(std::move(title)), DayList(dayList), Unreadable(std::move(unreadable)) {}

    QString Title;
    const TPlayList* DayList = nullptr;
    // Why the day's list could not be read; the channel then has one line saying so.
    QString Unreadable;
};

struct ReportLine {
    int Channel = 0;
    QString Title;
    int32_t Item = 0;  // the item's Index in its day list
    QString ItemTitle;
    double StartTime = 0, EndTime = 0;
    std::optional<LocalMoment> Heard;  // the first start of the item within its times
    QString Delay;                     // that start's delay in ms, as logged; empty when missed
    bool Pending = false;              // not heard, and its start time is still to come
    QString Unreadable;  // a channel whose list could not be read: why (the line has no item)
};

struct AiringReport {
    std::vector<ReportLine> Lines;  // channel order, then list order
    int Heard = 0;
    int Missed = 0;
    int Pending = 0;
    int ItemLines = 0;           // lines of items: Heard + Missed + Pending
    int UnreadableChannels = 0;  // channels whose list could not be read, one line each
    int DamagedLines = 0;        // lines of the log that are not events (cut short by a crash)
};

// The events of one date's file of the log, and how many of its lines are not events.
struct AsRunDay {
    std::vector<AsRunEvent> Events;  // in file order
    int DamagedLines = 0;
    std::vector<int> DamagedLineNumbers;  // from 1
};

// Items that name an external device are left out: the station starts nothing for them, so
// the log cannot tell whether they sounded.
// With `now`, an item of a later date, or of `now`'s date with its start time after `now`, that
// was not heard is pending rather than missed.
AiringReport ReportDay(const std::vector<ReportChannel>& channels, const QDate& date,
                       const std::vector<AsRunEvent>& events, std::optional<LocalMoment> now = std::nullopt);
// The same from a day's file as read, its damaged lines counted.
AiringReport ReportDay(const std::vector<ReportChannel>& channels, const QDate& date, const AsRunDay& log,
                       std::optional<LocalMoment> now = std::nullopt);

// The events of the date's file in `asrunFolder`, in file order; a line that is not an event
// (one cut short by a crash) is counted as damaged. No file: no events. Raises EFileError when
// the file exists but cannot be read.
AsRunDay ReadAsRunDayFile(const QString& asrunFolder, const QDate& date);
// Its events alone.
std::vector<AsRunEvent> ReadAsRunDay(const QString& asrunFolder, const QDate& date);

}  // namespace tessora
