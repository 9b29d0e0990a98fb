#include "PlayerThread.h"

#include "Analysis.h"
#include "FileError.h"
#include "FileNames.h"
#include "PatientCall.h"
#include "SoundMixer.h"

#include <QDateTime>
#include <QMetaObject>

#include <algorithm>
#include <chrono>
#include <utility>

namespace tessora {

namespace {

constexpr auto kLoopPause = std::chrono::milliseconds(500);

const QString kFailedMark = QStringLiteral("(错误)");
const QString kNoAudioInFolder = QStringLiteral("目录中没有音频文件");
const QString kBadSoundCard = QStringLiteral("声卡索引错误，createmixerplayer");
const QString kNoChannel = QStringLiteral("无法创建directshow播放器");
const QString kDamagedListMark = QStringLiteral("(列表损坏)");
const QString kDefaultOutputMark = QStringLiteral("(默认输出)");
const QString kNoAnswer = QStringLiteral("The file system did not answer within %1 ms; asked again at the next tick.")
                              .arg(kFilePatience.count());
const QString kWaitingForOutputsMark = QStringLiteral("(等待声音服务)");
const QString kCalendarTroubleMark = QStringLiteral("(校历错误)");

int32_t ChannelVolume(int32_t volume) { return std::clamp<int32_t>(volume, -10000, 0); }

// The folder item's files; raises when the folder's file system does not answer.
QStringList AudioFilesIn(const QString& folder) {
    std::optional<QStringList> files = PatientCall<QStringList>::Run(folder, [folder] {
        QStringList found;
        ScanAudioFiles(folder, found);
        return found;
    });
    if (!files) throw EFileError(folder, kNoAnswer);
    return *files;
}

// Whether a periodic list's day list is there; one that does not answer is not, for now.
bool DayListFileExists(const QString& path) {
    return PatientCall<bool>::Run(path, [path] { return FileExistsOnDisk(path); }).value_or(false);
}

}  // namespace

TListPlayer::TListPlayer(QObject* parent) : QObject(parent), FileExists(DayListFileExists) {}

TListPlayer::~TListPlayer() {
    {
        std::lock_guard lock(loopMutex_);
        terminate_ = true;
    }
    loopWake_.notify_all();
    // The loop never waits on the GUI thread without also waking for terminate_, so this
    // join cannot deadlock; a Teardown it queued is dropped with this object.
    if (thread_.joinable()) thread_.join();
    analysis_.reset();
    channel_.reset();
}

void TListPlayer::SetFromConfig(const LoadedChannel& loaded) {
    const ChannelConfig& config = loaded.Config;
    Title = config.Title;
    DayListFile = config.DayListFile;
    OwnDayListFile = config.DayListFile;
    SoundCard = config.SoundCard;
    // A damaged record must not leave the channel in a state no one can act on.
    PlayState = config.PlayState <= PlayStopped ? config.PlayState : uint8_t(PlayOn);
    PeriodicListFile = config.PeriodicListFile;
    PeriodicList = loaded.PeriodicLines;
    Volume = ChannelVolume(config.Volume);
    PlayMode = config.PlayMode == ManualMode ? uint8_t(ManualMode) : uint8_t(ListMode);
}

ChannelConfig TListPlayer::Config() const {
    ChannelConfig config;
    config.Title = Title;
    // A list the calendar chose for the day is not the channel's own.
    config.DayListFile = Calendar && PeriodicListFile.isEmpty() ? OwnDayListFile : DayListFile;
    config.SoundCard = SoundCard;
    config.PlayState = PlayState;
    config.PeriodicListFile = PeriodicListFile;
    config.Volume = Volume;
    config.PlayMode = PlayMode;
    return config;
}

// ---------------------------------------------------------------------------------------------
// The channel

void TListPlayer::CreateChannel(int index, const PlayerChannelFactory& factory) {
    if (channel_) return;
    index_ = index;
    if (SoundCard < 0) emit Alert(this, kBadSoundCard);
    try {
        channel_ = factory(SoundCard, index);
    } catch (const std::exception& e) {
        qWarning("tessora: channel %d: %s", index, e.what());
        channel_.reset();
    }
    if (!channel_) {
        channelError_ = kNoChannel;
        Report(AsRunEventKind::Error, QString(), kNoChannel);
        emit Alert(this, kNoChannel);
        return;
    }
    channel_->OnEnd = [this] { EndOfPlay(); };
    channel_->OnError = [this](const QString& message) { ChannelFailed(message); };
}

// ---------------------------------------------------------------------------------------------
// The tick

template <typename Step>
void TListPlayer::Guarded(Step step) {
    // Nothing that fails here may end the channel: it reports in its panel and goes on
    // following its timetable at the next tick.
    try {
        step();
    } catch (const EFileError& e) {
        Fail(e.Path, e.Message);
    } catch (const std::exception& e) {
        Fail(QString(), QString::fromUtf8(e.what()));
    } catch (...) {
        Fail(QString(), QStringLiteral("unknown error"));
    }
}

void TListPlayer::Tick(const LocalMoment& now) {
    // What the panel shows is no reason to close the channel.
    try {
        UpdatePanel();
    } catch (const std::exception& e) {
        qWarning("tessora: panel of channel %s: %s", qPrintable(Title), e.what());
    }
    if (!channel_) return;
    Guarded([this, &now] { Decide(now); });
}

void TListPlayer::Decide(const LocalMoment& now) {
    channel_->FollowOutputs();
    if (failure_ && failure_->mode != PlayMode) failure_.reset();
    const PlayerChannel::State state = channel_->GetState();
    if (PlayState == PlayPaused) {
        if (state == PlayerChannel::Playing) {
            channel_->Pause();
            ReportSounding(AsRunEventKind::Pause);
        }
    } else if (PlayState == PlayStopped) {
        if (PlayMode == ManualMode || state != PlayerChannel::Stopped) StopChannel();
    } else if (PlayMode == ManualMode) {
        PlayManual();
    } else {
        Schedule(now);
    }
}

void TListPlayer::Schedule(const LocalMoment& now) {
    RetryFailedDayList();
    const PlayItem* item = FindCurrentItem(now, FileExists);
    if (!item) {
        NoCurrentItem();
    } else if (item->Kind == KindFile) {
        PlayFileItem(*item);
    } else if (item->Kind == KindFolder) {
        PlayFolderItem(*item);
    }
    // Device items start nothing: the channel goes on as it was.
}

void TListPlayer::NoCurrentItem() {
    CloseChannel();
    channel_->Stop();
    CurrentItem.Index = -1;
    CurrentItem.Title.clear();
    CurrentItem.Source.clear();
    analysis_.reset();
    analysedFile_.clear();
    failure_.reset();
    failedOpens_.clear();
}

void TListPlayer::PlayFileItem(const PlayItem& item) {
    if (item.Index == CurrentItem.Index) {
        // Closed by its end, a failure or an override: start it again, looping as the item says.
        if (channel_->FileName() != CurrentItem.Source)
            StartFile(CurrentItem.Source, CurrentItem.Loop != 0);
        else
            ResumeIfHeld();
        return;
    }
    CurrentItem = item;
    failure_.reset();
    // The same file in the next item goes on playing as it is; in the log the new item starts.
    if (channel_->FileName() == item.Source) {
        if (channel_->GetState() == PlayerChannel::Playing) BeginSounding();
        return;
    }
    CloseChannel();
    StartFile(item.Source, item.Loop != 0);
}

void TListPlayer::PlayFolderItem(const PlayItem& item) {
    if (item.Index == CurrentItem.Index) {
        if (FolderFiles.isEmpty()) {
            // The folder had no audio file: look again, it may have been filled since.
            FolderFiles = AudioFilesIn(CurrentItem.Source);
            FolderIndex = 0;
        }
        if (FolderFiles.isEmpty()) throw EFileError(CurrentItem.Source, kNoAudioInFolder);
        if (FolderIndex < 0 || FolderIndex >= FolderFiles.size()) FolderIndex = 0;
        if (channel_->FileName() != FolderFiles[FolderIndex])
            PlayFolderFile(FolderIndex);
        else
            ResumeIfHeld();
        return;
    }
    CurrentItem = item;
    failure_.reset();
    // Emptied first: a folder that does not answer must not leave the last item's files to play.
    FolderFiles.clear();
    FolderFiles = AudioFilesIn(CurrentItem.Source);
    FolderIndex = 0;
    if (FolderFiles.isEmpty()) throw EFileError(CurrentItem.Source, kNoAudioInFolder);
    // The first file listed comes first, whatever the order.
    PlayFolderFile(0);
}

void TListPlayer::PlayFolderFile(int index) {
    FolderIndex = index;
    try {
        StartFile(FolderFiles[index], false);
    } catch (...) {
        SkipFailedFolderFile(FolderFiles[index]);
        throw;
    }
}

void TListPlayer::SkipFailedFolderFile(const QString& path) {
    // One file that cannot be played must not silence the rest of the folder: the next tick
    // takes the one after it.
    if (CurrentItem.Kind != KindFolder || FolderIndex < 0 || FolderIndex >= FolderFiles.size() ||
        FolderFiles[FolderIndex] != path)
        return;
    FolderIndex = NextFolderIndex(FolderIndex, int(FolderFiles.size()), CurrentItem.PlayOrder != 0, random_);
}

void TListPlayer::NextFolderFile() {
    // A file that ends just before its item does must not start the next one for the moment
    // until the next tick.
    if (FolderFiles.isEmpty() || !IsDueAt(CurrentItem, Clock().timeOfDay)) {
        channel_->Open(QString());
        return;
    }
    PlayFolderFile(NextFolderIndex(FolderIndex, int(FolderFiles.size()), CurrentItem.PlayOrder != 0, random_));
}

void TListPlayer::PlayManual() {
    if (ManualFile.isEmpty()) {
        CloseChannel();
        channel_->Stop();
        return;
    }
    if (channel_->FileName() != ManualFile) {
        StopChannel();
        StartFile(ManualFile, ManualLoop);
    }
    ResumeIfHeld();
}

void TListPlayer::ResumeIfHeld() {
    // A paused file goes on where it paused, a stopped one from its beginning. Called once the
    // due file is open: resuming another one (left by an override) would sound it for a moment.
    const PlayerChannel::State state = channel_->GetState();
    if (channel_->FileName().isEmpty() || state == PlayerChannel::Playing) return;
    // A file that has played to its end is not held: its end notice may still be queued behind
    // this tick, or dropped by a Play here, so it is taken as its end now, never played twice.
    if (channel_->Ended()) {
        EndOfPlay();
        return;
    }
    // What went out while nothing was logged (an override's file) is no part of this sound.
    if (!sounding_) channel_->TakeOutputPeak();
    channel_->Play();
    if (state == PlayerChannel::Paused && sounding_)
        ReportSounding(AsRunEventKind::Resume);
    else
        BeginSounding();  // a stopped file starts again from its beginning
}

void TListPlayer::StartFile(const QString& path, bool loop) {
    // Opened off the GUI thread, where a file on a share that stopped answering can hang; the
    // result plays it (at once, for a file that opens at once) or shows why it cannot.
    if (channel_->OpeningFile() == path) return;
    // A file that failed stays failed until it changes on disk; trying it again at every tick
    // would decode it twice a second for nothing.
    const auto known = failedOpens_.constFind(path);
    channel_->OpenAsync(
        path, [this, loop](const TOpenResult& result) { OpenFinished(result, loop); },
        known == failedOpens_.constEnd() ? std::nullopt : std::optional<TOpenResult>(*known));
}

void TListPlayer::OpenFinished(const TOpenResult& result, bool loop) {
    Guarded([&] {
        if (!result.error.isEmpty()) {
            failedOpens_.insert(result.fileName, result);
            SkipFailedFolderFile(result.fileName);
            throw EFileError(result.fileName, result.error);
        }
        failedOpens_.remove(result.fileName);
        try {
            PlayOpened(loop);
        } catch (...) {
            SkipFailedFolderFile(result.fileName);
            throw;
        }
    });
}

void TListPlayer::PlayOpened(bool loop) {
    const QString path = channel_->FileName();
    try {
        channel_->SetLoop(loop);
        // Before Play, so that the file does not begin at full level.
        channel_->SetVolume(ChannelVolume(Volume));
        // What went out while nothing was logged (an override's file) is no part of this sound.
        if (!sounding_) channel_->TakeOutputPeak();
        // Paused or stopped while it opened: it waits, open, for the play button.
        if (PlayState == PlayOn) channel_->Play();
    } catch (const std::exception& e) {
        // Most likely the sound card; the panel names the file that could not start.
        throw EFileError(path, QString::fromUtf8(e.what()));
    }
    ReplaceAnalysis();
    BeginSounding();
    if (panel_) {
        panel_->SetFileLabel(FileNameOf(path));
        panel_->SetProgressRange(0, int(channel_->Length()));
    }
    failure_.reset();
}

void TListPlayer::ReplaceAnalysis() {
    analysis_.reset();
    analysis_ = std::make_unique<TAnalysis>(*channel_, TAnalysis::kPoints, int32_t(channel_->SampleRate()));
    analysedFile_ = channel_->FileName();
}

// ---------------------------------------------------------------------------------------------
// Failures

void TListPlayer::Fail(const QString& path, const QString& message) {
    // A file that stays bad fails at every tick; the log hears of it once.
    const bool known = failure_ && failure_->path == path && failure_->message == message && failure_->mode == PlayMode;
    CloseQuietly();
    failure_ = Failure{path, message, PlayMode};
    if (!known) Report(AsRunEventKind::Error, path, message);
    ShowFailure();
}

void TListPlayer::CloseQuietly() {
    analysis_.reset();
    analysedFile_.clear();
    if (!channel_) return;
    try {
        CloseChannel();
    } catch (const std::exception& e) {
        qWarning("tessora: closing channel %s: %s", qPrintable(Title), e.what());
    }
}

void TListPlayer::ShowFailure() {
    if (!panel_ || !failure_) return;
    panel_->SetCaption(Title + kFailedMark + failure_->message);
    panel_->SetFileLabel(FileNameOf(failure_->path));
    panel_->SetGauges(0, 0);  // the channel is silent: the last levels would mislead
}

void TListPlayer::ChannelFailed(const QString& message) {
    const QString path = channel_->FileName();
    // Playing again: the failure was of a file the player has since left behind.
    if (channel_->GetState() == PlayerChannel::Playing) {
        qWarning("tessora: %s: %s", qPrintable(path), qPrintable(message));
        return;
    }
    EndSounding(AsRunEventKind::Stop);
    Report(AsRunEventKind::Error, path, message);
    // The channel stopped in the middle of the file: go on as after its end (the next file of
    // a folder, the item's file again, or silence after a single file).
    EndOfPlay();
    if (channel_ && (channel_->GetState() == PlayerChannel::Playing || !channel_->OpeningFile().isEmpty())) {
        qWarning("tessora: %s: %s", qPrintable(path), qPrintable(message));
        return;
    }
    CloseQuietly();
    failure_ = Failure{path, message, PlayMode};
    ShowFailure();
}

// ---------------------------------------------------------------------------------------------
// The as-run log

void TListPlayer::CloseChannel() {
    EndSounding(AsRunEventKind::Stop);
    channel_->Open(QString());
}

void TListPlayer::StopChannel() {
    EndSounding(AsRunEventKind::Stop);
    channel_->Stop();
}

void TListPlayer::BeginSounding() {
    EndSounding(AsRunEventKind::Stop);  // a file replaced while it sounded
    sounding_ = Sounding{channel_->FileName(), std::nullopt, QString(), 0};
    if (InItem()) {
        sounding_->item = CurrentItem.Index;
        sounding_->itemTitle = CurrentItem.Title;
    }
    QString delay;
    if (sounding_->item) delay = QString::number(MsOfDay(Clock()) - TimeOfDayMs(CurrentItem.StartTime));
    Report(AsRunEventKind::Start, sounding_->file, delay);
}

void TListPlayer::EndSounding(AsRunEventKind kind) {
    if (!sounding_) return;
    Sounding ended = *std::exchange(sounding_, std::nullopt);
    // Every sample sent to the output since it began counts, however short the file.
    if (channel_) ended.peak = std::max(ended.peak, GaugeLevel(channel_->TakeOutputPeak()));
    Tell(kind, ended.file, QString::number(ended.peak), ended.item, ended.itemTitle);
}

void TListPlayer::ReportSounding(AsRunEventKind kind) {
    if (sounding_) Tell(kind, sounding_->file, QString(), sounding_->item, sounding_->itemTitle);
}

void TListPlayer::Report(AsRunEventKind kind, const QString& file, const QString& detail) {
    if (InItem())
        Tell(kind, file, detail, CurrentItem.Index, CurrentItem.Title);
    else
        Tell(kind, file, detail, std::nullopt, QString());
}

void TListPlayer::Tell(AsRunEventKind kind, const QString& file, const QString& detail, std::optional<int32_t> item,
                       const QString& itemTitle) {
    if (OnAsRun) OnAsRun(AsRunEvent{Clock(), index_, Title, kind, item, itemTitle, file, detail});
}

// ---------------------------------------------------------------------------------------------
// The panel

void TListPlayer::UpdatePanel() {
    const bool playing = channel_ && channel_->GetState() == PlayerChannel::Playing;
    // The as-run log's peak is measured where the samples go out: the gauges are for a panel.
    if (!panel_) return;
    if (!channel_) {
        panel_->SetCaption(Title + kFailedMark + channelError_);
        panel_->SetGauges(0, 0);
        return;
    }
    // A channel that is not sounding shows no level: the last one would look like sound.
    if (playing) {
        MeasureLevels();
        ShowLevels();
    } else
        panel_->SetGauges(0, 0);
    WriteTexts();
    if (failure_ && PlayState == PlayOn && failure_->mode == PlayMode) ShowFailure();
}

void TListPlayer::MeasureLevels() {
    // A file opened behind the player's back (an override) gets its own analyser here.
    if (!analysis_ || analysedFile_ != channel_->FileName()) ReplaceAnalysis();
    analysis_->Analyse();
}

void TListPlayer::ShowLevels() {
    panel_->SetGauges(int(analysis_->Levels[1] * 100), int(analysis_->Levels[0] * 100));
    if (!panel_->ProgressDragging()) panel_->SetProgressValue(int(channel_->Position()));
}

void TListPlayer::WriteTexts() {
    const bool manual = PlayMode == ManualMode;
    // A channel held by an override says so, rather than looking played by hand.
    const QString by = manual && !TakenBy.isEmpty() ? TakenBy : QStringLiteral("手动");
    const QString playing = FileNameOf(channel_->FileName());
    QString file, list, caption;
    if (PlayState == PlayPaused) {
        file = FileNameOf(manual ? ManualFile : CurrentItem.Source);
        list = manual ? QString() : ListLabel(DayListFile);
        caption = Title + (manual ? '(' + by + QStringLiteral("暂停)") : QStringLiteral("(暂停)"));
    } else if (PlayState == PlayStopped) {
        file = manual ? FileNameOf(ManualFile) : playing;
        list = manual ? QString() : ListLabel(FileNameOf(DayListFile));
        caption = Title + (manual ? by + QStringLiteral("停止") : QStringLiteral("(停止)"));
    } else {
        file = playing;
        list = manual ? QString() : ListLabel(FileNameOf(DayListFile));
        caption = !manual ? Title + '-' + CurrentItem.Title : Title + (TakenBy.isEmpty() ? QStringLiteral("手动播放") : TakenBy);
    }
    if (!list.isEmpty() && !DayList.Damage.isEmpty()) list += kDamagedListMark;
    if (!manual && !CalendarTrouble.isEmpty()) list += kCalendarTroubleMark;
    // While the outputs are not up, which one the channel is on does not matter yet.
    if (channel_->WaitingForOutputs())
        caption.insert(Title.size(), kWaitingForOutputsMark);
    else if (channel_->OnDefaultOutputInstead())
        caption.insert(Title.size(), kDefaultOutputMark);
    panel_->SetFileLabel(file);
    panel_->SetListLabel(list);
    panel_->SetCaption(caption);
}

QString TListPlayer::ListLabel(const QString& listName) const {
    return DayRule ? RuleListLabel(listName, *DayRule) : listName;
}

// ---------------------------------------------------------------------------------------------
// End of a file

void TListPlayer::EndOfPlay() {
    if (!channel_) return;
    EndSounding(AsRunEventKind::End);
    Guarded([this] {
        if (PlayMode == ManualMode) {
            // A single file plays once; a looping one (the alarm) goes on. Closing it at once
            // also voids an end notice still on its way for it.
            if (!channel_->Loop()) {
                ManualFile.clear();
                channel_->Open(QString());
            }
        } else if (CurrentItem.Kind == KindFile) {
            // While the item is current the next tick starts the file again.
            channel_->Open(QString());
            if (panel_) panel_->SetCaption(Title + QStringLiteral("停止"));
        } else if (CurrentItem.Kind == KindFolder && CurrentItem.Index != -1) {
            NextFolderFile();
        }
    });
}

// ---------------------------------------------------------------------------------------------
// List files

void TListPlayer::LoadDayList() {
    if (DayListFile.isEmpty()) return;
    CurrentItem.Index = -1;
    try {
        LoadDayListFile(DayListFile);
    } catch (const EFileError& e) {
        // Shown from the first tick on; Schedule tries the file again.
        failure_ = Failure{e.Path, e.Message, ListMode};
    }
}

void TListPlayer::LoadDayListFile(const QString& path) {
    DayList.Clear();
    // Like a failed audio file: tried again only once it changes on disk, so that a list on a
    // share that is not there yet costs nothing twice a second. A share that does not answer
    // is asked again at every tick, which costs nothing while the question before is pending.
    const std::optional<TFileStamp> signature =
        PatientCall<TFileStamp>::Run(path, [path] { return TFileStamp::Of(path); });
    if (!signature) {
        failedList_ = FailedList{path, {std::nullopt, kNoAnswer}};
        throw EFileError(path, kNoAnswer);
    }
    if (failedList_ && failedList_->path == path && failedList_->failure.signature == signature)
        throw EFileError(path, failedList_->failure.message);
    try {
        std::optional<TPlayList> list = PatientCall<TPlayList>::Run(path, [path] {
            TPlayList read;
            read.LoadFromFile(path);
            return read;
        });
        if (!list) throw EFileError(path, kNoAnswer);
        DayList = std::move(*list);
    } catch (const EFileError& e) {
        failedList_ = FailedList{path, {e.Message == kNoAnswer ? std::nullopt : signature, e.Message}};
        throw;
    }
    failedList_.reset();
}

void TListPlayer::DayRuleChanged() {
    // The log says which list the calendar put in the channel's place, and under which rule.
    QString file;
    if (!DayRule || DayRule->Target == CalendarTarget::Base)
        file = PeriodicListFile.isEmpty() ? OwnDayListFile : PeriodicListFile;
    else if (DayRule->Target == CalendarTarget::List)
        file = DayRule->ListPath;
    Tell(AsRunEventKind::List, file, DayRule ? DayRule->Label : QString(), std::nullopt,
         QString());
}

void TListPlayer::RetryFailedDayList() {
    // A periodic list reloads its day list by itself; a plain one is retried here.
    if (!failedList_ || !PeriodicListFile.isEmpty() || failedList_->path != DayListFile) return;
    LoadDayListFile(DayListFile);
    CurrentItem.Index = -1;
}

void TListPlayer::ApplyListFile(const QString& path) {
    const QString extension = LowerExtension(path);
    if (extension == QStringLiteral(".lst")) {
        // Read first: a list that cannot be read leaves the channel with the one it had.
        TPlayList list;
        list.LoadFromFile(path);
        failedList_.reset();
        PeriodicListFile.clear();
        PeriodicList.clear();
        DayListFile = path;
        OwnDayListFile = path;
        DayList = std::move(list);
        CurrentItem.Index = -1;
        PlayState = PlayOn;
        Start();
    } else if (extension == QStringLiteral(".lsm")) {
        PeriodicList = ReadPeriodicList(path);
        PeriodicListFile = path;
    }
}

// ---------------------------------------------------------------------------------------------
// The thread

void TListPlayer::Start() {
    if (thread_.joinable() || terminate_) return;
    thread_ = std::thread([this] { RunLoop(); });
}

void TListPlayer::Terminate() {
    {
        std::lock_guard lock(loopMutex_);
        terminate_ = true;
    }
    loopWake_.notify_all();
    // A player that never ran has no loop to end: it is torn down all the same.
    if (!thread_.joinable() && !tornDown_) PostToGuiThread("Teardown");
}

void TListPlayer::PostToGuiThread(const char* method) {
    // By name, so that the queued call carries nothing of the loop's making: whatever the two
    // threads share goes through loopMutex_ or atomics.
    QMetaObject::invokeMethod(this, method, Qt::QueuedConnection);
}

void TListPlayer::RunLoop() {
    std::unique_lock lock(loopMutex_);
    while (!terminate_) {
        tickDone_ = false;
        // Like a blocking queued call, but one that Terminate can always wake: the thread must
        // never hold up a GUI thread that waits for it.
        PostToGuiThread("RunTickFromLoop");
        loopWake_.wait(lock, [this] { return tickDone_ || terminate_; });
        loopWake_.wait_for(lock, kLoopPause, [this] { return terminate_.load(); });
    }
    PostToGuiThread("Teardown");
}

void TListPlayer::RunTickFromLoop() {
    Tick();
    {
        std::lock_guard lock(loopMutex_);
        tickDone_ = true;
    }
    loopWake_.notify_all();
}

void TListPlayer::Teardown() {
    if (tornDown_) return;
    tornDown_ = true;
    // The loop has ended: the thread only returns from here on.
    if (thread_.joinable()) thread_.join();
    if (channel_) {
        try {
            StopChannel();
        } catch (const std::exception& e) {
            qWarning("tessora: stopping channel %s: %s", qPrintable(Title), e.what());
        }
    }
    analysis_.reset();
    channel_.reset();
    DayList.Clear();
    finished_ = true;
    // Last: a handler removes the panel (Panel() still names it) and may delete the player.
    emit Finished(this);
}

}  // namespace tessora
