#pragma once
// The channel player: makes one configured channel sound by itself. A thread of its own wakes
// every half second and has Tick run on the GUI thread, which decides everything.

#include "AsRunEvent.h"
#include "ChannelFile.h"
#include "CurrentItem.h"
#include "FolderPlay.h"
#include "SoundMixer.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <QHash>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace tessora {


// What the player writes into its channel's panel (a recording fake in tests).
class ChannelPanelView {
public:
    virtual ~ChannelPanelView() = default;
    virtual void SetCaption(const QString& text) = 0;    // the panel's title: the status line
    virtual void SetListLabel(const QString& text) = 0;
    virtual void SetFileLabel(const QString& text) = 0;
    virtual void SetGauges(int left, int right) = 0;     // Progress of the two level gauges, 0..100
    virtual void SetProgressRange(int minimum, int maximum) = 0;  // milliseconds
    virtual void SetProgressValue(int value) = 0;
    virtual bool ProgressDragging() const = 0;           // the operator holds a progress bar
};

// The sound channel a player drives: a mixer channel on the channel's sound card.
class PlayerChannel {
public:
    enum State : uint8_t { Stopped = 0, Playing = 1, Paused = 2 };
    virtual ~PlayerChannel() = default;
    virtual void Open(const QString& fileName) = 0;  // an empty name closes; raises on a bad file
    // Opens without waiting for the file system, as TSoundMixerChannel::OpenAsync does: `done`
    // follows on the GUI thread; Open or another OpenAsync abandons it.
    virtual void OpenAsync(const QString& fileName, std::function<void(const TOpenResult&)> done,
                           std::optional<TOpenResult> knownFailure) = 0;
    // The file OpenAsync is opening; empty when none.
    virtual QString OpeningFile() const = 0;
    virtual void Play() = 0;
    virtual void Pause() = 0;
    virtual void Stop() = 0;                          // and rewinds
    virtual void Seek(uint32_t ms) = 0;
    virtual void SetVolume(int32_t volume) = 0;
    virtual void SetLoop(bool loop) = 0;
    virtual bool Loop() const = 0;
    virtual State GetState() const = 0;
    // The file played to its end and nothing has played, sought or stopped it since; its end
    // notification may still be on its way, or may have been dropped by a later Play.
    virtual bool Ended() const = 0;
    // The channel's sound card is not among the outputs: it plays on the default output.
    virtual bool OnDefaultOutputInstead() const { return false; }
    // The sound outputs are not up yet (a sound server that starts late): what plays is lost.
    virtual bool WaitingForOutputs() const { return false; }
    // Called at every tick: once the outputs have come up, moves to the channel's own sound
    // card, a file that is playing or paused keeping its place.
    virtual void FollowOutputs() {}
    virtual QString FileName() const = 0;
    virtual uint32_t Length() const = 0;    // ms
    virtual uint32_t Position() = 0;        // ms
    virtual uint32_t SampleRate() const = 0;
    virtual uint32_t Channels() const = 0;
    virtual uint32_t BitsPerSample() const = 0;
    virtual uint32_t BlockAlign() const = 0;
    // Lends up to `count` bytes of the sound about to be played; ReleasePlayingData ends the loan.
    virtual TPlayingData GetPlayingData(uint32_t offset, uint32_t count) = 0;
    virtual void ReleasePlayingData() = 0;
    // The highest level of any sample sent to the output since the last call, 0..1 of full
    // scale (see TSoundMixerChannel::TakeOutputPeak); a channel that does not measure says 0.
    virtual float TakeOutputPeak() { return 0; }
    // Called on the GUI thread when a file has played to its end (the channel stopped and rewound).
    std::function<void()> OnEnd;
    // Called on the GUI thread when the file could not be read on while playing (the channel
    // has stopped); the text says why.
    std::function<void(const QString& message)> OnError;
};

// Makes the channel of a player on sound card `soundCard`; `tag` is the channel index.
using PlayerChannelFactory = std::function<std::unique_ptr<PlayerChannel>(int soundCard, int tag)>;
// The real one: a TSoundMixer on that card with one TSoundMixerChannel.
PlayerChannelFactory MixerChannelFactory();

class TAnalysis;

class TListPlayer : public QObject, public ChannelTimetable {
    Q_OBJECT
public:
    explicit TListPlayer(QObject* parent = nullptr);
    ~TListPlayer() override;

    // Fields from the channel file (a record and, for a periodic list, its lines).
    void SetFromConfig(const LoadedChannel& loaded);
    ChannelConfig Config() const;

    QString Title;
    uint8_t PlayMode = ListMode;
    uint8_t SavedPlayMode = ListMode;
    QString ManualFile;
    // The manual file repeats without a gap from its first play (an override that loops, the
    // alarm); a single file chosen by hand plays once.
    bool ManualLoop = false;
    // The override that holds the channel ("全呼", "告警"), named in the panel's title; empty
    // when none does.
    QString TakenBy;
    // An override holds the channel (named or not): SavedPlayMode is the mode to go back to.
    bool TakenOver = false;
    int32_t FolderIndex = 0;
    QStringList FolderFiles;
    int32_t SoundCard = 0;
    int32_t Volume = 0;
    uint8_t PlayState = PlayOn;
    QString Memo;
    // Why the station's calendar file could not be read whole; empty when it could. The panel's
    // list line says so while it lasts (the station keeps the calendar it read last).
    QString CalendarTrouble;

    // GUI thread, once, before Start. A negative SoundCard, and a channel that cannot be made,
    // are reported through Alert. A player without a channel still runs: its caption shows
    // the error and it stays silent.
    void CreateChannel(int index, const PlayerChannelFactory& factory);
    PlayerChannel* Channel() const { return channel_.get(); }
    void SetPanel(ChannelPanelView* panel) { panel_ = panel; }
    ChannelPanelView* Panel() const { return panel_; }

    // The scheduling step; `now` is the local date and time. GUI thread.
    void Tick(const LocalMoment& now);
    void Tick() { Tick(Clock()); }
    // The local date and time, for Tick() and for the end of a file (tests give their own).
    std::function<LocalMoment()> Clock = &LocalMoment::Now;

    // The thread: Start runs Tick on the GUI thread every 500 ms plus the tick's time; starting a
    // running or ended player does nothing. Terminate asks the loop to end (at once, even in
    // its pause); Teardown follows on the GUI thread (also for a player never started) and then
    // `Finished` is emitted. Destroying a running player ends its loop first, without Finished.
    // Nothing that fails in a tick ends the player: the failure shows in its panel.
    void Start();
    void Terminate();
    // From Start until Teardown has run.
    bool IsRunning() const { return thread_.joinable() && !finished_; }

    // Why the channel is failing, as its panel shows it after "(错误)"; empty while it is not.
    QString FailureText() const {
        if (!channel_) return channelError_;
        return failure_ && PlayState == PlayOn && failure_->mode == PlayMode ? failure_->message : QString();
    }

    // Loads DayList from DayListFile, as at start. A list that cannot be read leaves the channel
    // silent with the reason in its panel for as long as the failure lasts; the file is tried
    // again once it changes on disk, so a list that becomes readable plays the same day.
    void LoadDayList();

    // Applies a chosen list file (".lst" or ".lsm") as the station's commands do. Raises
    // EFileError when the file cannot be read; the channel then keeps the list it had.
    void ApplyListFile(const QString& path);

    // Whether a day list named by the periodic list exists, asked without waiting long for a
    // file system that does not answer (tests give their own).
    FileExistsTest FileExists;
    // Random folder order draws from this; tests seed it.
    void SeedRandom(uint32_t seed) { random_.seed(seed); }

    // What the channel sounds, for the as-run log: starts (with an item's delay), ends and stops
    // (with the peak level heard), pauses, resumes and errors, each with the channel's index and
    // title and the time from Clock. GUI thread.
    std::function<void(const AsRunEvent& event)> OnAsRun;

signals:
    // After Teardown; the main window removes the panel (and may deleteLater the player).
    void Finished(TListPlayer* player);
    // A text for the operator's message box: a failure of CreateChannel.
    void Alert(TListPlayer* player, const QString& text);

private:
    struct Failure {
        QString path;     // the file or folder that failed, for the file label
        QString message;
        uint8_t mode = ListMode;
    };
    // What a list looked like when it failed to load: it is tried again once it changes.
    struct FailedOpen {
        std::optional<TFileStamp> signature;  // none: the file system did not answer
        QString message;
    };
    struct FailedList {
        QString path;
        FailedOpen failure;
    };
    // The file the channel sounds since it began, for the as-run log.
    struct Sounding {
        QString file;
        std::optional<int32_t> item;
        QString itemTitle;
        int peak = 0;  // the highest level sent to the output, 0..100 (the gauges' scale)
    };

    void LoadDayListFile(const QString& path) override;
    void DayRuleChanged() override;
    QString ListLabel(const QString& listName) const;
    void RetryFailedDayList();

    void EndOfPlay();
    // Run on the GUI thread at the loop's request.
    Q_INVOKABLE void Teardown();
    Q_INVOKABLE void RunTickFromLoop();
    void RunLoop();
    void PostToGuiThread(const char* method);

    void UpdatePanel();
    void MeasureLevels();
    void ShowLevels();
    void WriteTexts();
    void Decide(const LocalMoment& now);
    void Schedule(const LocalMoment& now);
    void PlayFileItem(const PlayItem& item);
    void PlayFolderItem(const PlayItem& item);
    void PlayManual();
    void ResumeIfHeld();
    void NoCurrentItem();
    void NextFolderFile();
    void PlayFolderFile(int index);
    void StartFile(const QString& path, bool loop);
    void OpenFinished(const TOpenResult& result, bool loop);
    void PlayOpened(bool loop);
    void SkipFailedFolderFile(const QString& path);
    void ReplaceAnalysis();
    void Fail(const QString& path, const QString& message);
    void CloseQuietly();
    void ShowFailure();
    void ChannelFailed(const QString& message);

    // The channel's sound, as the as-run log hears of it.
    void CloseChannel();  // closes it, a sounding file noted as stopped
    void StopChannel();   // stops and rewinds it, likewise
    void BeginSounding();
    void EndSounding(AsRunEventKind kind);  // End or Stop, with the peak heard
    void ReportSounding(AsRunEventKind kind);  // Pause or Resume of what sounds
    void Report(AsRunEventKind kind, const QString& file, const QString& detail);  // of the current item, if any
    void Tell(AsRunEventKind kind, const QString& file, const QString& detail, std::optional<int32_t> item,
              const QString& itemTitle);
    bool InItem() const { return PlayMode == ListMode && CurrentItem.Index != -1; }
    template <typename Step> void Guarded(Step step);

    std::unique_ptr<PlayerChannel> channel_;
    std::unique_ptr<TAnalysis> analysis_;
    ChannelPanelView* panel_ = nullptr;
    std::thread thread_;
    std::atomic<bool> terminate_{false};
    std::atomic<bool> finished_{false};

    std::mutex loopMutex_;             // guards tickDone_ and the waits on terminate_
    std::condition_variable loopWake_;
    bool tickDone_ = false;
    bool tornDown_ = false;

    QString channelError_;              // why the player has no channel
    std::optional<Failure> failure_;    // the last failure, shown until something plays again
    // Files that failed to open, as they were then: tried again once they change on disk.
    QHash<QString, TOpenResult> failedOpens_;
    std::optional<FailedList> failedList_;  // the day list that could not be read, if any
    QString analysedFile_;              // the file analysis_ was made for
    std::optional<Sounding> sounding_;  // what the channel sounds, until it ends or stops
    int index_ = -1;                    // the channel index
    FolderRandom random_{std::random_device{}()};
};

}  // namespace tessora
