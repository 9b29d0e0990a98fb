#include "Calendar.h"

#include "FileError.h"
#include "GbkText.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

#include <tuple>

namespace tessora {

namespace {

constexpr int kFieldCount = 6;

QDate ParseRuleDate(const QString& text) { return QDate::fromString(text, QStringLiteral("yyyy-MM-dd")); }

// Fewer days first, then a rule naming the channel before "*"; equal ranks tie.
auto Rank(const CalendarRule& rule) { return std::make_tuple(rule.Span(), rule.AllChannels ? 1 : 0); }

}  // namespace

QString CalendarListPath(const QString& target, const QString& listFolder) {
    if (target.isEmpty() || QDir::isAbsolutePath(target) || listFolder.isEmpty()) return target;
    return QDir(listFolder).filePath(target);
}

std::optional<CalendarRule> ParseCalendarRule(const QString& line, const QString& listFolder, QString* why) {
    const auto fail = [why](const QString& text) -> std::optional<CalendarRule> {
        if (why) *why = text;
        return std::nullopt;
    };
    const QStringList f = line.split('\t');
    // The label may be left off; anything past it is not a rule of this calendar.
    if (f.size() != kFieldCount && f.size() != kFieldCount - 1)
        return fail(QString("expected 6 TAB-separated fields (Kind From To Channels Target Label), found %1").arg(f.size()));
    CalendarRule rule;
    rule.Kind = f[0].trimmed();
    if (rule.Kind.isEmpty()) return fail(QStringLiteral("Kind is empty"));
    rule.From = ParseRuleDate(f[1].trimmed());
    if (!rule.From.isValid()) return fail("From is not a date (YYYY-MM-DD): \"" + f[1] + "\"");
    rule.To = f[2].trimmed().isEmpty() ? rule.From : ParseRuleDate(f[2].trimmed());
    if (!rule.To.isValid()) return fail("To is not a date (YYYY-MM-DD): \"" + f[2] + "\"");
    if (rule.To < rule.From) return fail("To " + f[2].trimmed() + " is before From " + f[1].trimmed());
    const QString channels = f[3].trimmed();
    if (channels == QStringLiteral("*")) {
        rule.AllChannels = true;
    } else {
        for (const QString& part : channels.split(',')) {
            bool ok = false;
            const int number = part.trimmed().toInt(&ok);
            if (!ok || number < 0) return fail("Channels is \"*\" or channel numbers from 0 joined by commas, not \"" + f[3] + "\"");
            if (!rule.Channels.contains(number)) rule.Channels << number;
        }
    }
    rule.TargetText = f[4].trimmed();
    if (rule.TargetText == kSilentTarget) {
        rule.Target = CalendarTarget::Silent;
    } else if (rule.TargetText == kBaseTarget) {
        rule.Target = CalendarTarget::Base;
    } else if (rule.TargetText.isEmpty()) {
        return fail(QStringLiteral("Target is empty (a day list, -silent- or -base-)"));
    } else {
        rule.Target = CalendarTarget::List;
        rule.ListPath = CalendarListPath(rule.TargetText, listFolder);
    }
    rule.Label = f.size() == kFieldCount ? f[5].trimmed() : QString();
    return rule;
}

QString FormatCalendarRule(const CalendarRule& rule) {
    QStringList channels;
    for (int c : rule.Channels) channels << QString::number(c);
    const QString format = QStringLiteral("yyyy-MM-dd");
    return QStringList{rule.Kind, rule.From.toString(format), rule.To == rule.From ? QString() : rule.To.toString(format),
                       rule.AllChannels ? QStringLiteral("*") : channels.join(','), rule.TargetText, rule.Label}
        .join('\t');
}

StationCalendar ParseCalendar(const QByteArray& utf8, const QString& listFolder) {
    StationCalendar calendar;
    int number = 0;
    for (const QByteArray& bytes : SplitTextLines(utf8)) {
        ++number;
        QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString line = decode(bytes);
        if (decode.hasError()) {
            calendar.Problems.push_back({number, QStringLiteral("not UTF-8 text")});
            continue;
        }
        if (number == 1 && line.startsWith(QChar(0xFEFF))) line.remove(0, 1);
        if (line.trimmed().isEmpty() || line.trimmed().startsWith('#')) continue;
        QString why;
        if (auto rule = ParseCalendarRule(line, listFolder, &why)) {
            rule->Line = number;
            calendar.Rules.push_back(std::move(*rule));
        } else {
            calendar.Problems.push_back({number, why});
        }
    }
    return calendar;
}

StationCalendar ReadCalendar(const QString& path, const QString& listFolder) {
    // No calendar is a station like any other; a calendar in a broken state is not.
    if (!QFileInfo(path).exists() && !QFileInfo(path).isSymLink()) return {};
    return ParseCalendar(ReadWholeFile(path), listFolder);
}

const CalendarRule* StationCalendar::Governing(int channel, const QDate& date) const {
    const CalendarRule* best = nullptr;
    for (const CalendarRule& rule : Rules) {
        if (!rule.Covers(channel, date)) continue;
        // A later line of equal rank wins: rules are in file order.
        if (!best || Rank(rule) <= Rank(*best)) best = &rule;
    }
    return best;
}

std::vector<std::pair<const CalendarRule*, const CalendarRule*>> StationCalendar::Ties(int channel,
                                                                                      const QDate& date) const {
    std::vector<std::pair<const CalendarRule*, const CalendarRule*>> ties;
    const CalendarRule* governing = Governing(channel, date);
    if (!governing) return ties;
    for (const CalendarRule& rule : Rules)
        if (&rule != governing && rule.Covers(channel, date) && Rank(rule) == Rank(*governing))
            ties.push_back({&rule, governing});
    return ties;
}

std::vector<CalendarProblem> StationCalendar::UnknownChannels(int channelCount) const {
    std::vector<CalendarProblem> problems;
    for (const CalendarRule& rule : Rules)
        for (int c : rule.Channels)
            if (c >= channelCount) {
                problems.push_back({rule.Line, QString("channel %1 is not one of the station's (0 to %2)")
                                                   .arg(c)
                                                   .arg(channelCount - 1)});
                break;
            }
    return problems;
}

QString DayChoice::OriginText(const QString& periodicFile) const {
    if (Rule) return QString("calendar:%1 %2").arg(Rule->Line).arg(Rule->Label);
    if (From == Origin::Periodic) return QStringLiteral("periodic:") + periodicFile;
    return QStringLiteral("list");
}

DayChoice ChooseDay(const StationCalendar* calendar, int channel, const QString& periodicFile,
                    const PeriodicList& periodicLines, const QString& ownDayList, const QDate& date) {
    DayChoice choice;
    if (periodicFile.isEmpty()) {
        choice.ListFile = ownDayList;
    } else {
        choice.From = DayChoice::Origin::Periodic;
        choice.ListFile = ResolveDayList(periodicLines, date);
    }
    const CalendarRule* rule = calendar ? calendar->Governing(channel, date) : nullptr;
    if (!rule) return choice;
    choice.Rule = *rule;
    if (rule->Target == CalendarTarget::Base) return choice;
    choice.From = DayChoice::Origin::Calendar;
    choice.ListFile = rule->Target == CalendarTarget::List ? rule->ListPath : QString();
    return choice;
}

QString RuleListLabel(const QString& listName, const CalendarRule& rule) {
    const QString name = rule.Target == CalendarTarget::Silent ? QStringLiteral("静音") : listName;
    return rule.Label.isEmpty() ? name : name + QStringLiteral(" (") + rule.Label + ')';
}

}  // namespace tessora
