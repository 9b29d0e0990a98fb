#pragma once
// An iCalendar feed (a school district's holidays, say) to station calendar rules: one rule per
// all-day event and per occurrence of a recurring one. Events with a time of day are refused:
// the station calendar decides whole days.

#include "Calendar.h"

#include <QByteArray>
#include <QDate>
#include <QString>

#include <vector>

namespace tessora::cli {

struct ImportedRule {
    QString Uid;
    CalendarRule Rule;
    QString Comment;  // "# UID ..." kept above the rule in the calendar file
};

struct RefusedEvent {
    QString Uid;
    QString Summary;
    QString Reason;
};

struct CalendarImport {
    std::vector<ImportedRule> Rules;
    std::vector<RefusedEvent> Refused;
};

// Recurring events are expanded from `today` over the next two years; occurrences that ended
// before `today` are left out. Every rule applies to all channels and plays `target`.
// Raises CliError when the text is not an iCalendar.
CalendarImport ImportICalendar(const QByteArray& ics, const QString& target, const QString& kind, const QDate& today);

}  // namespace tessora::cli
