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
// command. A file cut short gives the channels of its whole records; `damage` says why.
std::vector<ChannelConfig> StationChannels(const QString& folder, QString* damage = nullptr) {
    if (!QFileInfo(folder).isDir()) throw CliError("not a folder: " + folder);
    TChannelFile file([](const QString&) { return PeriodicList(); });
    const QString path = QDir(folder).filePath(kChannelFileName);
    const ChannelLoadResult result = file.LoadChannels(path);
    if (!result.Complete) throw CliError(result.Error);
    if (damage && !result.Damage.isEmpty()) *damage = path + ": " + result.Damage;
    std::vector<ChannelConfig> channels;
    for (const LoadedChannel& loaded : result.Channels) channels.push_back(loaded.Config);
    return channels;
}

// The station calendar of the folder. One that cannot be read whole is not followed, as the
// station would not follow it: a line on stderr says so.
StationCalendar StationCalendarOf(const QString& folder) {
    StationCalendar calendar = WithFileErrors([&] { return ReadStationCalendar(folder); });
    if (!calendar.Whole()) {
        Warn(QString("%1: not followed, a line cannot be read: line %2: %3")
                 .arg(StationCalendarPath(folder))
                 .arg(calendar.Problems.front().Line)
                 .arg(calendar.Problems.front().Text));
    }
    return calendar;
}

// Today as the clock says, or TESSORA_NOW ("YYYY-MM-DDThh:mm:ss.mmm") for a run that needs
// another moment.
LocalMoment ReportNow() {
    const QString given = qEnvironmentVariable("TESSORA_NOW");
    if (given.isEmpty()) return LocalMoment::Now();
    const auto moment = LocalMoment::Parse(given);
    if (!moment) throw CliError("TESSORA_NOW is not a moment (YYYY-MM-DDThh:mm:ss.mmm): " + given);
    return *moment;
}

QStringList ReportRecord(const ReportLine& line) {
    const QString channel = QString::number(line.Channel);
    if (!line.Unreadable.isEmpty())
        return {channel, line.Title, "-", "-", "-", "-", CheckProblem::ListUnreadable, line.Unreadable};
    const QString heard = line.Heard     ? FormatTimeOfDayMs(*line.Heard)
                          : line.Pending ? QStringLiteral("pending")
                                         : QStringLiteral("missed");
    return {channel, line.Title, QString::number(line.Item), line.ItemTitle, FormatTimeOfDay(line.StartTime),
            FormatTimeOfDay(line.EndTime), heard, line.Delay};
}

int Report(const QStringList& args, CliIO& io) {
    RequireArguments(args, 2, "report FOLDER YYYY-MM-DD");
    const QDate date = ParseDate(args[1]);
    const LocalMoment now = ReportNow();
    QString channelFileDamage;
    const std::vector<ChannelConfig> configs = StationChannels(args[0], &channelFileDamage);
    if (!channelFileDamage.isEmpty())
        Warn("the channel file is damaged: " + channelFileDamage + "; reporting the channels read before it");
    const StationCalendar calendar = StationCalendarOf(args[0]);
    std::vector<ChannelDay> days(configs.size());
    std::vector<ReportChannel> channels;
    int damagedLists = 0;
    for (size_t c = 0; c < configs.size(); ++c) {
        ReportChannel channel{configs[c].Title, &days[c].List, QString()};
        try {
            days[c] = ChannelDayOf(configs[c], date, FollowedCalendar(calendar), int(c));
        } catch (const EFileError& e) {
            channel.DayList = nullptr;
            channel.Unreadable = e.Path + ": " + e.Message;
            Warn(QString("channel %1 (%2): list-unreadable: %3").arg(c).arg(configs[c].Title, channel.Unreadable));
        }
        // A list cut short: its whole records are reported; what came after the cut is unknown.
        if (!days[c].List.Damage.isEmpty()) {
            ++damagedLists;
            Warn(QString("channel %1 (%2): list-damaged: %3: %4; reporting its whole records")
                     .arg(c)
                     .arg(configs[c].Title, days[c].ListFile, days[c].List.Damage));
        }
        channels.push_back(channel);
    }
    const QString asrunFolder = QDir(args[0]).filePath(kAsRunFolderName);
    const AsRunDay log = WithFileErrors([&] { return ReadAsRunDayFile(asrunFolder, date); });
    if (log.DamagedLines > 0) {
        QStringList numbers;
        for (int n : log.DamagedLineNumbers) numbers << QString::number(n);
        Warn(QString("%1: %2 damaged line%3 (line %4), not events: cut short by a crash; an item they told of "
                     "may show as missed")
                 .arg(QDir(asrunFolder).filePath(AsRunFileName(date)))
                 .arg(log.DamagedLines)
                 .arg(log.DamagedLines == 1 ? "" : "s", numbers.join(", ")));
    }

    const AiringReport report = ReportDay(channels, date, log, now);
    for (const ReportLine& line : report.Lines) WriteRecord(io.out, ReportRecord(line));
    QStringList total{"total",  QString::number(report.ItemLines), "heard",   QString::number(report.Heard),
                      "missed", QString::number(report.Missed),    "pending", QString::number(report.Pending)};
    if (report.DamagedLines > 0) total << "damaged" << QString::number(report.DamagedLines);
    WriteRecord(io.out, total);
    const bool allRead = channelFileDamage.isEmpty() && report.UnreadableChannels == 0 && damagedLists == 0 &&
                         report.DamagedLines == 0;
    return allRead ? 0 : 1;
}

int Check(const QStringList& args, CliIO& io) {
    if (args.size() != 1 && args.size() != 2) throw CliError("usage: tessora-cli check FOLDER [YYYY-MM-DD]");
    const QDate date = args.size() == 2 ? ParseDate(args[1]) : QDate::currentDate().addDays(1);
    // The channel file first: a station that is not there needs no sound outputs listed.
    QString channelFileDamage;
    const std::vector<ChannelConfig> channels = StationChannels(args[0], &channelFileDamage);
    CheckEnvironment environment = AudioCheckEnvironment();
    environment.Calendar = std::make_shared<const StationCalendar>(
        WithFileErrors([&] { return ReadStationCalendar(args[0]); }));
    std::vector<CheckFinding> findings = CheckStation(channels, date, environment);
    // Named as the channel its cut record would have been.
    if (!channelFileDamage.isEmpty())
        findings.push_back({static_cast<int>(channels.size()), QString(), std::nullopt, QString(),
                            CheckProblem::ChannelFileDamaged, channelFileDamage,
                            QDir(args[0]).filePath(kChannelFileName)});
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
         "Heard is the time of the item's first start within its times (hh:mm:ss.mmm), missed, or\n"
         "pending for an item not heard whose start time is still to come (by the clock, or the\n"
         "moment TESSORA_NOW=YYYY-MM-DDThh:mm:ss.mmm gives); Delay the ms from its start time to\n"
         "its sound, or empty. Items that name an external device are left out: the station starts\n"
         "nothing for them. A channel whose list cannot be read has one line\n"
         "Channel  Title  -  -  -  -  list-unreadable  Reason\n"
         "and the report goes on. A last line: total N heard M missed K pending P, followed by\n"
         "damaged D when D lines of the log are not events (cut short by a crash).\n"
         "Exit status 0 even when items were missed; 1 when something could not be read (a damaged\n"
         "channel file, list or log line, an unreadable list), said on stderr, after everything else.",
         Report},
        {"check", "check FOLDER [YYYY-MM-DD]",
         "The pre-flight check of the station in the program folder FOLDER for a date (default:\n"
         "tomorrow): for every channel, the list that will apply is resolved, and each problem is\n"
         "one line:\n"
         "Channel  Title  Item  Problem  Detail\n"
         "with Item empty for a problem of the channel itself. Problems: list-unreadable,\n"
         "list-damaged, no-list, file-missing, file-unplayable, folder-empty, never-due (earlier\n"
         "items cover its whole time), bad-times (start not before end), no-device (the sound card\n"
         "is not among the outputs), channel-file-damaged (the channel file does not end at a whole\n"
         "record; Channel is the number the cut record would have had), and of FOLDER/calendar.txt\n"
         "(Channel -1 unless one channel's): calendar-bad-line, calendar-target-missing, calendar-tie\n"
         "(only the line order decides). Exit status 0 when there is nothing to report, 1 when there is.",
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
