#include "AsRunEvent.h"

#include "TabRecord.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>

namespace tessora {

namespace {

constexpr int64_t kLastMsOfDay = 86399999;

struct KindName {
    AsRunEventKind kind;
    const char* name;
};
constexpr std::array kKindNames{
    KindName{AsRunEventKind::Start, "start"},       KindName{AsRunEventKind::End, "end"},
    KindName{AsRunEventKind::Stop, "stop"},         KindName{AsRunEventKind::Pause, "pause"},
    KindName{AsRunEventKind::Resume, "resume"},     KindName{AsRunEventKind::Error, "error"},
    KindName{AsRunEventKind::Manual, "manual"},     KindName{AsRunEventKind::List, "list"},
    KindName{AsRunEventKind::Takeover, "takeover"}, KindName{AsRunEventKind::Giveback, "giveback"},
    KindName{AsRunEventKind::Startup, "startup"},   KindName{AsRunEventKind::Exit, "exit"},
    KindName{AsRunEventKind::Remote, "remote"},
};

constexpr int kFieldCount = 8;

std::optional<int> ParseWholeNumber(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

}  // namespace

QString AsRunEventName(AsRunEventKind kind) {
    for (const KindName& k : kKindNames)
        if (k.kind == kind) return QString::fromLatin1(k.name);
    return QString();
}

std::optional<AsRunEventKind> AsRunEventFromName(const QString& name) {
    for (const KindName& k : kKindNames)
        if (name == QLatin1String(k.name)) return k.kind;
    return std::nullopt;
}

int64_t MsOfDay(const LocalMoment& time) {
    // A whole millisecond stored as a fraction of a day may come back a hair below itself.
    constexpr double kHair = 1e-6;
    return std::clamp<int64_t>(static_cast<int64_t>(std::floor(time.timeOfDay * kMsPerDay + kHair)), 0, kLastMsOfDay);
}

QString FormatTimeOfDayMs(const LocalMoment& time) {
    const int64_t ms = MsOfDay(time);
    return QString("%1:%2:%3.%4")
        .arg(ms / 3600000, 2, 10, QChar('0'))
        .arg(ms / 60000 % 60, 2, 10, QChar('0'))
        .arg(ms / 1000 % 60, 2, 10, QChar('0'))
        .arg(ms % 1000, 3, 10, QChar('0'));
}

QString FormatLogTime(const LocalMoment& time) {
    return time.date.toString(QStringLiteral("yyyy-MM-dd")) + 'T' + FormatTimeOfDayMs(time);
}

QString FormatAsRunLine(const AsRunEvent& e) {
    return TabRecord({FormatLogTime(e.Time), QString::number(e.Channel), e.Title, AsRunEventName(e.Kind),
                      e.Item ? QString::number(*e.Item) : QString(), e.ItemTitle, e.File, e.Detail});
}

std::optional<AsRunEvent> ParseAsRunLine(const QString& line) {
    const QStringList f = line.split('\t');
    if (f.size() != kFieldCount) return std::nullopt;
    static const QRegularExpression timePattern(R"(^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}\.\d{3}$)");
    if (!timePattern.match(f[0]).hasMatch()) return std::nullopt;
    const auto time = LocalMoment::Parse(f[0]);
    const auto channel = ParseWholeNumber(f[1]);
    const auto kind = AsRunEventFromName(f[3]);
    const auto item = f[4].isEmpty() ? std::optional<int>() : ParseWholeNumber(f[4]);
    if (!time || !channel || !kind || (!f[4].isEmpty() && !item)) return std::nullopt;
    AsRunEvent event;
    event.Time = *time;
    event.Channel = *channel;
    event.Title = f[2];
    event.Kind = *kind;
    event.Item = item;
    event.ItemTitle = f[5];
    event.File = f[6];
    event.Detail = f[7];
    return event;
}

QString AsRunFileName(const QDate& date) { return date.toString(QStringLiteral("yyyy-MM-dd")) + ".tsv"; }

std::optional<QDate> AsRunFileDate(const QString& fileName) {
    static const QRegularExpression namePattern(R"(^(\d{4}-\d{2}-\d{2})\.tsv$)");
    const auto match = namePattern.match(fileName);
    if (!match.hasMatch()) return std::nullopt;
    const QDate date = QDate::fromString(match.captured(1), QStringLiteral("yyyy-MM-dd"));
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

}  // namespace tessora
