// tessora-cli report and check: what a station sounded on a day, and what a day would miss.
#include "AiringReport.h"
#include "ChannelDay.h"
#include "ChannelFile.h"
#include "CommandSupport.h"
#include "CurrentItem.h"
#include "PreflightCheck.h"
#include "StationCalendarFile.h"

#include <QDir>

namespace tessora::cli {

namespace {

// The channels of the program folder's channel file. Their periodic lists are read by whoever
// needs a day of them, so that one that cannot be read is reported rather than ending the
// command.
std::vector<ChannelConfig> StationChannels(const QString& folder) {
    if (!QFileInfo(folder).isDir()) throw CliError("not a folder: " + folder);
    TChannelFile file([](const QString&) { return PeriodicList(); });
    const ChannelLoadResult result = file.LoadChannels(QDir(folder).filePath(kChannelFileName));
    if (!result.Complete) throw CliError(result.Error);
    std::vector<ChannelConfig> channels;
    for (const LoadedChannel& loaded : result.Channels) channels.push_back(loaded.Config);
    return channels;
}

// The station calendar of the folder. One that cannot be read whole is not followed, as the
// station would not follow it: a line on stderr says so.
StationCalendar StationCalendarOf(const QString& folder) {
    StationCalendar calendar = WithFileErrors([&] { return ReadStationCalendar(folder); });
    if (!calendar.Whole()) {
        QTextStream err(stderr);
        err << "tessora-cli: " << StationCalendarPath(folder) << ": not followed, a line cannot be read: line "
            << calendar.Problems.front().Line << ": " << calendar.Problems.front().Text << "\n";
    }
    return calendar;
}

int Report(const QStringList& args, CliIO& io) {
    RequireArguments(args, 2, "report FOLDER YYYY-MM-DD");
    const QDate date = ParseDate(args[1]);
    const std::vector<ChannelConfig> configs = StationChannels(args[0]);
    const StationCalendar calendar = StationCalendarOf(args[0]);
    std::vector<ChannelDay> days;
    days.reserve(configs.size());
    for (size_t c = 0; c < configs.size(); ++c) {
        try {
            days.push_back(ChannelDayOf(configs[c], date, FollowedCalendar(calendar), int(c)));
        } catch (const EFileError& e) {
            throw CliError(QString("channel %1 (%2): %3: %4").arg(c).arg(configs[c].Title, e.Path, e.Message));
        }
    }
    std::vector<ReportChannel> channels;
    for (size_t c = 0; c < configs.size(); ++c) channels.push_back({configs[c].Title, &days[c].List});
    const auto events = WithFileErrors([&] { return ReadAsRunDay(QDir(args[0]).filePath(kAsRunFolderName), date); });

    const AiringReport report = ReportDay(channels, date, events);
    for (const ReportLine& line : report.Lines)
        WriteRecord(io.out, {QString::number(line.Channel), line.Title, QString::number(line.Item), line.ItemTitle,
                             FormatTimeOfDay(line.StartTime), FormatTimeOfDay(line.EndTime),
                             line.Heard ? FormatTimeOfDayMs(*line.Heard) : QStringLiteral("missed"), line.Delay});
    WriteRecord(io.out, {"total", QString::number(report.Lines.size()), "heard", QString::number(report.Heard), "missed",
                         QString::number(report.Missed)});
    return 0;
}

int Check(const QStringList& args, CliIO& io) {
    if (args.size() != 1 && args.size() != 2) throw CliError("usage: tessora-cli check FOLDER [YYYY-MM-DD]");
    const QDate date = args.size() == 2 ? ParseDate(args[1]) : QDate::currentDate().addDays(1);
    // The channel file first: a station that is not there needs no sound outputs listed.
    const std::vector<ChannelConfig> channels = StationChannels(args[0]);
    CheckEnvironment environment = AudioCheckEnvironment();
    environment.Calendar = std::make_shared<const StationCalendar>(
        WithFileErrors([&] { return ReadStationCalendar(args[0]); }));
    const std::vector<CheckFinding> findings = CheckStation(channels, date, environment);
    for (const CheckFinding& f : findings)
        WriteRecord(io.out, {QString::number(f.Channel), f.Title, f.Item ? QString::number(*f.Item) : QString(),
                             f.Problem, f.Detail});
    return findings.empty() ? 0 : 1;
}

int Day(const QStringList& args, CliIO& io) {
    RequireArguments(args, 2, "day FOLDER YYYY-MM-DD");
    const QDate date = ParseDate(args[1]);
    const std::vector<ChannelConfig> configs = StationChannels(args[0]);
    const StationCalendar calendar = StationCalendarOf(args[0]);
    for (size_t c = 0; c < configs.size(); ++c) {
        const ChannelConfig& config = configs[c];
        const DayChoice choice =
            WithFileErrors([&] { return ChooseChannelDay(config, date, FollowedCalendar(calendar), int(c)); });
        const QString list = choice.Silent() ? kSilentTarget : choice.ListFile;
        WriteRecord(io.out, {QString::number(c), config.Title, list, choice.OriginText(config.PeriodicListFile)});
    }
    return 0;
}

}  // namespace

// `due FOLDER CHANNEL WHEN`: the item of a station's channel, its day chosen as the station does.
int DueInStation(const QStringList& args, CliIO& io) {
    RequireArguments(args, 3, "due FOLDER CHANNEL WHEN");
    const std::vector<ChannelConfig> configs = StationChannels(args[0]);
    bool ok = false;
    const int channel = args[1].toInt(&ok);
    if (!ok || channel < 0 || channel >= int(configs.size()))
        throw CliError(QString("no channel %1: the station has %2").arg(args[1]).arg(configs.size()));
    const auto when = LocalMoment::Parse(args[2]);
    if (!when) throw CliError("not a moment (YYYY-MM-DDThh:mm:ss[.ffffff]): " + args[2]);
    const StationCalendar calendar = StationCalendarOf(args[0]);
    const ChannelDay day = WithFileErrors([&] {
        return ChannelDayOf(configs[channel], when->date, FollowedCalendar(calendar), channel);
    });
    for (const PlayItem& item : day.List.Items)
        if (IsDueAt(item, when->timeOfDay)) {
            WriteRecord(io.out, {QString::number(item.Index), item.Title});
            return 0;
        }
    io.out << "none\n";
    return 0;
}

std::vector<CliCommand> airingCommands() {
    return {
        {"report", "report FOLDER YYYY-MM-DD",
         "What the station in the program folder FOLDER sounded on that date, from its as-run log\n"
         "(FOLDER/asrun/YYYY-MM-DD.tsv), for every channel of FOLDER/tessora.cfg and every item of\n"
         "the day list that applied that day (FOLDER/calendar.txt first, then a periodic list resolved\n"
         "for the date), in channel then\n"
         "list order:\n"
         "Channel  Title  Item  ItemTitle  Start  End  Heard  Delay\n"
         "Heard is the time of the item's first start within its times (hh:mm:ss.mmm) or missed;\n"
         "Delay the ms from its start time to its sound, or empty. Items that name an external device\n"
         "are left out: the station starts nothing for them. A last line: total N heard M missed K.\n"
         "Exit status 0 even when items were missed.",
         Report},
        {"check", "check FOLDER [YYYY-MM-DD]",
         "The pre-flight check of the station in the program folder FOLDER for a date (default:\n"
         "tomorrow): for every channel, the list that will apply is resolved, and each problem is\n"
         "one line:\n"
         "Channel  Title  Item  Problem  Detail\n"
         "with Item empty for a problem of the channel itself. Problems: list-unreadable,\n"
         "list-damaged, no-list, file-missing, file-unplayable, folder-empty, never-due (earlier\n"
         "items cover its whole time), bad-times (start not before end), no-device (the sound card\n"
         "is not among the outputs), and of FOLDER/calendar.txt (Channel -1 unless one channel's):\n"
         "calendar-bad-line, calendar-target-missing, calendar-tie (only the line order decides).\n"
         "Exit status 0 when there is nothing to report, 1 when there is.",
         Check},
        {"day", "day FOLDER YYYY-MM-DD",
         "The list every channel of the station in the program folder FOLDER follows on that date,\n"
         "one line per channel:\n"
         "Channel  Title  List  Origin\n"
         "List is the day list (empty when none applies, -silent- when the calendar silences the\n"
         "day); Origin is calendar:LINE Label (a rule of FOLDER/calendar.txt governs the day),\n"
         "periodic:FILE (the line of the channel's periodic list) or list (its own day list).",
         Day},
    };
}

}  // namespace tessora::cli
