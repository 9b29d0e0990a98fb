#include "Station.h"

#include "FileError.h"
#include "FileNames.h"
#include "PeriodicList.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaObject>

#include <algorithm>
#include <cstdio>

namespace tessora {

namespace {

// How long StopAllPlayers serves events while the players finish their last tick and teardown.
constexpr int kStopWaitMs = 5000;
constexpr int kDayTimerMs = 1000;

}  // namespace

TStation::TStation(const QString& programFolder, PasswordStore& passwords, PlayerChannelFactory channelFactory,
                   QObject* parent)
    : QObject(parent),
      programFolder_(programFolder.endsWith('/') ? programFolder : programFolder + '/'),
      channelFactory_(std::move(channelFactory)),
      settingsStore_(programFolder_, passwords),
      calendarWatch_(programFolder_ + kCalendarFileName) {
    // Told on the log's own thread: the window hears of it on this one.
    // A fault of the log and its end: on stderr at once, for whoever watches the station's
    // output, and in the window.
    asRunLog_ = std::make_unique<TAsRunLog>(programFolder_ + kAsRunFolderName, QDate::currentDate(), [this](const QString& message) {
        std::fprintf(stderr, "tessora: %s\n", message.toUtf8().constData());
        std::fflush(stderr);
        QMetaObject::invokeMethod(this, [this, message] { emit Alert(message); }, Qt::QueuedConnection);
    });
    LogEvent(kStationChannel, AsRunEventKind::Startup);
    dayTimer_.setInterval(kDayTimerMs);
    // The calendar first: the day's check reads the channels' days through it.
    connect(&dayTimer_, &QTimer::timeout, this, &TStation::FollowCalendar);
    connect(&dayTimer_, &QTimer::timeout, this, &TStation::CheckDay);
}

TStation::~TStation() {
    dayTimer_.stop();
    StopAllPlayers();
    LogEvent(kStationChannel, AsRunEventKind::Exit);
    // A check still reading a slow disk is left to finish alone; the log's writer outlives it.
    dayCheck_.reset();
    asRunLog_.reset();
}

// ---------------------------------------------------------------------------------------------
// Settings

void TStation::LoadSettings() {
    settingsStore_.LoadSettings(settings_, windowSettings_);
    emit SettingsChanged();
}

void TStation::ApplySettings(const SystemSettings& settings) {
    settings_ = settings;
    emit SettingsChanged();
}

bool TStation::SaveSettings() { return settingsStore_.SaveSettings(settings_, windowSettings_); }

// ---------------------------------------------------------------------------------------------
// The channel file

bool TStation::LoadChannels() {
    StopAllPlayers();
    const ChannelLoadResult result = channelFile_.LoadChannels(ChannelFilePath());
    for (const LoadedChannel& loaded : result.Channels) AddPlayer(loaded);
    channelFileError_ = result.Complete ? QString() : result.Error;
    return result.Complete;
}

void TStation::SaveChannels() { channelFile_.SaveChannels(ChannelFilePath(), ChannelConfigs()); }

std::vector<ChannelConfig> TStation::ChannelConfigs() const {
    std::vector<ChannelConfig> channels;
    channels.reserve(players_.size());
    for (const auto& player : players_) channels.push_back(player->Config());
    return channels;
}

void TStation::ReplaceChannels(const std::vector<ChannelConfig>& channels, const QStringList& memos) {
    StopAllPlayers();
    for (const ChannelConfig& config : channels) {
        LoadedChannel loaded{config, {}};
        if (!config.PeriodicListFile.isEmpty()) {
            try {
                loaded.PeriodicLines = ReadPeriodicList(config.PeriodicListFile);
                loaded.Config.DayListFile.clear();
            } catch (const EFileError& e) {
                emit Alert(e.Path + ": " + e.Message);
            }
        }
        AddPlayer(loaded);
        players_.back()->Memo = memos.value(ChannelCount() - 1);
    }
}

void TStation::SetChannelFields(int index, const QString& title, int32_t soundCard, const QString& memo) {
    TListPlayer* player = PlayerAt(index);
    if (!player) return;
    player->Title = title;
    player->SoundCard = soundCard;
    player->Memo = memo;
    emit ChannelChanged(index);
}

void TStation::AddPlayer(const LoadedChannel& loaded) {
    auto player = std::make_unique<TListPlayer>();
    player->SetFromConfig(loaded);
    player->OnAsRun = asRunLog_->Writer();
    player->Calendar = calendarWatch_.Current();
    player->CalendarChannel = ChannelCount();
    player->CalendarTrouble = calendarWatch_.Trouble();
    connect(player.get(), &TListPlayer::Alert, this, [this](TListPlayer*, const QString& text) { emit Alert(text); });
    players_.push_back(std::move(player));
    started_.push_back(false);
    shownPanels_.push_back(nullptr);
}

// ---------------------------------------------------------------------------------------------
// Running

void TStation::StartChannels() {
    FollowCalendar();
    for (int i = 0; i < ChannelCount(); ++i) {
        if (started_[i]) continue;
        started_[i] = true;
        TListPlayer& player = *players_[i];
        shownPanels_[i] = std::make_unique<TPanelRecord>(panelFactory_ ? panelFactory_(i) : nullptr);
        player.SetPanel(shownPanels_[i].get());
        player.CreateChannel(i, channelFactory_);
        player.LoadDayList();
        player.Start();
    }
    CheckDay();
    dayTimer_.start();
}

void TStation::SetCheckEnvironment(std::function<CheckEnvironment()> environment) {
    checkEnvironment_ = std::move(environment);
}

void TStation::FollowCalendar() {
    // Relative list names live in the list folder of the settings (before they are loaded, the default one).
    const QString listFolder = settings_.ListDirectory.isEmpty() ? programFolder_ + "list" : settings_.ListDirectory;
    const TCalendarWatch::Change change = calendarWatch_.Poll(listFolder);
    for (const auto& player : players_) {
        if (change.Calendar) player->Calendar = change.Calendar;
        if (change.Trouble) player->CalendarTrouble = *change.Trouble;
    }
    if (change.Trouble && !change.Trouble->isEmpty()) {
        const QString text =
            QStringLiteral("校历无法完整读取，各通道沿用此前完整读取的校历（刚启动时按各自的节目列表）：") + *change.Trouble;
        LogEvent(kStationChannel, AsRunEventKind::Error, calendarWatch_.Path(), text);
        emit Alert(calendarWatch_.Path() + ": " + text);
    }
}

void TStation::CheckDay() {
    if (!dayCheck_) {
        // The check follows the calendar the channels follow at the time it starts.
        auto environment = [this] {
            CheckEnvironment e = checkEnvironment_();
            e.Calendar = calendarWatch_.Current();
            return e;
        };
        dayCheck_ = std::make_unique<TDayCheck>(environment, asRunLog_->Writer());
    }
    dayCheck_->Tick([this] { return ChannelConfigs(); }, LocalMoment::Now());
}

bool TStation::WaitForAsRunLog(int ms) { return asRunLog_->WaitUntilWritten(std::chrono::milliseconds(ms)); }

bool TStation::WaitForDayCheck(int ms) { return !dayCheck_ || dayCheck_->WaitUntilDone(std::chrono::milliseconds(ms)); }

void TStation::LogEvent(int index, AsRunEventKind kind, const QString& file, const QString& detail) {
    const TListPlayer* p = PlayerAt(index);
    asRunLog_->Write({LocalMoment::Now(), index, p ? p->Title : QString(), kind, std::nullopt, QString(), file, detail});
}

void TStation::StopAllPlayers() {
    if (players_.empty()) return;
    for (const auto& player : players_) player->Terminate();
    QElapsedTimer waited;
    waited.start();
    const auto anyRunning = [this] {
        return std::any_of(players_.begin(), players_.end(), [](const auto& p) { return p->IsRunning(); });
    };
    // Each player's last tick and its teardown run on this thread.
    while (anyRunning() && waited.elapsed() < kStopWaitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    // The station owns the players: nothing else frees them, so nothing above read a freed one.
    // One still running is ended by its destructor, which never waits on this thread.
    for (const auto& player : players_) player->SetPanel(nullptr);
    players_.clear();
    started_.clear();
    shownPanels_.clear();
    emit ChannelsStopped();
}

const TListPlayer* TStation::Channel(int index) const { return PlayerAt(index); }

const TPanelRecord* TStation::ShownPanel(int index) const {
    return index >= 0 && index < ChannelCount() ? shownPanels_[index].get() : nullptr;
}

TListPlayer* TStation::PlayerAt(int index) const {
    return index >= 0 && index < ChannelCount() ? players_[index].get() : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Commands

void TStation::SetPlayState(int index, uint8_t state) {
    TListPlayer* p = PlayerAt(index);
    if (!p || state > PlayStopped || p->PlayState == state) return;
    p->PlayState = state;
    emit ChannelChanged(index);
}

void TStation::PlayOrPause(int index) {
    if (const TListPlayer* p = PlayerAt(index)) SetPlayState(index, p->PlayState == PlayOn ? PlayPaused : PlayOn);
}

void TStation::Stop(int index) { SetPlayState(index, PlayStopped); }

void TStation::StopAll() {
    for (int i = 0; i < ChannelCount(); ++i) Stop(i);
}

void TStation::SetVolume(int index, int32_t volume) {
    TListPlayer* p = PlayerAt(index);
    if (!p) return;
    p->Volume = std::clamp<int32_t>(volume, -10000, 0);
    if (p->Channel()) p->Channel()->SetVolume(p->Volume);
    emit ChannelChanged(index);
}

void TStation::Seek(int index, uint32_t ms) {
    TListPlayer* p = PlayerAt(index);
    if (!p || !p->Channel() || p->Channel()->FileName().isEmpty()) return;
    PlayerChannel* channel = p->Channel();
    try {
        channel->Pause();
        channel->Seek(ms);
        channel->Play();
    } catch (const std::exception& e) {
        // The player's next tick finds the channel as the failure left it and carries on.
        qWarning("tessora: seeking channel %s: %s", qPrintable(p->Title), e.what());
    }
}

void TStation::PlayFile(int index, const QString& path) {
    TListPlayer* p = PlayerAt(index);
    if (!p || path.isEmpty()) return;
    p->ManualFile = path;
    p->ManualLoop = false;
    p->PlayState = PlayOn;
    p->PlayMode = ManualMode;
    LogEvent(index, AsRunEventKind::Manual, path);
    emit ChannelChanged(index);
}

void TStation::UseListFile(int index, const QString& path, bool backToList) {
    TListPlayer* p = PlayerAt(index);
    if (!p) return;
    if (backToList) p->PlayMode = ListMode;
    if (p->Panel()) p->Panel()->SetListLabel(path);
    try {
        p->ApplyListFile(path);
    } catch (const EFileError& e) {
        LogEvent(index, AsRunEventKind::Error, path, e.Message);
        emit ChannelChanged(index);  // the mode may have changed all the same
        throw;
    } catch (...) {
        emit ChannelChanged(index);
        throw;
    }
    LogEvent(index, AsRunEventKind::List, path);
    if (LowerExtension(path) == QStringLiteral(".lst") && !p->DayList.Damage.isEmpty())
        emit Alert(path + ": " + p->DayList.Damage);
    emit ChannelChanged(index);
}

void TStation::TakeOver(int index, const QString& file, bool loop, const QString& holder) {
    TListPlayer* p = PlayerAt(index);
    if (!p) return;
    // A channel another override holds already keeps the mode it had before the first one: the
    // second would otherwise save ManualMode, and the channel would never find its timetable again.
    if (!p->TakenOver) p->SavedPlayMode = p->PlayMode;
    p->TakenOver = true;
    p->TakenBy = holder;
    p->PlayMode = ManualMode;
    p->ManualFile = file;
    // Looping from the file's first play: a recording shorter than the wait for the override
    // window's loop timer would otherwise end, and fall silent, before it.
    p->ManualLoop = loop;
    SetLoop(index, loop);
    LogEvent(index, AsRunEventKind::Takeover, file);
    emit ChannelChanged(index);
}

void TStation::SetOverrideFile(int index, const QString& file) {
    if (TListPlayer* p = PlayerAt(index)) p->ManualFile = file;
}

void TStation::SetLoop(int index, bool loop) {
    TListPlayer* p = PlayerAt(index);
    if (p && p->Channel()) p->Channel()->SetLoop(loop);
}

void TStation::GiveBack(int index) {
    TListPlayer* p = PlayerAt(index);
    // Given back already (by the other of two overrides): it follows what it was given back to.
    if (!p || !p->TakenOver) return;
    p->PlayMode = p->SavedPlayMode;
    p->ManualLoop = false;
    p->TakenBy.clear();
    p->TakenOver = false;
    if (p->PlayMode == ManualMode) p->ManualFile.clear();
    LogEvent(index, AsRunEventKind::Giveback);
    // The override's file stops now rather than at the next tick; closing also ends its loop.
    if (p->Channel()) {
        try {
            p->Channel()->Open(QString());
        } catch (const std::exception& e) {
            qWarning("tessora: closing channel %s: %s", qPrintable(p->Title), e.what());
        }
    }
    emit ChannelChanged(index);
}

}  // namespace tessora
