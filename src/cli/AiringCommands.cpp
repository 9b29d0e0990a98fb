// tessora-cli report and check: what a station sounded on a day, and what a day would miss.
#include "AiringReport.h"
#include "ChannelDay.h"
#include "ChannelFile.h"
#include "CommandSupport.h"
#include "PreflightCheck.h"

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

int Report(const QStringList& args, CliIO& io) {
    RequireArguments(args, 2, "report FOLDER YYYY-MM-DD");
    const QDate date = ParseDate(args[1]);
    const std::vector<ChannelConfig> configs = StationChannels(args[0]);
    std::vector<ChannelDay> days;
    days.reserve(configs.size());
    for (size_t c = 0; c < configs.size(); ++c) {
        try {
            days.push_back(ChannelDayOf(configs[c], date));
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
    const std::vector<CheckFinding> findings = CheckStation(channels, date, AudioCheckEnvironment());
    for (const CheckFinding& f : findings)
        WriteRecord(io.out, {QString::number(f.Channel), f.Title, f.Item ? QString::number(*f.Item) : QString(),
                             f.Problem, f.Detail});
    return findings.empty() ? 0 : 1;
}

}  // namespace

std::vector<CliCommand> airingCommands() {
    return {
        {"report", "report FOLDER YYYY-MM-DD",
         "What the station in the program folder FOLDER sounded on that date, from its as-run log\n"
         "(FOLDER/asrun/YYYY-MM-DD.tsv), for every channel of FOLDER/tessora.cfg and every item of\n"
         "the day list that applied that day (a periodic list resolved for the date), in channel then\n"
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
         "is not among the outputs). Exit status 0 when there is nothing to report, 1 when there is.",
         Check},
    };
}

}  // namespace tessora::cli
