#pragma once
// One line of the as-run log: what a channel sounded, and when. The log is a folder "asrun" in
// the program folder with one UTF-8 file per local date, "YYYY-MM-DD.tsv", one TAB-separated
// line per event:
//   Time  Channel  Title  Event  Item  ItemTitle  File  Detail

#include "DateTimeValue.h"

#include <QDate>
#include <QString>

#include <cstdint>
#include <optional>

namespace tessora {

inline const QString kAsRunFolderName = QStringLiteral("asrun");

enum class AsRunEventKind {
    Start,     // a file began sounding; Detail: for an item, ms from its start time
    End,       // it played to its end; Detail: the peak level heard, 0..100
    Stop,      // closed before its end; Detail: the peak level heard, 0..100
    Pause,
    Resume,
    Error,     // Detail: the reason
    Manual,    // a file chosen by hand
    List,      // a list chosen; File is the list
    Takeover,  // an override window took the channel
    Giveback,  // and gave it back
    Startup,   // Channel -1
    Exit,      // Channel -1
    Remote,    // a command over the HTTP server; Detail: the token's name, the address, the command
};

QString AsRunEventName(AsRunEventKind kind);
std::optional<AsRunEventKind> AsRunEventFromName(const QString& name);

// The channel of events that belong to the station as a whole.
constexpr int kStationChannel = -1;

struct AsRunEvent {
    LocalMoment Time;
    int Channel = kStationChannel;
    QString Title;                // the channel's title
    AsRunEventKind Kind = AsRunEventKind::Startup;
    std::optional<int32_t> Item;  // the timetable item's Index in its day list; none for manual and override play
    QString ItemTitle;
    QString File;
    QString Detail;
};

// "YYYY-MM-DDThh:mm:ss.mmm", the milliseconds cut, not rounded, so no moment reads as the next day.
QString FormatLogTime(const LocalMoment& time);
// "hh:mm:ss.mmm" of a moment's time of day.
QString FormatTimeOfDayMs(const LocalMoment& time);
// The whole milliseconds of a moment's time of day, 0..86399999.
int64_t MsOfDay(const LocalMoment& time);

// The line of an event, without its line end.
QString FormatAsRunLine(const AsRunEvent& event);
// The event of a line, or nothing for a line that is not one (a line cut short by a crash).
std::optional<AsRunEvent> ParseAsRunLine(const QString& line);

// "YYYY-MM-DD.tsv", and the date such a name stands for.
QString AsRunFileName(const QDate& date);
std::optional<QDate> AsRunFileDate(const QString& fileName);

}  // namespace tessora
