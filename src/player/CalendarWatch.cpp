#include "CalendarWatch.h"

#include "FileError.h"
#include "PatientCall.h"
#include "SoundMixer.h"

namespace tessora {

namespace {

// What one look at the file found.
struct Snapshot {
    TFileStamp stamp;
    QString listFolder;
    bool unchanged = false;
    std::optional<StationCalendar> calendar;
    QString error;
};

}  // namespace

struct TCalendarWatch::Known {
    std::optional<TFileStamp> stamp;
    QString listFolder;
    QString trouble;
};

QString CalendarTroubleText(const StationCalendar& calendar) {
    if (calendar.Problems.empty()) return QString();
    const CalendarProblem& first = calendar.Problems.front();
    QString text = QString("line %1: %2").arg(first.Line).arg(first.Text);
    if (calendar.Problems.size() > 1) text += QString(" (and %1 more)").arg(calendar.Problems.size() - 1);
    return text;
}

TCalendarWatch::TCalendarWatch(QString path)
    : path_(std::move(path)), current_(std::make_shared<StationCalendar>()), known_(std::make_shared<Known>()) {}

TCalendarWatch::Change TCalendarWatch::Poll(const QString& listFolder) {
    Change change;
    const std::optional<TFileStamp> knownStamp = known_->stamp;
    const QString knownFolder = known_->listFolder;
    const QString path = path_;
    const std::optional<Snapshot> snapshot = PatientCall<Snapshot>::Run(path, [=] {
        Snapshot s;
        s.stamp = TFileStamp::Of(path);
        s.listFolder = listFolder;
        if (knownStamp == s.stamp && knownFolder == listFolder) {
            s.unchanged = true;
            return s;
        }
        try {
            s.calendar = ReadCalendar(path, listFolder);
        } catch (const EFileError& e) {
            s.error = e.Message;
        }
        return s;
    });
    QString trouble;
    if (!snapshot) {
        trouble = QString("the file system did not answer within %1 ms").arg(kFilePatience.count());
    } else if (snapshot->unchanged) {
        trouble = known_->trouble;
    } else {
        known_->stamp = snapshot->stamp;
        known_->listFolder = snapshot->listFolder;
        if (!snapshot->calendar) {
            known_->trouble = snapshot->error;
        } else if (!snapshot->calendar->Whole()) {
            known_->trouble = CalendarTroubleText(*snapshot->calendar);
        } else {
            known_->trouble.clear();
            if (*snapshot->calendar != *current_) {
                current_ = std::make_shared<const StationCalendar>(*snapshot->calendar);
                change.Calendar = current_;
            }
        }
        trouble = known_->trouble;
    }
    if (trouble != trouble_) {
        trouble_ = trouble;
        change.Trouble = trouble;
    }
    return change;
}

}  // namespace tessora
