#pragma once
// Date-time values as the station's files store them: days since 30 December 1899 as a
// double, the fraction being the time of day.

#include <QDate>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

namespace tessora {

constexpr double kMsPerDay = 86400000.0;
// Every time-of-day comparison of the timetable allows this much.
constexpr double kOneMillisecond = 1.0 / kMsPerDay;

// The time-of-day part of a date-time value, in days (0 <= result < 1). Negative values keep
// their time of day in the magnitude of the fraction, as the date-time encoding defines.
double TimeOfDay(double dateTime);

// A date-time value's time of day as whole milliseconds, rounded to the nearest one.
int64_t TimeOfDayMs(double dateTime);

// "hh:mm:ss" on the 24-hour clock.
QString FormatTimeOfDay(double dateTime);

// Reads "h:mm:ss" / "hh:mm:ss" (hours 0-23); a pure time value (whole part 0), or nothing.
std::optional<double> ParseTimeOfDay(const QString& text);

inline double TimeValue(int hours, int minutes, int seconds, double ms = 0) {
    return ((hours * 60.0 + minutes) * 60.0 + seconds) * 1000.0 / kMsPerDay + ms / kMsPerDay;
}

// A local moment: a calendar date and the time of day, exact below the millisecond.
struct LocalMoment {
    QDate date;
    double timeOfDay = 0;  // in days, 0 <= timeOfDay < 1

    static LocalMoment FromDateTime(const QDateTime& local);
    static LocalMoment Now();
    // "YYYY-MM-DDThh:mm:ss" with an optional fraction of up to six digits.
    static std::optional<LocalMoment> Parse(const QString& text);
};

}  // namespace tessora
