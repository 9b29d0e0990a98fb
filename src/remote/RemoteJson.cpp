#include "RemoteJson.h"

#include <QJsonArray>

namespace tessora {

namespace {

QString LocalTime(const LocalMoment& moment) {
    return moment.date.toString(Qt::ISODate) + 'T' + FormatTimeOfDayMs(moment).left(8);
}

QJsonValue ItemJson(const std::optional<ItemSnapshot>& item) {
    if (!item) return QJsonValue::Null;
    return QJsonObject{{"number", item->Number},
                       {"title", item->Title},
                       {"start", FormatTimeOfDay(item->StartTime)},
                       {"end", FormatTimeOfDay(item->EndTime)}};
}

QJsonObject ChannelJson(const ChannelSnapshot& c) {
    return QJsonObject{{"channel", c.Channel},
                       {"title", c.Title},
                       {"state", c.State},
                       {"caption", c.Caption},
                       {"list", c.List},
                       {"item", ItemJson(c.Item)},
                       {"next", ItemJson(c.Next)},
                       {"file", c.File},
                       {"level", QJsonArray{c.Level[0], c.Level[1]}},
                       {"output", c.Output.isEmpty() ? QString::number(c.SoundCard) : c.Output},
                       {"error", c.Error.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(c.Error)}};
}

QJsonObject FindingJson(const DatedFinding& d) {
    const CheckFinding& f = d.Finding;
    return QJsonObject{{"date", d.Date.toString(Qt::ISODate)},
                       {"channel", f.Channel},
                       {"title", f.Title},
                       {"item", f.Item ? QJsonValue(*f.Item) : QJsonValue(QJsonValue::Null)},
                       {"itemTitle", f.ItemTitle},
                       {"problem", f.Problem},
                       {"detail", f.Detail},
                       {"file", f.File}};
}

QJsonObject TotalsJson(const DayTotals& t) { return {{"total", t.Total}, {"heard", t.Heard}, {"missed", t.Missed}}; }

}  // namespace

QJsonObject StatusJson(const StationSnapshot& snapshot, const StationFacts& facts) {
    QJsonArray channels;
    for (const ChannelSnapshot& c : snapshot.Channels) channels.append(ChannelJson(c));
    QJsonArray problems;
    for (const DatedFinding& f : facts.Problems) problems.append(FindingJson(f));
    QJsonObject today = TotalsJson(facts.Today);
    if (!facts.ReportRead) today = QJsonObject{{"total", QJsonValue::Null}, {"heard", QJsonValue::Null}, {"missed", QJsonValue::Null}};
    if (!facts.ReportError.isEmpty()) today.insert("error", facts.ReportError);
    return QJsonObject{{"station", snapshot.Station},
                       {"time", LocalTime(snapshot.Time)},
                       {"channels", channels},
                       {"today", today},
                       {"problems", problems}};
}

QJsonObject AsRunJson(const QDate& date, const StationReport& day, const LocalMoment& now) {
    QJsonArray lines;
    for (const ReportLine& line : day.Report.Lines)
        lines.append(QJsonObject{{"channel", line.Channel},
                                 {"title", line.Title},
                                 {"item", line.Item},
                                 {"itemTitle", line.ItemTitle},
                                 {"start", FormatTimeOfDay(line.StartTime)},
                                 {"end", FormatTimeOfDay(line.EndTime)},
                                 {"heard", line.Heard ? QJsonValue(FormatTimeOfDayMs(*line.Heard)) : QJsonValue(QJsonValue::Null)},
                                 {"delay", line.Delay.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(line.Delay.toLongLong())}});
    QJsonObject result{{"date", date.toString(Qt::ISODate)},
                       {"lines", lines},
                       {"total", int(day.Report.Lines.size())},
                       {"heard", day.Report.Heard},
                       {"missed", day.Report.Missed},
                       {"ended", TotalsJson(TotalsOf(day.Report, date, now))}};
    if (!day.Unreadable.isEmpty()) result.insert("unreadable", QJsonArray::fromStringList(day.Unreadable));
    return result;
}

}  // namespace tessora
