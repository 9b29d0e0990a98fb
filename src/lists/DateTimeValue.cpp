#include "DateTimeValue.h"

#include <QRegularExpression>

#include <cmath>

namespace tessora {

double TimeOfDay(double dateTime) {
    const double fraction = std::fabs(dateTime - std::trunc(dateTime));
    return fraction < 1.0 ? fraction : 0.0;
}

int64_t TimeOfDayMs(double dateTime) {
    return static_cast<int64_t>(std::llround(TimeOfDay(dateTime) * kMsPerDay)) % 86400000;
}

QString FormatTimeOfDay(double dateTime) {
    const int64_t seconds = TimeOfDayMs(dateTime) / 1000;
    return QString("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QChar('0'))
        .arg(seconds / 60 % 60, 2, 10, QChar('0'))
        .arg(seconds % 60, 2, 10, QChar('0'));
}

std::optional<double> ParseTimeOfDay(const QString& text) {
    static const QRegularExpression pattern(R"(^\s*(\d{1,2}):(\d{2}):(\d{2})\s*$)");
    const auto match = pattern.match(text);
    if (!match.hasMatch()) return std::nullopt;
    const int h = match.captured(1).toInt(), m = match.captured(2).toInt(), s = match.captured(3).toInt();
    if (h > 23 || m > 59 || s > 59) return std::nullopt;
    return TimeValue(h, m, s);
}

LocalMoment LocalMoment::FromDateTime(const QDateTime& local) {
    return {local.date(), local.time().msecsSinceStartOfDay() / kMsPerDay};
}

LocalMoment LocalMoment::Now() { return FromDateTime(QDateTime::currentDateTime()); }

std::optional<LocalMoment> LocalMoment::Parse(const QString& text) {
    static const QRegularExpression pattern(
        R"(^(\d{4})-(\d{2})-(\d{2})T(\d{2}):(\d{2}):(\d{2})(?:\.(\d{1,6}))?$)");
    const auto match = pattern.match(text);
    if (!match.hasMatch()) return std::nullopt;
    const QDate date(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
    const int h = match.captured(4).toInt(), m = match.captured(5).toInt(), s = match.captured(6).toInt();
    if (!date.isValid() || h > 23 || m > 59 || s > 59) return std::nullopt;
    const int64_t micros = match.captured(7).leftJustified(6, '0').toLongLong();
    const double microsOfDay = ((h * 60.0 + m) * 60.0 + s) * 1e6 + static_cast<double>(micros);
    return LocalMoment{date, microsOfDay / (kMsPerDay * 1000.0)};
}

}  // namespace tessora
