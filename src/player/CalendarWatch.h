#pragma once
// The station calendar as the running station follows it: "calendar.txt" read off the GUI thread
// and read again whenever it changes on disk. A calendar that cannot be read whole (a line that
// is not a rule, a file that cannot be read) is not followed in part: the station keeps the last
// calendar it read whole (none at start: the channels' own lists), and says why while it lasts.

#include "Calendar.h"

#include <QString>

#include <memory>
#include <optional>

namespace tessora {

class TCalendarWatch {
public:
    explicit TCalendarWatch(QString path);

    struct Change {
        std::shared_ptr<const StationCalendar> Calendar;  // set: a calendar read whole, to follow from now on
        std::optional<QString> Trouble;                   // set: the trouble changed; empty when it is over
    };
    // GUI thread: looks at the file, waiting for its file system only briefly, and reads it again
    // when it changed or the list folder its relative names live in did.
    Change Poll(const QString& listFolder);

    // Never null: an empty calendar until one is read.
    std::shared_ptr<const StationCalendar> Current() const { return current_; }
    QString Trouble() const { return trouble_; }
    QString Path() const { return path_; }

private:
    QString path_;
    std::shared_ptr<const StationCalendar> current_;
    QString trouble_;
    struct Known;
    std::shared_ptr<Known> known_;  // the file as last read, and what reading it found
};

// The operator's line for a calendar's unreadable lines: the first one and how many there are.
QString CalendarTroubleText(const StationCalendar& calendar);

}  // namespace tessora
