#pragma once
// The station: the one owner of the running channels, their settings and the channel file.
// Every window (the main window's panels, the dialogs, the editors, the all-call and alarm
// windows) acts on a channel through the commands here, by channel index, and reads it through
// Channel(); none of them writes a player's fields. The players still notice a change at their
// next tick, as before: a command only sets what the player then acts on.

#include "AsRunLog.h"
#include "CalendarWatch.h"
#include "ChannelFile.h"
#include "DayCheck.h"
#include "PanelRecord.h"
#include "PlayerThread.h"
#include "SettingsStore.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

namespace tessora {

class TStation : public QObject {
    Q_OBJECT
public:
    // `passwords` must outlive the station; `channelFactory` makes each channel's sound channel.
    // The as-run log ("asrun" in the program folder) starts with the station; a log that cannot
    // be written is said once through Alert, and nothing stops for it.
    TStation(const QString& programFolder, PasswordStore& passwords, PlayerChannelFactory channelFactory,
             QObject* parent = nullptr);
    // Ends the channels, then writes `exit` to the as-run log.
    ~TStation() override;

    QString ProgramFolder() const { return programFolder_; }
    QString ChannelFilePath() const { return programFolder_ + kChannelFileName; }

    // ---- Settings -------------------------------------------------------------------------
    const SystemSettings& Settings() const { return settings_; }
    // The main window's own stored values (skin, player area height); it writes them itself.
    MainWindowSettings& WindowSettings() { return windowSettings_; }
    void LoadSettings();
    // Takes a whole new set of settings (the settings dialog) and says so with SettingsChanged.
    void ApplySettings(const SystemSettings& settings);
    // The item editor's preview volume bar: kept at once, saved with the other settings.
    void SetPreviewVolume(int32_t volume) { settings_.PreviewVolume = volume; }
    // False, with the reason in SettingsError(), when "Tessora.ini" was not written.
    bool SaveSettings();
    QString SettingsError() const { return settingsStore_.LastError(); }

    // ---- The channel file -----------------------------------------------------------------
    // Ends the running channels and reads "tessora.cfg" into new players, not yet started. False
    // when the file was not read whole (ChannelFileError() says why); the channels read before
    // the failure are there all the same.
    bool LoadChannels();
    QString ChannelFileError() const { return channelFileError_; }
    // True after a load that failed part-way on a file that exists: SaveChannels then refuses to
    // write over it, so that the channels after the failure are not lost.
    bool ChannelFileLoadedPartly() const { return channelFile_.LoadedPartly(); }
    // Raises EFileError when the file cannot be, or must not be, written.
    void SaveChannels();
    std::vector<ChannelConfig> ChannelConfigs() const;
    // Ends the running channels and makes new, not yet started ones from `channels` (the channel
    // dialog), with `memos` by position where given. A periodic list that cannot be read leaves
    // that channel without one, and Alert says so.
    void ReplaceChannels(const std::vector<ChannelConfig>& channels, const QStringList& memos = {});
    // The channel dialog's fields for a running channel: its name and memo at once, its sound
    // card from the next time its device is opened (the next start).
    void SetChannelFields(int index, const QString& title, int32_t soundCard, const QString& memo);

    // ---- Running ---------------------------------------------------------------------------
    // Where a channel's panel comes from: called in StartChannels for each channel that has none
    // yet, before its sound channel is made. Without one, channels run without a panel.
    using PanelFactory = std::function<ChannelPanelView*(int index)>;
    void SetPanelFactory(PanelFactory factory) { panelFactory_ = std::move(factory); }
    // Gives every channel that is not running yet its panel, its sound channel and its day list,
    // and starts it. Running channels are left as they are, so a second call makes no second
    // panel or mixer for any channel.
    void StartChannels();
    // Ends every channel and waits (serving events, 5 s at most) for their teardown; then the
    // players are gone and ChannelsStopped has been emitted.
    void StopAllPlayers();

    // The day's check: StartChannels runs it for today, and the station again at the first second
    // of each new day; its findings go to the as-run log as `error` events. The outputs and the
    // reader it checks against (the machine's own unless a test gives others).
    void SetCheckEnvironment(std::function<CheckEnvironment()> environment);
    // Waits for the as-run log to have written what it was told (tests).
    bool WaitForAsRunLog(int ms);
    // Waits for a day's check in progress (tests).
    bool WaitForDayCheck(int ms);

    // The station calendar ("calendar.txt" in the program folder) the channels follow, read again
    // each second when it changed on disk; never null. Why it could not be read whole, if so.
    std::shared_ptr<const StationCalendar> Calendar() const { return calendarWatch_.Current(); }
    QString CalendarTrouble() const { return calendarWatch_.Trouble(); }

    int ChannelCount() const { return int(players_.size()); }
    // Read-only; nullptr for an index out of range.
    const TListPlayer* Channel(int index) const;

    // ---- Commands, by channel index (an index out of range does nothing) ----------------------
    // The play button: PlayOn becomes PlayPaused, anything else PlayOn.
    void PlayOrPause(int index);
    // The stop button: PlayStopped, unless it is already.
    void Stop(int index);
    // Every channel, as its stop button would.
    void StopAll();
    void SetPlayState(int index, uint8_t state);
    // −10000..0; the sound channel takes it at once.
    void SetVolume(int index, int32_t volume);
    // Only while a file is open: pauses, seeks to `ms` and plays.
    void Seek(int index, uint32_t ms);
    // "单曲": plays `path` once, in place of the timetable.
    void PlayFile(int index, const QString& path);
    // A ".lst" or ".lsm" file chosen for the channel; `backToList` returns it to its timetable
    // (the menu's entries do, the keyboard's open does not). Another extension changes only the
    // list label. Raises EFileError when the list cannot be read: the channel keeps the list it
    // had. A list cut short is applied and Alert says it is damaged.
    void UseListFile(int index, const QString& path, bool backToList);

    // The override windows: take a channel from what it does (its mode is kept in SavedPlayMode)
    // and play `file` on it, once or looping from its first play; change the file they play;
    // give it back. The play state is left as it is: a paused or stopped channel stays silent
    // until it is played.
    // `holder` names the override on the channel's panel ("全呼", "告警") while it holds it. A
    // second override over the first keeps the mode from before both; the first give-back returns
    // the channel to it, and a later one does nothing.
    void TakeOver(int index, const QString& file, bool loop, const QString& holder = QString());
    void SetOverrideFile(int index, const QString& file);
    // Keeps the sound channel's loop on or off (opening a file turns it off).
    void SetLoop(int index, bool loop);
    void GiveBack(int index);

    // A command that came over the HTTP server, for the as-run log (`index` -1 for the station).
    void LogRemoteCommand(int index, const QString& detail) { LogEvent(index, AsRunEventKind::Remote, QString(), detail); }
    // What the channel's panel shows now (caption, labels, levels), as the player last wrote it;
    // nullptr before the channel is started.
    const TPanelRecord* ShownPanel(int index) const;

signals:
    // A command changed what the channel's panel shows of its state (buttons, volume).
    void ChannelChanged(int index);
    // Every player has ended: their panels can go.
    void ChannelsStopped();
    void SettingsChanged();
    // A text for the operator, shown without waiting for anyone.
    void Alert(const QString& text);

private:
    TListPlayer* PlayerAt(int index) const;
    void AddPlayer(const LoadedChannel& loaded);
    // An event of the station (index -1) or of a channel, to the as-run log.
    void LogEvent(int index, AsRunEventKind kind, const QString& file = QString(), const QString& detail = QString());
    void CheckDay();
    void FollowCalendar();

    QString programFolder_;
    PlayerChannelFactory channelFactory_;
    PanelFactory panelFactory_;
    TSettingsStore settingsStore_;
    SystemSettings settings_;
    MainWindowSettings windowSettings_;
    TChannelFile channelFile_;
    QString channelFileError_;
    std::vector<std::unique_ptr<TListPlayer>> players_;
    std::vector<bool> started_;  // by index: the channel has its panel, sound channel and thread
    // By index: what each player writes to its panel passes here, and is kept for readers
    // without a window (the HTTP server).
    std::vector<std::unique_ptr<TPanelRecord>> shownPanels_;
    std::unique_ptr<TAsRunLog> asRunLog_;
    std::function<CheckEnvironment()> checkEnvironment_ = AudioCheckEnvironment;
    std::unique_ptr<TDayCheck> dayCheck_;
    QTimer dayTimer_;  // looks for a new day, and a changed calendar, every second
    TCalendarWatch calendarWatch_;
};

}  // namespace tessora
