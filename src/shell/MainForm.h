#pragma once
// The main window: one panel per channel, the clock, the playing list and the menus. The channels
// themselves belong to the station (TStation); the window shows them and hands the operator's
// commands to the station.

#include "ChannelWorkList.h"
#include "ScreenGrab.h"
#include "ShutdownCheck.h"
#include "EditorDialogs.h"
#include "SkinSet.h"
#include "Station.h"
#include "StationChannels.h"

#include <QDialog>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QScrollArea;
class QSplitter;
class QTimer;
class QTableWidget;

namespace tessora {

class TChannelPanel;
class TForm5;
class TFormPlayerConfig;
class TFormPlayerSetting;
class TFormList;
class TLEDLabel;

// The message at start when the channel file could not be read: a station that has none yet is
// told how to set channels up; otherwise the reason.
QString ChannelFileProblemText(const QString& channelFile, const QString& error);

// What the main window asks of the platform; tests put their own in.
struct MainWindowServices {
    std::function<bool(QWidget* parent, const QString& password)> askPassword;
    // Shows a message without waiting for anyone to acknowledge it.
    std::function<void(QWidget* parent, const QString& text)> showMessage;
    // Shows a message and waits for it to be acknowledged (only where the window is going away).
    std::function<void(QWidget* parent, const QString& text)> tellBeforeClosing;
    // A file dialog ("Open file"); an empty answer is a cancel.
    std::function<QString(QWidget* parent, const QString& folder, const QString& filter)> chooseFile;
    // A folder dialog; an empty answer is a cancel.
    std::function<QString(QWidget* parent, const QString& folder)> chooseFolder;
    // Modal message boxes: with OK and Cancel (either just closes it), and with OK alone.
    std::function<void(QWidget* parent, const QString& text)> inform;
    std::function<void(QWidget* parent, const QString& text)> tell;
    // The outputs' names in index order, index 0 the default output.
    std::function<QStringList()> outputNames;
    // What the lock holds keyboard and pointer with.
    std::function<std::unique_ptr<ScreenGrab>()> screenGrab;
    std::unique_ptr<PowerOff> powerOff;
    // The message boxes and file dialogs of the list and item editors.
    EditorDialogs editorDialogs;

    static MainWindowServices Platform();
};

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    // `station` outlives the window.
    TfrmMain(TStation& station, MainWindowServices services, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // The channel whose open menu was last shown; the menu's entries act on it.
    int CurrentChannel = 0;

    // Loads settings and channels and starts them; runs once, at the first show.
    void FormShow();
    // Writes the settings and the channel file, as a confirmed exit does. False when the channel
    // file could not be written and the window must stay (the message has been shown).
    bool SaveOnExit();

    TChannelPanel* PanelOf(int index) const;
    QString ClockCaption() const;
    // The channel whose day list the playing list shows; −1 for none.
    int ListChannel() const { return listChannel_; }
    QTableWidget* PlayingListView() const { return PlayingList; }
    QScrollArea* PlayerScrollArea() const { return scrollArea_; }

    // The guarded commands of the file menu: 通道配置, 系统设置 and 屏幕锁定.
    void ChannelConfigCommand();
    void SystemSettingsCommand();
    void LockCommand();
    TForm5* Form5 = nullptr;
    TFormPlayerConfig* FormPlayerConfig = nullptr;
    TFormPlayerSetting* FormPlayerSetting = nullptr;

    // Commands of the open menu and the keyboard's open, by channel index.
    void ChooseSingleFile(int index);
    void ChooseListFile(int index, bool periodic);
    void OpenClick(int index);
    // Shows the channel's day list in the playing list, its current item marked.
    void ShowDayList(int index);
    // 节目编排: the list editor, modal; it works on files only.
    void OpenListEditor();
    TFormList* FormList() const { return FormList_; }

    // The view menu: "播放器" and "播放列表" show or hide their area; a "风格" entry selects a skin.
    void N10Click();
    void N18Click();
    void yClick(const QString& skinName);
    TSkinSet& Skins() const { return *skins_; }

    // "全呼" and "告警": the all-call and alarm windows, made anew each time, modal, gone when
    // they close. The one open, if any.
    void ShowAllCall();
    void ShowAlarm();
    QDialog* OverrideWindow() const { return overrideWindow_; }
    QMenu* SkinsMenu() const { return MenuSkins; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenus();
    void BuildAreas();
    void BuildListEditor();
    void AddSkinEntries(const QStringList& names);
    void MarkCurrentSkin();
    // The view options changed in the station's settings.
    void SetViewOptions(bool showPlayer, bool showList);
    // Stores the player area's height, when the operator can have chosen it.
    void KeepPlayerAreaHeight();
    void OpenOverrideWindow(QDialog* window);
    void ApplySettings();
    ChannelPanelView* BuildChannelPanel(int index);
    void RemovePanels();
    // The scrolled area reaches just past the last panel.
    void FitChannelsArea();
    void UseListFile(int index, const QString& path, bool backToList);
    void TimerTick();
    void CreateDialogs();
    std::vector<ChannelEntry> ChannelEntries() const;
    QString ReplaceChannels(const std::vector<ChannelEntry>& entries);
    void RefreshPlayingList();
    void ShowAbout();

    TStation& station_;
    MainWindowServices services_;
    bool shown_ = false;
    std::unique_ptr<TScheduledShutdown> shutdown_;
    int listChannel_ = -1;
    QStringList listedRows_;  // what the playing list shows, to redraw it only when it changes
    int markedRow_ = -1;

    QWidget* PlayerPanel = nullptr;
    QScrollArea* scrollArea_ = nullptr;
    QWidget* channelsArea_ = nullptr;
    QWidget* ListPanel = nullptr;
    QLabel* listHeading_ = nullptr;
    QSplitter* SkinSplitter2 = nullptr;
    TLEDLabel* TimePanel = nullptr;
    QTableWidget* PlayingList = nullptr;
    QTimer* Timer1 = nullptr;
    QMenu* OpenMenu = nullptr;
    QAction* ViewPlayer = nullptr;
    QAction* ViewList = nullptr;
    TFormList* FormList_ = nullptr;
    QMenu* MenuSkins = nullptr;
    QActionGroup* skinEntries_ = nullptr;
    TSkinSet* skins_ = nullptr;
    TStationChannels broadcastChannels_;
    QPointer<QDialog> overrideWindow_;
    std::vector<TChannelPanel*> panels_;  // by channel index
};

}  // namespace tessora
