#include "PreflightCheck.h"

#include "AudioFileRead.h"
#include "ChannelDay.h"
#include "CurrentItem.h"
#include "DateTimeValue.h"
#include "FileError.h"
#include "FolderPlay.h"
#include "SoundMixer.h"
#include "StationCalendarFile.h"

#include <QFileInfo>
#include <QHash>

#include <algorithm>

namespace tessora {

namespace {

// The whole milliseconds of the day at which an item qualifies as due, both ends included.
struct DueWindow {
    int64_t from = 0, to = 0;
};

// Nothing when no moment qualifies: an item is due from 1 ms after its start to 1 ms before its end.
std::optional<DueWindow> DueWindowOf(const PlayItem& item) {
    const int64_t start = TimeOfDayMs(item.StartTime), end = TimeOfDayMs(item.EndTime);
    if (end - start < 2) return std::nullopt;
    return DueWindow{start + 1, end - 1};
}

// The earlier items whose times overlap item `k`'s, when together they cover every moment of
// it, so that the scan in list order never reaches it; nothing when some moment is left to it.
std::optional<std::vector<int32_t>> CoveringItems(const std::vector<PlayItem>& items, size_t k, DueWindow window) {
    std::vector<std::pair<DueWindow, int32_t>> overlapping;
    for (size_t j = 0; j < k; ++j) {
        const auto other = DueWindowOf(items[j]);
        if (other && other->to >= window.from && other->from <= window.to) overlapping.push_back({*other, items[j].Index});
    }
    std::sort(overlapping.begin(), overlapping.end(), [](const auto& a, const auto& b) { return a.first.from < b.first.from; });
    // The moments are continuous: windows that meet at a millisecond leave no moment between them.
    int64_t coveredTo = window.from - 1;
    for (const auto& [other, index] : overlapping) {
        if (other.from > std::max(coveredTo, window.from)) break;
        coveredTo = std::max(coveredTo, other.to);
    }
    if (coveredTo < window.to) return std::nullopt;
    std::vector<int32_t> indexes;
    for (const auto& entry : overlapping) indexes.push_back(entry.second);
    std::sort(indexes.begin(), indexes.end());
    return indexes;
}

QString IndexList(const std::vector<int32_t>& indexes) {
    QStringList texts;
    for (int32_t index : indexes) texts << QString::number(index);
    return texts.join(QStringLiteral(", "));
}

QString NotRegularReason(const QString& path) {
    const QFileInfo info(path);
    if (info.isSymLink() && !info.exists()) return QStringLiteral("A link that leads nowhere");
    return QStringLiteral("Not a regular file");
}

class ChannelCheck {
public:
    ChannelCheck(int channel, const ChannelConfig& config, const CheckEnvironment& environment,
                 QHash<QString, std::optional<QString>>& readerAnswers, std::vector<CheckFinding>& findings)
        : channel_(channel), config_(config), environment_(environment), readerAnswers_(readerAnswers),
          findings_(findings) {}

    void Run(const QDate& date) {
        CheckSoundCard();
        ChannelDay day;
        try {
            const StationCalendar* calendar = environment_.Calendar ? FollowedCalendar(*environment_.Calendar) : nullptr;
            day = ChannelDayOf(config_, date, calendar, channel_);
        } catch (const EFileError& e) {
            Add(nullptr, CheckProblem::ListUnreadable, e.Path + ": " + e.Message, e.Path);
            return;
        }
        if (environment_.Calendar)
            for (const auto& [earlier, later] : environment_.Calendar->Ties(channel_, date))
                Add(nullptr, CheckProblem::CalendarTie,
                    QString("calendar lines %1 and %2 both span %3 days on %4; line %2 decides")
                        .arg(earlier->Line)
                        .arg(later->Line)
                        .arg(later->Span())
                        .arg(date.toString(QStringLiteral("yyyy-MM-dd"))),
                    QString());
        if (day.Choice.Silent()) return;  // a day the calendar silences has nothing to check
        if (day.ListFile.isEmpty()) {
            Add(nullptr, CheckProblem::NoList, day.NoListReason, config_.PeriodicListFile);
            return;
        }
        if (!day.List.Damage.isEmpty())
            Add(nullptr, CheckProblem::ListDamaged, day.ListFile + ": " + day.List.Damage, day.ListFile);
        const auto& items = day.List.Items;
        for (size_t k = 0; k < items.size(); ++k) CheckItem(items, k);
    }

private:
    void Add(const PlayItem* item, const QString& problem, const QString& detail, const QString& file) {
        CheckFinding finding;
        finding.Channel = channel_;
        finding.Title = config_.Title;
        if (item) {
            finding.Item = item->Index;
            finding.ItemTitle = item->Title;
        }
        finding.Problem = problem;
        finding.Detail = detail;
        finding.File = file;
        findings_.push_back(std::move(finding));
    }

    void CheckSoundCard() {
        if (config_.SoundCard >= 0 && config_.SoundCard < environment_.OutputCount) return;
        const QString outputs = environment_.OutputCount > 0
                                    ? QString("the outputs are 0 to %1").arg(environment_.OutputCount - 1)
                                    : QStringLiteral("there is no output");
        Add(nullptr, CheckProblem::NoDevice, QString("sound card %1; %2").arg(config_.SoundCard).arg(outputs), QString());
    }

    void CheckItem(const std::vector<PlayItem>& items, size_t k) {
        const PlayItem& item = items[k];
        const auto window = DueWindowOf(item);
        if (TimeOfDayMs(item.StartTime) >= TimeOfDayMs(item.EndTime)) {
            Add(&item, CheckProblem::BadTimes,
                QString("start %1 is not before end %2").arg(FormatTimeOfDay(item.StartTime), FormatTimeOfDay(item.EndTime)),
                item.Source);
            return;
        }
        if (!window) {
            Add(&item, CheckProblem::NeverDue, QStringLiteral("it lasts less than 2 ms"), item.Source);
            return;
        }
        if (const auto covering = CoveringItems(items, k, *window)) {
            Add(&item, CheckProblem::NeverDue,
                QString("earlier item%1 %2 cover%3 its whole time")
                    .arg(covering->size() == 1 ? "" : "s", IndexList(*covering), covering->size() == 1 ? "s" : ""),
                item.Source);
            return;
        }
        if (item.Kind == KindFile) CheckFile(item);
        if (item.Kind == KindFolder) CheckFolder(item);
    }

    void CheckFile(const PlayItem& item) {
        if (item.Source.isEmpty()) {
            Add(&item, CheckProblem::FileMissing, QStringLiteral("the item names no file"), item.Source);
            return;
        }
        if (!QFileInfo::exists(item.Source)) {
            Add(&item, CheckProblem::FileMissing, item.Source, item.Source);
            return;
        }
        if (const auto why = WhyUnplayable(item.Source)) Add(&item, CheckProblem::FileUnplayable, *why, item.Source);
    }

    void CheckFolder(const PlayItem& item) {
        if (!QFileInfo(item.Source).isDir()) {
            Add(&item, CheckProblem::FolderEmpty, QStringLiteral("no such folder: ") + item.Source, item.Source);
            return;
        }
        QStringList files, notRegular;
        ScanAudioFiles(item.Source, files, &notRegular);
        // Folder play passes over a pipe or a device with an audio file's name: it never sounds.
        for (const QString& entry : notRegular)
            Add(&item, CheckProblem::FileUnplayable, entry + ": " + NotRegularReason(entry), entry);
        if (files.isEmpty()) {
            Add(&item, CheckProblem::FolderEmpty,
                item.Source + QStringLiteral(" holds no .mp3, .wav, .mid or .wma file"), item.Source);
            return;
        }
        // Folder play skips a file it cannot play, but the operator should hear of it.
        for (const QString& file : files)
            if (const auto why = WhyUnplayable(file))
                Add(&item, CheckProblem::FileUnplayable, file + ": " + *why, file);
    }

    std::optional<QString> WhyUnplayable(const QString& path) {
        const auto known = readerAnswers_.constFind(path);
        if (known != readerAnswers_.constEnd()) return *known;
        // A pipe or a device could hold the reader for ever: only plain files are opened.
        const std::optional<QString> answer = QFileInfo(path).isFile()
                                                  ? environment_.WhyUnplayable(path)
                                                  : std::optional<QString>(NotRegularReason(path));
        readerAnswers_.insert(path, answer);
        return answer;
    }

    int channel_;
    const ChannelConfig& config_;
    const CheckEnvironment& environment_;
    QHash<QString, std::optional<QString>>& readerAnswers_;
    std::vector<CheckFinding>& findings_;
};

// The calendar's own findings stand for the station, as its events do in the as-run log.
constexpr int kCalendarChannel = -1;

std::optional<QString> WhyTheReaderRefuses(const QString& path) {
    try {
        TAudioFileReader reader(path);
        return std::nullopt;
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
}

}  // namespace

CheckEnvironment AudioCheckEnvironment() { return {TSoundMixer::DeviceCount(), WhyTheReaderRefuses}; }

static void CheckCalendar(const StationCalendar& calendar, int channelCount, const QDate& date,
                   std::vector<CheckFinding>& findings) {
    const auto add = [&findings](const QString& problem, int line, const QString& detail, const QString& file) {
        findings.push_back({kCalendarChannel, QString(), std::nullopt, QString(), problem,
                            QString("%1:%2: %3").arg(kCalendarFileName).arg(line).arg(detail), file});
    };
    std::vector<CalendarProblem> bad = calendar.Problems;
    for (const CalendarProblem& p : calendar.UnknownChannels(channelCount)) bad.push_back(p);
    std::sort(bad.begin(), bad.end(), [](const auto& a, const auto& b) { return a.Line < b.Line; });
    for (const CalendarProblem& p : bad) add(CheckProblem::CalendarBadLine, p.Line, p.Text, QString());
    for (const CalendarRule& rule : calendar.Rules) {
        if (rule.Target != CalendarTarget::List || rule.To < date) continue;
        try {
            TPlayList list;
            list.LoadFromFile(rule.ListPath);
        } catch (const EFileError& e) {
            add(CheckProblem::CalendarTargetMissing, rule.Line, rule.ListPath + ": " + e.Message, rule.ListPath);
        }
    }
}

std::vector<CheckFinding> CheckStation(const std::vector<ChannelConfig>& channels, const QDate& date,
                                       const CheckEnvironment& environment) {
    std::vector<CheckFinding> findings;
    if (environment.Calendar) CheckCalendar(*environment.Calendar, int(channels.size()), date, findings);
    QHash<QString, std::optional<QString>> readerAnswers;  // a file used by many items is opened once
    for (size_t c = 0; c < channels.size(); ++c)
        ChannelCheck(static_cast<int>(c), channels[c], environment, readerAnswers, findings).Run(date);
    return findings;
}

}  // namespace tessora
