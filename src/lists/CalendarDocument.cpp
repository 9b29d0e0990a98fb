#include "CalendarDocument.h"

#include "GbkText.h"

#include <QFileInfo>

namespace tessora {

void TCalendarDocument::Load(const QByteArray& utf8, const QString& listFolder) {
    lines_.clear();
    for (const QByteArray& line : SplitTextLines(utf8)) lines_ << QString::fromUtf8(line);
    listFolder_ = listFolder;
    modified_ = false;
    Reparse();
}

QByteArray TCalendarDocument::Text() const {
    QByteArray text;
    for (const QString& line : lines_) text += line.toUtf8() + '\n';
    return text;
}

QStringList TCalendarDocument::LineProblems() const {
    QStringList texts;
    for (const CalendarProblem& p : calendar_.Problems) texts << QString("第%1行：%2").arg(p.Line).arg(p.Text);
    return texts;
}

void TCalendarDocument::Reparse() {
    calendar_ = ParseCalendar(Text(), listFolder_);
}

void TCalendarDocument::Add(const CalendarRule& rule) {
    lines_ << FormatCalendarRule(rule);
    modified_ = true;
    Reparse();
}

void TCalendarDocument::Replace(size_t index, const CalendarRule& rule) {
    if (index >= calendar_.Rules.size()) return;
    lines_[calendar_.Rules[index].Line - 1] = FormatCalendarRule(rule);
    modified_ = true;
    Reparse();
}

void TCalendarDocument::Remove(size_t index) {
    if (index >= calendar_.Rules.size()) return;
    const int at = calendar_.Rules[index].Line - 1;
    lines_.removeAt(at);
    if (at > 0 && lines_[at - 1].startsWith(QStringLiteral("# UID "))) lines_.removeAt(at - 1);
    modified_ = true;
    Reparse();
}

std::vector<int> TCalendarDocument::GoverningByDay(int channel, int year) const {
    const QDate first(year, 1, 1);
    std::vector<int> days(size_t(first.daysInYear()), -1);
    for (size_t d = 0; d < days.size(); ++d)
        if (const CalendarRule* rule = calendar_.Governing(channel, first.addDays(qint64(d))))
            days[d] = int(rule - calendar_.Rules.data());
    return days;
}

QString RuleChannelsText(const CalendarRule& rule) {
    if (rule.AllChannels) return QStringLiteral("全部");
    QStringList numbers;
    for (int c : rule.Channels) numbers << QString::number(c);
    return numbers.join(',');
}

QString RuleTargetText(const CalendarRule& rule) {
    switch (rule.Target) {
    case CalendarTarget::Silent: return QStringLiteral("静音");
    case CalendarTarget::Base: return QStringLiteral("默认");
    case CalendarTarget::List: return QFileInfo(rule.TargetText).fileName();
    }
    return rule.TargetText;
}

}  // namespace tessora
