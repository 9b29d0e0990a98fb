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

}  // namespace

AiringReport ReportDay(const std::vector<ReportChannel>& channels, const QDate& date,
                       const std::vector<AsRunEvent>& events) {
    AiringReport report;
    for (size_t c = 0; c < channels.size(); ++c) {
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
            } else {
                ++report.Missed;
            }
            report.Lines.push_back(std::move(line));
        }
    }
    return report;
}

std::vector<AsRunEvent> ReadAsRunDay(const QString& asrunFolder, const QDate& date) {
    const QString path = QDir(asrunFolder).filePath(AsRunFileName(date));
    if (!QFileInfo(path).exists()) return {};
    std::vector<AsRunEvent> events;
    for (const QString& line : QString::fromUtf8(ReadWholeFile(path)).split('\n'))
        if (auto event = ParseAsRunLine(line)) events.push_back(std::move(*event));
    return events;
}

}  // namespace tessora
