// tessora-cli calendar: the station calendar of a program folder, filled from an iCalendar feed.
#include "CalendarImport.h"
#include "CommandSupport.h"
#include "FileError.h"
#include "StationCalendarFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace tessora::cli {

namespace {

const QString kImportSynopsis = QStringLiteral("calendar FOLDER import FILE.ics TARGET [KIND] [--dry-run]");

int Import(const QString& folder, QStringList args, CliIO& io) {
    const bool dryRun = args.removeAll(QStringLiteral("--dry-run")) > 0;
    if (args.size() != 2 && args.size() != 3) throw CliError("usage: tessora-cli " + kImportSynopsis);
    const QString target = args[1].trimmed();
    const QString kind = args.size() == 3 ? args[2].trimmed() : QStringLiteral("holiday");
    if (target.isEmpty() || target.contains('\t') || kind.isEmpty() || kind.contains('\t'))
        throw CliError(QStringLiteral("TARGET and KIND are one word each, without TABs"));
    const QByteArray ics = WithFileErrors([&] { return ReadWholeFile(args[0]); });
    const CalendarImport imported = ImportICalendar(ics, target, kind, QDate::currentDate());

    const QString path = StationCalendarPath(folder);
    // What is there stays as it is, byte for byte; the new rules go after it.
    QByteArray text = QFileInfo::exists(path) ? WithFileErrors([&] { return ReadWholeFile(path); }) : QByteArray();
    QSet<QString> present;
    for (const QByteArray& line : text.split('\n')) present.insert(QString::fromUtf8(line).trimmed());
    if (!text.isEmpty() && !text.endsWith('\n')) text += '\n';
    int added = 0;
    for (const ImportedRule& r : imported.Rules) {
        const QString line = FormatCalendarRule(r.Rule);
        // An event imported before is not added twice.
        if (present.contains(r.Comment) && present.contains(line)) {
            WriteRecord(io.out, QStringList{QStringLiteral("present")} + line.split('\t'));
            continue;
        }
        text += (r.Comment + '\n' + line + '\n').toUtf8();
        WriteRecord(io.out, QStringList{dryRun ? QStringLiteral("would-add") : QStringLiteral("added")} + line.split('\t'));
        ++added;
    }
    for (const RefusedEvent& r : imported.Refused)
        WriteRecord(io.out, {QStringLiteral("refused"), r.Uid, r.Summary, r.Reason});
    if (!dryRun && added > 0) WithFileErrors([&] { WriteFileAtomically(path, text); });
    return 0;
}

int Calendar(const QStringList& args, CliIO& io) {
    if (args.size() < 2 || args[1] != QStringLiteral("import")) throw CliError("usage: tessora-cli " + kImportSynopsis);
    if (!QFileInfo(args[0]).isDir()) throw CliError("not a folder: " + args[0]);
    return Import(args[0], args.mid(2), io);
}

}  // namespace

std::vector<CliCommand> calendarCommands() {
    return {
        {"calendar", kImportSynopsis,
         "Appends to FOLDER/calendar.txt one rule per all-day event of the iCalendar file, for all\n"
         "channels, playing TARGET (a day list, -silent- or -base-), of kind KIND (default holiday),\n"
         "labelled with the event's SUMMARY; a comment line above each keeps the event's UID. DTEND\n"
         "is the day after the event (one equal to DTSTART means that one day); recurring events are\n"
         "expanded over the next two years. One line per event:\n"
         "added  RULE (the rule's six fields), present  RULE (imported before, not added again), or\n"
         "refused  UID  Summary  Reason (an event with a time of day, a DTEND before DTSTART).\n"
         "--dry-run prints would-add for each rule and writes nothing.",
         Calendar},
    };
}

}  // namespace tessora::cli
