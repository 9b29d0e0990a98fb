#pragma once
// A periodic list names one day list per day of a week, a month or a year.
// Its ".lsm" file is GBK text, one line per day.

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

namespace tessora {

using PeriodicList = QStringList;

enum class PeriodKind { Week, Month, Year };

constexpr int kWeekLines = 7;
constexpr int kMonthLines = 31;
constexpr int kYearLines = 366;

int LineCountOf(PeriodKind kind);

// The kind a list of `lineCount` lines is edited as; past a year's lines the editor keeps `shown`.
PeriodKind KindFromLineCount(qsizetype lineCount, PeriodKind shown);

// Splits at CR, LF or CR LF; a last line without terminator counts, a final terminator adds none.
PeriodicList ParsePeriodicList(const QByteArray& gbkText);
QByteArray SerializePeriodicList(const PeriodicList& lines);  // CR LF after every line

// Raises EFileError.
PeriodicList ReadPeriodicList(const QString& path);
// Appends ".lsm" unless the path has it; returns the path written. Raises EFileError.
QString WritePeriodicList(const QString& path, const PeriodicList& lines);

// The line index that applies on `date`: weekday from Sunday for 7 lines, day of the month for
// 31, day of the year for 366. A list of another length is read by the kind its length gives
// (up to 7 lines a week, up to 31 a month, more a year); a day past its last line has none.
std::optional<qsizetype> DayIndex(qsizetype lineCount, const QDate& date);

// The day list path for `date`, empty when none is assigned.
QString ResolveDayList(const PeriodicList& lines, const QDate& date);

}  // namespace tessora
