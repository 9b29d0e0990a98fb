#pragma once
// The main window: one panel per channel, the clock, the playing list and the menus. It owns
// the channel players, starts them from the channel file, and writes settings and channels at exit.

#include "ChannelFile.h"
#include "PlayerThread.h"
#include "SettingsStore.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QMenu;
class QSplitter;
class QTimer;
class QTableWidget;

namespace tessora {

class TChannelPanel;
class TLEDLabel;

// What the main window asks of the platform; tests put their own in.
struct MainWindowServices {
    std::function<bool(QWidget* parent, const QString& password)> askPassword;
    PlayerChannelFactory channelFactory;
    std::unique_ptr<PasswordStore> passwords;
    // Shows a message without waiting for anyone to acknowledge it.
    std::function<void(QWidget* parent, const QString& text)> showMessage;
    // A file dialog ("Open file"); an empty answer is a cancel.
    std::function<QString(QWidget* parent, const QString& folder, const QString& filter)> chooseFile;

    static MainWindowServices Platform();
};

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    TfrmMain(const QString& programFolder, MainWindowServices services, QWidget* parent = nullptr);
    ~TfrmMain() override;

    std::vector<TListPlayer*> Players;
    int CurrentChannel = 0;
    bool ProgressDragging = false;
    SystemSettings Settings;
    MainWindowSettings WindowSettings;

    // Loads settings and channels and starts them; runs once, at the first show.
    void FormShow();
    // Ends every player and empties Players, waiting (while serving events) for their teardown.
    void StopAllPlayers();
    // False when the file was not read whole; the channels read are in Players.
    bool LoadChannels(const QString& path);
    // Raises EFileError.
    void SaveChannels(const QString& path);
    void StartChannels();
    // Writes the settings and the channel file, as a confirmed exit does. False when the channel
    // file could not be written (the message has been shown).
    bool SaveOnExit();

    TChannelPanel* PanelOf(int index) const;
    QString ChannelFilePath() const { return programFolder_ + kChannelFileName; }
    QString ClockCaption() const;

    // Panel commands, by channel index.
    void PlayClick(int index);
    void StopClick(int index);
    void VolumeChange(int index, int value);
    void ProgressChange(int index, int value);
    void ChooseSingleFile(int index);
    void ChooseListFile(int index, bool periodic);
    void OpenClick(int index);
    void ShowDayList(int index);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenus();
    void BuildAreas();
    void ApplySettings();
    void BuildChannelPanel(TListPlayer* player, int index);
    void ApplyListFile(TListPlayer* player, const QString& path);
    void TimerTick();
    void PlayerFinished(TListPlayer* player);
    TListPlayer* PlayerAt(int index) const;

    QString programFolder_;
    MainWindowServices services_;
    TSettingsStore settingsStore_;
    TChannelFile channelFile_;
    bool shown_ = false;

    QWidget* PlayerPanel = nullptr;
    QWidget* ListPanel = nullptr;
    QSplitter* SkinSplitter2 = nullptr;
    TLEDLabel* TimePanel = nullptr;
    QTableWidget* PlayingList = nullptr;
    QTimer* Timer1 = nullptr;
    QMenu* OpenMenu = nullptr;
    QAction* ViewPlayer = nullptr;
    QAction* ViewList = nullptr;
    std::vector<TChannelPanel*> panels_;  // by channel index; null once a player has finished

};

}  // namespace tessora
