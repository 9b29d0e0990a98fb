#pragma once
// The pre-flight check: what a date's timetables would fail to sound, found before the day
// starts. No widgets and no clock of its own: the date and the machine are given.

#include "Calendar.h"
#include "ChannelFile.h"

#include <QDate>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tessora {

// The words a finding is named by.
namespace CheckProblem {
inline const QString ListUnreadable = QStringLiteral("list-unreadable");  // Detail: the file and the reason
inline const QString ListDamaged = QStringLiteral("list-damaged");        // not a whole number of records
inline const QString NoList = QStringLiteral("no-list");                  // nothing applies that day
inline const QString FileMissing = QStringLiteral("file-missing");
inline const QString FileUnplayable = QStringLiteral("file-unplayable");  // Detail: the reader's message
inline const QString FolderEmpty = QStringLiteral("folder-empty");        // no file folder play would take
inline const QString NeverDue = QStringLiteral("never-due");              // earlier items cover its whole time
inline const QString BadTimes = QStringLiteral("bad-times");              // start not before end
inline const QString NoDevice = QStringLiteral("no-device");              // the sound card is not an output
// The channel file does not end at a whole record: channels after the cut are not known.
inline const QString ChannelFileDamaged = QStringLiteral("channel-file-damaged");
// The station calendar's, with Channel -1 unless they concern one channel; Detail names the line.
inline const QString CalendarBadLine = QStringLiteral("calendar-bad-line");            // not a rule, or no such channel
inline const QString CalendarTargetMissing = QStringLiteral("calendar-target-missing");  // its list cannot be read
inline const QString CalendarTie = QStringLiteral("calendar-tie");  // only the line order decides the date
}  // namespace CheckProblem

struct CheckFinding {
    int Channel = 0;
    QString Title;                // the channel's
    std::optional<int32_t> Item;  // the item's Index in its day list; none for the channel itself
    QString ItemTitle;
    QString Problem;              // a CheckProblem word
    QString Detail;
    QString File;                 // the list, file or folder concerned, when there is one

    bool operator==(const CheckFinding&) const = default;
};

// What the check needs of the machine.
struct CheckEnvironment {
    int OutputCount = 0;  // sound outputs; a channel's SoundCard indexes them
    // Why the reader refuses an existing file, or nothing when it takes it. It is asked once
    // per file, and never about anything but a regular file.
    std::function<std::optional<QString>(const QString& path)> WhyUnplayable;
    // The station calendar the channels follow; none when the station has none.
    std::shared_ptr<const StationCalendar> Calendar = nullptr;
};

// The outputs and the audio file reader of this machine.
CheckEnvironment AudioCheckEnvironment();

// Every finding for `date`: first the calendar's lines (those whose list is missing only while
// they are not over), then channel by channel in channel order: the channel's own, then its
// items' in list order. Reads files only; may take a while on large folders, so the
// station runs it away from the GUI thread.
std::vector<CheckFinding> CheckStation(const std::vector<ChannelConfig>& channels, const QDate& date,
                                       const CheckEnvironment& environment);

}  // namespace tessora
