#pragma once
// What the calendar tab of the list editor edits: the lines of "calendar.txt" as they are, with
// the rules read from them. Comments and lines that cannot be read stay as they are through
// every edit and save; an edit touches only its rule's line.

#include "Calendar.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>

#include <vector>

namespace tessora {

class TCalendarDocument {
public:
    // The file's text; `listFolder` for relative list names.
    void Load(const QByteArray& utf8, const QString& listFolder);
    QByteArray Text() const;  // UTF-8, LF after every line

    const StationCalendar& Calendar() const { return calendar_; }
    const std::vector<CalendarRule>& Rules() const { return calendar_.Rules; }
    // "第N行：reason" for each line that cannot be read; empty when every line is a rule or comment.
    QStringList LineProblems() const;

    // Edits by rule index (file order). Add appends at the end.
    void Add(const CalendarRule& rule);
    void Replace(size_t index, const CalendarRule& rule);
    // Removes the rule's line, and the comment right above it that an import wrote for it.
    void Remove(size_t index);
    bool Modified() const { return modified_; }
    void MarkSaved() { modified_ = false; }

    // The index of the rule governing `channel` on each day of `year` (from 1 January), or -1.
    std::vector<int> GoverningByDay(int channel, int year) const;

private:
    void Reparse();

    QStringList lines_;
    QString listFolder_;
    StationCalendar calendar_;
    bool modified_ = false;
};

// Display texts of a rule's fields, as the calendar tab's table shows them.
QString RuleChannelsText(const CalendarRule& rule);
QString RuleTargetText(const CalendarRule& rule);  // "静音", "默认" or the list's name

}  // namespace tessora
