#include "PeriodicList.h"

#include "FileError.h"
#include "GbkText.h"

namespace tessora {

int LineCountOf(PeriodKind kind) {
    switch (kind) {
    case PeriodKind::Week: return kWeekLines;
    case PeriodKind::Month: return kMonthLines;
    case PeriodKind::Year: return kYearLines;
    }
    return kWeekLines;
}

PeriodKind KindFromLineCount(qsizetype lineCount, PeriodKind shown) {
    if (lineCount <= kWeekLines) return PeriodKind::Week;
    if (lineCount <= kMonthLines) return PeriodKind::Month;
    if (lineCount <= kYearLines) return PeriodKind::Year;
    return shown;
}

PeriodicList ParsePeriodicList(const QByteArray& gbkText) {
    PeriodicList lines;
    for (const QByteArray& line : SplitTextLines(gbkText)) lines << DecodeGbk(line);
    return lines;
}

QByteArray SerializePeriodicList(const PeriodicList& lines) {
    QByteArray text;
    for (const QString& line : lines) text += EncodeGbk(line) + "\r\n";
    return text;
}

PeriodicList ReadPeriodicList(const QString& path) { return ParsePeriodicList(ReadWholeFile(path)); }

QString WritePeriodicList(const QString& path, const PeriodicList& lines) {
    const QString target = WithExtension(path, ".lsm");
    WriteFileAtomically(target, SerializePeriodicList(lines));
    return target;
}

std::optional<qsizetype> DayIndex(qsizetype lineCount, const QDate& date) {
    if (!date.isValid() || lineCount <= 0) return std::nullopt;
    qsizetype index = 0;
    switch (KindFromLineCount(lineCount, PeriodKind::Year)) {
    case PeriodKind::Week: index = date.dayOfWeek() % 7; break;  // Qt counts Monday 1 .. Sunday 7
    case PeriodKind::Month: index = date.day() - 1; break;
    case PeriodKind::Year: index = date.dayOfYear() - 1; break;
    }
    if (index >= lineCount) return std::nullopt;
    return index;
}

QString ResolveDayList(const PeriodicList& lines, const QDate& date) {
    const auto index = DayIndex(lines.size(), date);
    return index ? lines.at(*index) : QString();
}

}  // namespace tessora
