// Commands on the station's timetable and configuration files.
#include "ChannelFile.h"
#include "CommandSupport.h"
#include "CurrentItem.h"
#include "FileNames.h"
#include "GbkText.h"
#include "ItemCheck.h"
#include "PeriodicList.h"
#include "PlayList.h"

namespace tessora::cli {

namespace {

// A day list cut short still has its whole records, but a command answering from it must not
// pass it off as the complete list.
void RequireWholeList(const TPlayList& list, const QString& path) {
    if (!list.Damage.isEmpty()) throw CliError(path + ": " + list.Damage);
}

QStringList InputLines(QTextStream& in) {
    QStringList lines;
    for (const QByteArray& line : SplitTextLines(in.readAll().toUtf8())) lines << QString::fromUtf8(line);
    return lines;
}

int List(const QStringList& args, CliIO& io) {
    RequireArguments(args, 1, "list FILE");
    TPlayList list;
    WithFileErrors([&] { list.LoadFromFile(args[0]); });
    RequireWholeList(list, args[0]);
    const auto rows = list.FillListView();
    for (size_t i = 0; i < rows.size(); ++i) {
        const PlayItemRow& r = rows[i];
        WriteRecord(io.out, {QString::number(list.Items[i].Index), r.Title, r.Start, r.End, r.Source, r.PlayMode, r.Memo});
    }
    return 0;
}

int Resolve(const QStringList& args, CliIO& io) {
    RequireArguments(args, 2, "resolve FILE.lsm YYYY-MM-DD");
    const QDate date = ParseDate(args[1]);
    const PeriodicList lines = WithFileErrors([&] { return ReadPeriodicList(args[0]); });
    io.out << ResolveDayList(lines, date) << '\n';
    return 0;
}

int Due(const QStringList& args, CliIO& io) {
    if (args.size() == 3) return DueInStation(args, io);
    RequireArguments(args, 2, "due FILE WHEN");
    const auto when = LocalMoment::Parse(args[1]);
    if (!when) throw CliError("not a moment (YYYY-MM-DDThh:mm:ss[.ffffff]): " + args[1]);
    ChannelTimetable timetable;
    const QString extension = LowerExtension(args[0]);
    WithFileErrors([&] {
        if (extension == ".lst") {
            timetable.DayList.LoadFromFile(args[0]);
            timetable.DayListFile = args[0];
        } else if (extension == ".lsm") {
            timetable.PeriodicList = ReadPeriodicList(args[0]);
            timetable.PeriodicListFile = args[0];
        } else {
            throw CliError("not a day list (.lst) or periodic list (.lsm): " + args[0]);
        }
    });
    const PlayItem* item = WithFileErrors([&] { return timetable.FindCurrentItem(*when); });
    RequireWholeList(timetable.DayList, timetable.DayListFile);
    if (item)
        WriteRecord(io.out, {QString::number(item->Index), item->Title});
    else
        io.out << "none\n";
    return 0;
}

int Channels(const QStringList& args, CliIO& io) {
    RequireArguments(args, 1, "channels FILE.cfg");
    TChannelFile file;
    const ChannelLoadResult result = file.LoadChannels(args[0]);
    if (!result.Complete) throw CliError(result.Error);
    if (!result.Damage.isEmpty())
        Warn("the channel file is damaged: " + args[0] + ": " + result.Damage + "; listing the channels read before it");
    for (const LoadedChannel& loaded : result.Channels) {
        const ChannelConfig& c = loaded.Config;
        WriteRecord(io.out, {c.Title, QString::number(c.SoundCard), QString::number(c.PlayState),
                             QString::number(c.PlayMode), QString::number(c.Volume), c.DayListFile, c.PeriodicListFile});
    }
    return result.Damage.isEmpty() ? 0 : 1;
}

// One item line: Title, Start, End, Kind, Source, Loop, PlayOrder, Memo (the memo may be left off).
PlayItem ParseItemLine(const QString& line) {
    const QStringList f = line.split('\t');
    if (f.size() != 7 && f.size() != 8)
        throw CliError(QString("expected 8 TAB-separated fields "
                               "(Title Start End Kind Source Loop PlayOrder Memo), found %1").arg(f.size()));
    PlayItem item;
    item.Title = f[0];
    const auto start = ParseTimeOfDay(f[1]), end = ParseTimeOfDay(f[2]);
    if (!start || !end) throw CliError(kBadTimeMessage + " (times are hh:mm:ss, 00:00:00 to 23:59:59)");
    item.StartTime = *start;
    item.EndTime = *end;
    const QString kind = f[3].trimmed();
    if (kind == "file") item.Kind = KindFile;
    else if (kind == "folder") item.Kind = KindFolder;
    else if (kind == "device") item.Kind = KindDevice;
    else throw CliError("Kind must be file, folder or device, not \"" + f[3] + "\"");
    item.Source = f[4];
    if (item.Kind == KindDevice && !item.Source.isEmpty()) {
        item.DeviceIndex = static_cast<int32_t>(kDeviceNames.indexOf(item.Source));
        if (item.DeviceIndex < 0) throw CliError("a device is one of " + kDeviceNames.join(", "));
    }
    const auto flag = [](const QString& text, const char* name) -> uint8_t {
        if (text.trimmed() == "0") return 0;
        if (text.trimmed() == "1") return 1;
        throw CliError(QString("%1 must be 0 or 1").arg(name));
    };
    item.Loop = flag(f[5], "Loop");
    item.PlayOrder = flag(f[6], "PlayOrder");
    item.Memo = f.size() == 8 ? f[7] : QString();
    const ItemProblem problem = CheckPlayItem(item);
    if (problem != ItemProblem::None) {
        const ProblemText text = ItemProblemText(problem);
        throw CliError(text.Chinese + " (" + text.English + ")");
    }
    return item;
}

int MakeList(const QStringList& args, CliIO& io) {
    RequireArguments(args, 1, "make-list OUT");
    TPlayList list;
    const QStringList lines = InputLines(io.in);
    for (qsizetype n = 0; n < lines.size(); ++n) {
        if (lines[n].trimmed().isEmpty()) continue;
        try {
            list.Items.push_back(ParseItemLine(lines[n]));
        } catch (const CliError& e) {
            throw CliError(QString("line %1: %2").arg(n + 1).arg(e.what()));
        }
        list.Items.back().Index = static_cast<int32_t>(list.Items.size());
    }
    WithFileErrors([&] { return list.SaveToFile(args[0]); });
    return 0;
}

int MakePeriodic(const QStringList& args, CliIO& io) {
    RequireArguments(args, 1, "make-periodic OUT");
    const PeriodicList lines = InputLines(io.in);
    if (lines.size() != kWeekLines && lines.size() != kMonthLines && lines.size() != kYearLines)
        throw CliError(QString("a periodic list has 7, 31 or 366 lines, not %1").arg(lines.size()));
    for (qsizetype n = 0; n < lines.size(); ++n)
        if (!FitsGbk(lines[n]))
            throw CliError(QString("line %1: a character that the GBK code page cannot hold").arg(n + 1));
    WithFileErrors([&] { return WritePeriodicList(args[0], lines); });
    return 0;
}

// One channel line as `channels` prints it.
ChannelConfig ParseChannelLine(const QString& line) {
    const QStringList f = line.split('\t');
    if (f.size() != 7)
        throw CliError(QString("expected 7 TAB-separated fields (Title SoundCard PlayState PlayMode Volume "
                               "DayListFile PeriodicListFile), found %1").arg(f.size()));
    const auto number = [](const QString& text, const char* name, int low, int high) {
        bool ok = false;
        const int value = text.trimmed().toInt(&ok);
        if (!ok || value < low || value > high) throw CliError(QString("%1 must be a number from %2 to %3").arg(name).arg(low).arg(high));
        return value;
    };
    const auto text = [](const QString& value, const char* name, qsizetype maxBytes) {
        if (!FitsGbk(value)) throw CliError(QString("%1: a character that the GBK code page cannot hold").arg(name));
        if (GbkLength(value) > maxBytes) throw CliError(QString("%1 is longer than %2 bytes in GBK").arg(name).arg(maxBytes));
        return value;
    };
    ChannelConfig c;
    c.Title = text(f[0], "Title", ChannelLayout::TitleSize);
    c.SoundCard = number(f[1], "SoundCard", 0, 0x7fffffff);
    c.PlayState = static_cast<uint8_t>(number(f[2], "PlayState", PlayOn, PlayStopped));
    c.PlayMode = static_cast<uint8_t>(number(f[3], "PlayMode", ListMode, ManualMode));
    c.Volume = number(f[4], "Volume", -10000, 0);
    c.DayListFile = text(f[5], "DayListFile", ChannelLayout::DayListFileSize);
    c.PeriodicListFile = text(f[6], "PeriodicListFile", ChannelLayout::PeriodicListFileSize);
    return c;
}

int MakeChannels(const QStringList& args, CliIO& io) {
    RequireArguments(args, 1, "make-channels OUT");
    std::vector<ChannelConfig> channels;
    const QStringList lines = InputLines(io.in);
    for (qsizetype n = 0; n < lines.size(); ++n) {
        if (lines[n].trimmed().isEmpty()) continue;
        try {
            channels.push_back(ParseChannelLine(lines[n]));
        } catch (const CliError& e) {
            throw CliError(QString("line %1: %2").arg(n + 1).arg(e.what()));
        }
    }
    WithFileErrors([&] { return TChannelFile().SaveChannels(args[0], channels); });
    return 0;
}

}  // namespace

std::vector<CliCommand> listCommands() {
    return {
        {"list", "list FILE",
         "One line per item of the day list FILE (.lst):\n"
         "Index  Title  Start  End  Source  PlayMode  Memo (times hh:mm:ss).",
         List},
        {"resolve", "resolve FILE.lsm YYYY-MM-DD",
         "The line of the periodic list that applies on that date (possibly empty).\n"
         "7 lines: the weekday from Sunday; 31: the day of the month; 366: the day of the year.\n"
         "A list of another length is read as a week (up to 7 lines), a month (up to 31) or a year;\n"
         "a day past its last line has no day list.",
         Resolve},
        {"due", "due FILE WHEN",
         "The item due at WHEN (YYYY-MM-DDThh:mm:ss[.ffffff]) as Index  Title, or none.\n"
         "FILE is a day list (.lst) or a periodic list (.lsm); for a periodic list the day list\n"
         "of that date is resolved, tested for existence and loaded first.\n"
         "tessora-cli due FOLDER CHANNEL WHEN: the same for channel CHANNEL (from 0) of the station in\n"
         "the program folder FOLDER, its day chosen as the station does (calendar.txt first).",
         Due},
        {"channels", "channels FILE.cfg",
         "One line per channel of the channel file:\n"
         "Title  SoundCard  PlayState  PlayMode  Volume  DayListFile  PeriodicListFile.\n"
         "A file cut short (not a whole number of records): the channels of its whole records, a\n"
         "line on stderr saying it is damaged, and exit status 1.",
         Channels},
        {"make-list", "make-list OUT",
         "Reads items from stdin, one per line:\n"
         "Title  Start  End  Kind  Source  Loop  PlayOrder  Memo\n"
         "Kind is file, folder or device (a device is 卡座, CD or 收音机); times hh:mm:ss;\n"
         "Loop and PlayOrder 0 or 1. Blank lines are skipped. Every item is checked (start before\n"
         "end, a source to play, field widths in GBK) and the day list is written to OUT\n"
         "(\".lst\" appended unless OUT has it). An error names the line and writes nothing.",
         MakeList},
        {"make-periodic", "make-periodic OUT",
         "Reads 7, 31 or 366 lines (day list paths, or empty for no list that day) from stdin and\n"
         "writes the periodic list to OUT (\".lsm\" appended unless OUT has it).",
         MakePeriodic},
        {"make-channels", "make-channels OUT",
         "Reads channels from stdin, one per line, as `channels` prints them:\n"
         "Title  SoundCard  PlayState  PlayMode  Volume  DayListFile  PeriodicListFile\n"
         "and writes the channel file OUT (\".cfg\" appended unless OUT has it). An error names the\n"
         "line and writes nothing.",
         MakeChannels},
    };
}

}  // namespace tessora::cli
