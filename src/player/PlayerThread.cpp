#include "PlayerThread.h"

#include "Analysis.h"
#include "FileError.h"
#include "FileNames.h"
#include "SoundMixer.h"

#include <QDateTime>
#include <QFileInfo>
#include <QMetaObject>

#include <algorithm>
#include <chrono>

namespace tessora {

namespace {

constexpr auto kLoopPause = std::chrono::milliseconds(500);

const QString kFailedMark = QStringLiteral("(错误)");
const QString kNoAudioInFolder = QStringLiteral("目录中没有音频文件");
const QString kBadSoundCard = QStringLiteral("声卡索引错误，createmixerplayer");
const QString kNoChannel = QStringLiteral("无法创建directshow播放器");
const QString kDamagedListMark = QStringLiteral("(列表损坏)");
const QString kDefaultOutputMark = QStringLiteral("(默认输出)");

int32_t ChannelVolume(int32_t volume) { return std::clamp<int32_t>(volume, -10000, 0); }

}  // namespace

TListPlayer::FileSignature TListPlayer::FileSignature::Of(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) return {};
    return {true, info.size(), info.lastModified().toMSecsSinceEpoch()};
}

TListPlayer::TListPlayer(QObject* parent) : QObject(parent) {}

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
    config.DayListFile = DayListFile;
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
    if (SoundCard < 0) emit Alert(this, kBadSoundCard);
    try {
        channel_ = factory(SoundCard, index);
    } catch (const std::exception& e) {
        qWarning("tessora: channel %d: %s", index, e.what());
        channel_.reset();
    }
    if (!channel_) {
        channelError_ = kNoChannel;
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
    if (failure_ && failure_->mode != PlayMode) failure_.reset();
    const PlayerChannel::State state = channel_->GetState();
    if (PlayState == PlayPaused) {
        if (state == PlayerChannel::Playing) channel_->Pause();
    } else if (PlayState == PlayStopped) {
        if (PlayMode == ManualMode || state != PlayerChannel::Stopped) channel_->Stop();
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
    channel_->Open(QString());
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
    // The same file in the next item goes on playing as it is.
    if (channel_->FileName() == item.Source) return;
    channel_->Open(QString());
    StartFile(item.Source, item.Loop != 0);
}

void TListPlayer::PlayFolderItem(const PlayItem& item) {
    if (item.Index == CurrentItem.Index) {
        if (FolderFiles.isEmpty()) {
            // The folder had no audio file: look again, it may have been filled since.
            ScanAudioFiles(CurrentItem.Source, FolderFiles);
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
    FolderFiles.clear();
    ScanAudioFiles(CurrentItem.Source, FolderFiles);
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
        // One file that cannot be played must not silence the rest of the folder: the next
        // tick takes the one after it.
        FolderIndex = NextFolderIndex(FolderIndex, int(FolderFiles.size()), CurrentItem.PlayOrder != 0, random_);
        throw;
    }
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
        channel_->Open(QString());
        channel_->Stop();
        return;
    }
    if (channel_->FileName() != ManualFile) {
        channel_->Stop();
        StartFile(ManualFile, ManualLoop);
    }
    ResumeIfHeld();
}

void TListPlayer::ResumeIfHeld() {
    // A paused file goes on where it paused, a stopped one from its beginning. Called once the
    // due file is open: resuming another one (left by an override) would sound it for a moment.
    if (channel_->FileName().isEmpty() || channel_->GetState() == PlayerChannel::Playing) return;
    // A file that has played to its end is not held: its end notice may still be queued behind
    // this tick, or dropped by a Play here, so it is taken as its end now, never played twice.
    if (channel_->Ended()) {
        EndOfPlay();
        return;
    }
    channel_->Play();
}

void TListPlayer::StartFile(const QString& path, bool loop) {
    OpenUnlessKnownBad(path);
    // The channel was busy and skipped the open: the next tick tries again.
    if (channel_->FileName() != path) return;
    try {
        channel_->SetLoop(loop);
        // Before Play, so that the file does not begin at full level.
        channel_->SetVolume(ChannelVolume(Volume));
        channel_->Play();
    } catch (const std::exception& e) {
        // Most likely the sound card; the panel names the file that could not start.
        throw EFileError(path, QString::fromUtf8(e.what()));
    }
    ReplaceAnalysis();
    if (panel_) {
        panel_->SetFileLabel(FileNameOf(channel_->FileName()));
        panel_->SetProgressRange(0, int(channel_->Length()));
    }
    failure_.reset();
}

void TListPlayer::OpenUnlessKnownBad(const QString& path) {
    // A file that failed stays failed until it changes on disk; trying it again at every tick
    // would decode it twice a second for nothing.
    const FileSignature signature = FileSignature::Of(path);
    const auto known = failedOpens_.constFind(path);
    if (known != failedOpens_.constEnd() && known->signature == signature) throw EFileError(path, known->message);
    try {
        channel_->Open(path);
    } catch (const std::exception& e) {
        const QString message = QString::fromUtf8(e.what());
        failedOpens_.insert(path, {signature, message});
        throw EFileError(path, message);
    }
    failedOpens_.remove(path);
}

void TListPlayer::ReplaceAnalysis() {
    analysis_.reset();
    analysis_ = std::make_unique<TAnalysis>(*channel_, TAnalysis::kPoints, int32_t(channel_->SampleRate()));
    analysedFile_ = channel_->FileName();
}

// ---------------------------------------------------------------------------------------------
// Failures

void TListPlayer::Fail(const QString& path, const QString& message) {
    CloseQuietly();
    failure_ = Failure{path, message, PlayMode};
    ShowFailure();
}

void TListPlayer::CloseQuietly() {
    analysis_.reset();
    analysedFile_.clear();
    if (!channel_) return;
    try {
        channel_->Open(QString());
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
    // The channel stopped in the middle of the file: go on as after its end (the next file of
    // a folder, the item's file again, or silence after a single file).
    EndOfPlay();
    if (channel_ && channel_->GetState() == PlayerChannel::Playing) {
        qWarning("tessora: %s: %s", qPrintable(path), qPrintable(message));
        return;
    }
    CloseQuietly();
    failure_ = Failure{path, message, PlayMode};
    ShowFailure();
}

// ---------------------------------------------------------------------------------------------
// The panel

void TListPlayer::UpdatePanel() {
    if (!panel_) return;
    if (!channel_) {
        panel_->SetCaption(Title + kFailedMark + channelError_);
        panel_->SetGauges(0, 0);
        return;
    }
    // A channel that is not sounding shows no level: the last one would look like sound.
    if (channel_->GetState() == PlayerChannel::Playing)
        ShowLevels();
    else
        panel_->SetGauges(0, 0);
    WriteTexts();
    if (failure_ && PlayState == PlayOn && failure_->mode == PlayMode) ShowFailure();
}

void TListPlayer::ShowLevels() {
    // A file opened behind the player's back (an override) gets its own analyser here.
    if (!analysis_ || analysedFile_ != channel_->FileName()) ReplaceAnalysis();
    analysis_->Analyse();
    panel_->SetGauges(int(analysis_->Levels[1] * 100), int(analysis_->Levels[0] * 100));
    if (!panel_->ProgressDragging()) panel_->SetProgressValue(int(channel_->Position()));
}

void TListPlayer::WriteTexts() {
    const bool manual = PlayMode == ManualMode;
    const QString playing = FileNameOf(channel_->FileName());
    QString file, list, caption;
    if (PlayState == PlayPaused) {
        file = FileNameOf(manual ? ManualFile : CurrentItem.Source);
        list = manual ? QString() : DayListFile;
        caption = Title + (manual ? QStringLiteral("(手动暂停)") : QStringLiteral("(暂停)"));
    } else if (PlayState == PlayStopped) {
        file = manual ? FileNameOf(ManualFile) : playing;
        list = manual ? QString() : FileNameOf(DayListFile);
        caption = Title + (manual ? QStringLiteral("手动停止") : QStringLiteral("(停止)"));
    } else {
        file = playing;
        list = manual ? QString() : FileNameOf(DayListFile);
        caption = manual ? Title + QStringLiteral("手动播放") : Title + '-' + CurrentItem.Title;
    }
    if (!list.isEmpty() && !DayList.Damage.isEmpty()) list += kDamagedListMark;
    if (channel_->OnDefaultOutputInstead()) caption.insert(Title.size(), kDefaultOutputMark);
    panel_->SetFileLabel(file);
    panel_->SetListLabel(list);
    panel_->SetCaption(caption);
}

// ---------------------------------------------------------------------------------------------
// End of a file

void TListPlayer::EndOfPlay() {
    if (!channel_) return;
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
    // Like a failed audio file: tried again only once it changes on disk, so that a list on a
    // share that is not there yet costs nothing twice a second.
    const FileSignature signature = FileSignature::Of(path);
    if (failedList_ && failedList_->path == path && failedList_->failure.signature == signature)
        throw EFileError(path, failedList_->failure.message);
    try {
        ChannelTimetable::LoadDayListFile(path);
    } catch (const EFileError& e) {
        failedList_ = FailedList{path, {signature, e.Message}};
        throw;
    }
    failedList_.reset();
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
            channel_->Stop();
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
