#include "AiringReport.h"

#include "FileError.h"

#include <QDir>
#include <QFileInfo>

namespace tessora {

namespace {

bool WithinTimes(const LocalMoment& moment, const PlayItem& item) {
    const int64_t ms = MsOfDay(moment);
    return ms >= TimeOfDayMs(item.StartTime) && ms <= TimeOfDayMs(item.EndTime);
}

const AsRunEvent* FirstStart(const std::vector<AsRunEvent>& events, int channel, const PlayItem& item,
                             const QDate& date) {
    const AsRunEvent* first = nullptr;
    for (const AsRunEvent& e : events) {
        if (e.Kind != AsRunEventKind::Start || e.Channel != channel || e.Item != item.Index) continue;
        if (e.Time.date != date || !WithinTimes(e.Time, item)) continue;
        if (!first || MsOfDay(e.Time) < MsOfDay(first->Time)) first = &e;
    }
    return first;
}

bool StillToCome(const PlayItem& item, const QDate& date, const std::optional<LocalMoment>& now) {
    if (!now) return false;
    return date > now->date || (date == now->date && TimeOfDayMs(item.StartTime) > MsOfDay(*now));
}

}  // namespace

AiringReport ReportDay(const std::vector<ReportChannel>& channels, const QDate& date,
                       const std::vector<AsRunEvent>& events, std::optional<LocalMoment> now) {
    AiringReport report;
    for (size_t c = 0; c < channels.size(); ++c) {
        if (!channels[c].Unreadable.isEmpty()) {
            ReportLine line;
            line.Channel = static_cast<int>(c);
            line.Title = channels[c].Title;
            line.Unreadable = channels[c].Unreadable;
            report.Lines.push_back(std::move(line));
            ++report.UnreadableChannels;
            continue;
        }
        if (!channels[c].DayList) continue;
        for (const PlayItem& item : channels[c].DayList->Items) {
            if (item.Kind == KindDevice) continue;
            ReportLine line;
            line.Channel = static_cast<int>(c);
            line.Title = channels[c].Title;
            line.Item = item.Index;
            line.ItemTitle = item.Title;
            line.StartTime = item.StartTime;
            line.EndTime = item.EndTime;
            if (const AsRunEvent* start = FirstStart(events, line.Channel, item, date)) {
                line.Heard = start->Time;
                bool isNumber = false;
                start->Detail.toLongLong(&isNumber);
                if (isNumber) line.Delay = start->Detail;
                ++report.Heard;
            } else if (StillToCome(item, date, now)) {
                line.Pending = true;
                ++report.Pending;
            } else {
                ++report.Missed;
            }
            ++report.ItemLines;
            report.Lines.push_back(std::move(line));
        }
    }
    return report;
}

AiringReport ReportDay(const std::vector<ReportChannel>& channels, const QDate& date, const AsRunDay& log,
                       std::optional<LocalMoment> now) {
    AiringReport report = ReportDay(channels, date, log.Events, now);
    report.DamagedLines = log.DamagedLines;
    return report;
}

AsRunDay ReadAsRunDayFile(const QString& asrunFolder, const QDate& date) {
    const QString path = QDir(asrunFolder).filePath(AsRunFileName(date));
    AsRunDay day;
    if (!QFileInfo(path).exists()) return day;
    const QStringList lines = QString::fromUtf8(ReadWholeFile(path)).split('\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        if (lines[n].isEmpty()) continue;  // the end of the last line
        if (auto event = ParseAsRunLine(lines[n])) {
            day.Events.push_back(std::move(*event));
        } else {
            ++day.DamagedLines;
            day.DamagedLineNumbers.push_back(static_cast<int>(n + 1));
        }
    }
    return day;
}

std::vector<AsRunEvent> ReadAsRunDay(const QString& asrunFolder, const QDate& date) {
    return ReadAsRunDayFile(asrunFolder, date).Events;
}

}  // namespace tessora
