#pragma once
// The station calendar: holidays, exam days and one-off days laid over the channels' own lists.
// "calendar.txt" in the station folder is UTF-8, one rule per line, fields separated by one TAB:
//   Kind  From  To  Channels  Target  Label
// "#" starts a comment line; blank lines are ignored. From and To are YYYY-MM-DD, both included
// (To empty: the one day From). Channels is "*" or channel numbers (from 0) joined by commas.
// Target is a day list (a relative name lives in the list folder), "-silent-" or "-base-".

#include "PeriodicList.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tessora {

inline const QString kCalendarFileName = QStringLiteral("calendar.txt");
inline const QString kSilentTarget = QStringLiteral("-silent-");
inline const QString kBaseTarget = QStringLiteral("-base-");

enum class CalendarTarget { List, Silent, Base };

struct CalendarRule {
    int Line = 0;  // from 1, in the file
    QString Kind;
    QDate From, To;
    bool AllChannels = false;
    QList<int> Channels;       // when not AllChannels
    CalendarTarget Target = CalendarTarget::Base;
    QString TargetText;        // as written
    QString ListPath;          // the list a List target names, with the list folder applied
    QString Label;

    qint64 Span() const { return From.daysTo(To) + 1; }
    bool Names(int channel) const { return AllChannels || Channels.contains(channel); }
    bool Covers(int channel, const QDate& date) const { return date >= From && date <= To && Names(channel); }
    bool operator==(const CalendarRule&) const = default;
};

struct CalendarProblem {
    int Line = 0;
    QString Text;
    bool operator==(const CalendarProblem&) const = default;
};

struct StationCalendar {
    std::vector<CalendarRule> Rules;       // in file order
    std::vector<CalendarProblem> Problems;  // lines that could not be read

    bool Whole() const { return Problems.empty(); }
    bool operator==(const StationCalendar&) const = default;
    // The rule that decides `channel`'s day on `date`: of those covering it, the one spanning the
    // fewest days; at equal span one that names the channel beats "*"; then the later line.
    const CalendarRule* Governing(int channel, const QDate& date) const;
    // Pairs of covering rules that only their line order tells apart on that date and channel.
    std::vector<std::pair<const CalendarRule*, const CalendarRule*>> Ties(int channel, const QDate& date) const;
    // Rules naming a channel number that is not below `channelCount`.
    std::vector<CalendarProblem> UnknownChannels(int channelCount) const;
};

// One rule line to a rule; nothing with `why` set when the line cannot be read.
std::optional<CalendarRule> ParseCalendarRule(const QString& line, const QString& listFolder, QString* why);
// The line of a rule, as ParseCalendarRule reads it.
QString FormatCalendarRule(const CalendarRule& rule);
StationCalendar ParseCalendar(const QByteArray& utf8, const QString& listFolder);
// Raises EFileError when the file cannot be read; a missing file is an empty calendar.
StationCalendar ReadCalendar(const QString& path, const QString& listFolder);
// The list path of a target name: relative names are in `listFolder`.
QString CalendarListPath(const QString& target, const QString& listFolder);

// The day list a channel follows on a date, and what chose it.
struct DayChoice {
    enum class Origin { List, Periodic, Calendar };
    Origin From = Origin::List;
    QString ListFile;                   // empty: nothing plays from the timetable
    std::optional<CalendarRule> Rule;   // the calendar rule that governs the day, if any
    bool Silent() const { return Rule && Rule->Target == CalendarTarget::Silent; }
    // "calendar:LINE Label", "periodic:FILE" or "list".
    QString OriginText(const QString& periodicFile) const;
};

// The calendar first (when there is one), then the periodic list's line for the date (when the
// channel has one), then the channel's own day list. A "-base-" rule governs the day with the
// channel's own choice.
DayChoice ChooseDay(const StationCalendar* calendar, int channel, const QString& periodicFile,
                    const PeriodicList& periodicLines, const QString& ownDayList, const QDate& date);

// What the panel's list line says of a day a rule governs: the list's name or "静音", then the label.
QString RuleListLabel(const QString& listName, const CalendarRule& rule);

}  // namespace tessora
