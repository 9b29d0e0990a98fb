#include "StationReport.h"

#include "ChannelDay.h"
#include "FileError.h"

namespace tessora {

namespace {

bool HasEnded(const ReportLine& line, const QDate& date, const LocalMoment& now) {
    return date < now.date || (date == now.date && TimeOfDayMs(line.EndTime) < MsOfDay(now));
}

}  // namespace

StationReport ReportStationDay(const std::vector<ChannelConfig>& channels, const QDate& date, const QString& asrunFolder,
                               const StationCalendar* calendar) {
    StationReport day;
    day.Date = date;
    std::vector<std::optional<ChannelDay>> days(channels.size());
    std::vector<ReportChannel> reportChannels;
    for (size_t c = 0; c < channels.size(); ++c) {
        try {
            days[c] = ChannelDayOf(channels[c], date, calendar, int(c));
        } catch (const EFileError& e) {
            day.Unreadable << QString("%1: %2: %3").arg(c).arg(e.Path, e.Message);
        }
        reportChannels.push_back({channels[c].Title, days[c] ? &days[c]->List : nullptr});
    }
    day.Events = ReadAsRunDay(asrunFolder, date);
    day.Report = ReportDay(reportChannels, date, day.Events);
    return day;
}

std::vector<ChannelCounts> CountByChannel(const StationReport& day, int channelCount, const LocalMoment& now) {
    std::vector<ChannelCounts> counts(size_t(std::max(0, channelCount)));
    const auto at = [&](int channel) { return channel >= 0 && channel < channelCount ? &counts[size_t(channel)] : nullptr; };
    for (const AsRunEvent& e : day.Events) {
        ChannelCounts* c = at(e.Channel);
        if (!c) continue;
        if (e.Kind == AsRunEventKind::Start && e.Item) {
            ++c->Started;
            bool isNumber = false;
            const qlonglong delayMs = e.Detail.toLongLong(&isNumber);
            if (isNumber) c->LastStartOffset = double(delayMs) / 1000.0;
        } else if (e.Kind == AsRunEventKind::Error) {
            ++c->Errors;
        }
    }
    for (const ReportLine& line : day.Report.Lines)
        if (ChannelCounts* c = at(line.Channel); c && !line.Heard && HasEnded(line, day.Date, now)) ++c->Missed;
    return counts;
}

DayTotals TotalsOf(const AiringReport& report, const QDate& date, const LocalMoment& now) {
    DayTotals totals;
    totals.Total = int(report.Lines.size());
    totals.Heard = report.Heard;
    for (const ReportLine& line : report.Lines)
        if (!line.Heard && HasEnded(line, date, now)) ++totals.Missed;
    return totals;
}

}  // namespace tessora
