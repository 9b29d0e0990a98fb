#pragma once
// What was heard on a day: each timetable item against the as-run log's `start` events.

#include "AsRunEvent.h"
#include "PlayList.h"

#include <QDate>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace tessora {

// One channel as the report sees it: its title and the day list that applied on the date
// (none when no list applied).
struct ReportChannel {
    QString Title;
    const TPlayList* DayList = nullptr;
};

struct ReportLine {
    int Channel = 0;
    QString Title;
    int32_t Item = 0;  // the item's Index in its day list
    QString ItemTitle;
    double StartTime = 0, EndTime = 0;
    std::optional<LocalMoment> Heard;  // the first start of the item within its times
    QString Delay;                     // that start's delay in ms, as logged; empty when missed
};

struct AiringReport {
    std::vector<ReportLine> Lines;  // channel order, then list order
    int Heard = 0;
    int Missed = 0;
};

// Items that name an external device are left out: the station starts nothing for them, so
// the log cannot tell whether they sounded.
AiringReport ReportDay(const std::vector<ReportChannel>& channels, const QDate& date,
                       const std::vector<AsRunEvent>& events);

// The events of the date's file in `asrunFolder`, in file order; lines that are not events
// (one cut short by a crash) are skipped. No file: no events. Raises EFileError when the file
// exists but cannot be read.
std::vector<AsRunEvent> ReadAsRunDay(const QString& asrunFolder, const QDate& date);

}  // namespace tessora
