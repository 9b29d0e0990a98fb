#include "MainForm.h"

#include "Alarm.h"
#include "ChannelPanel.h"
#include "ChannelPanelBinder.h"
#include "ClockText.h"
#include "ElideMiddle.h"
#include "FileError.h"
#include "FileNames.h"
#include "LEDLabel.h"
#include "ListEditor.h"
#include "MultiAreaPlay.h"
#include "PasswordQuestion.h"
#include "PlayerConfig.h"
#include "SoundMixer.h"
#include "SystemPowerOff.h"
#include "Unit5.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QScrollArea>
#include <QSlider>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

namespace tessora {

namespace {

constexpr int kClockStripHeight = 20;
// Room left of and below the last panel inside the scrolled player area.
constexpr int kAreaMargin = 20;

const QString kAudioFilter = QStringLiteral("音频文件 (*.mp3 *.wav *.midi *.mid *.asf *.wma)");
const QString kDayListFilter = QStringLiteral("日列表 (*.Lst *.lst)");
const QString kPeriodicListFilter = QStringLiteral("周期列表 (*.lsm)");
const QString kListHeading = QStringLiteral("播放列表");
// Marks the current item's row in the playing list.
const QString kCurrentMark = QStringLiteral("▶ ");
// The playing list's 节目源 column.
constexpr int kSourceColumn = 3;

QAction* AddEntry(QMenu* menu, const QString& text, bool enabled = true) {
    QAction* action = menu->addAction(text);
    action->setEnabled(enabled);
    return action;
}

}  // namespace

MainWindowServices MainWindowServices::Platform() {
    MainWindowServices s;
    s.askPassword = PasswordQuestion;
    s.showMessage = [](QWidget* parent, const QString& text) {
        auto* box = new QMessageBox(QMessageBox::Warning, kApplicationTitle, text, QMessageBox::Ok, parent);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->show();
    };
    s.tellBeforeClosing = [](QWidget* parent, const QString& text) {
        QMessageBox::warning(parent, kApplicationTitle, text);
    };
    s.chooseFile = [](QWidget* parent, const QString& folder, const QString& filter) {
        return QFileDialog::getOpenFileName(parent, QStringLiteral("打开文件"), folder, filter);
    };
    s.chooseFolder = [](QWidget* parent, const QString& folder) {
        return QFileDialog::getExistingDirectory(parent, QString(), folder);
    };
    s.inform = [](QWidget* parent, const QString& text) {
        QMessageBox::information(parent, kApplicationTitle, text, QMessageBox::Ok | QMessageBox::Cancel);
    };
    s.tell = [](QWidget* parent, const QString& text) {
        QMessageBox::information(parent, kApplicationTitle, text, QMessageBox::Ok);
    };
    s.outputNames = [] { return TSoundMixer::DeviceNames(); };
    s.screenGrab = MakeScreenGrab;
    s.powerOff = MakeSystemPowerOff();
    s.editorDialogs = EditorDialogs::Platform();
    return s;
}

TfrmMain::TfrmMain(TStation& station, MainWindowServices services, QWidget* parent)
    : QMainWindow(parent), station_(station), services_(std::move(services)), broadcastChannels_(station) {
    setWindowTitle(kDefaultSystemName);
    skins_ = new TSkinSet(SkinsFolderOf(station_.ProgramFolder()), this);
    skins_->Follow(this, TSkinSet::Follows::Current);
    BuildMenus();
    BuildAreas();
    CreateDialogs();
    shutdown_ = std::make_unique<TScheduledShutdown>(*services_.powerOff, [this] { SaveOnExit(); });
    BuildListEditor();
    station_.SetPanelFactory([this](int index) { return BuildChannelPanel(index); });
    connect(&station_, &TStation::ChannelsStopped, this, &TfrmMain::RemovePanels);
    connect(&station_, &TStation::SettingsChanged, this, &TfrmMain::ApplySettings);
    connect(&station_, &TStation::Alert, this, [this](const QString& text) { services_.showMessage(this, text); });
    connect(&station_, &TStation::ChannelChanged, this, [this](int index) {
        if (index == listChannel_) RefreshPlayingList();
    });
    Timer1 = new QTimer(this);
    connect(Timer1, &QTimer::timeout, this, &TfrmMain::TimerTick);
    Timer1->start(1000);
}

TfrmMain::~TfrmMain() {
    // An all-call or alarm still open gives its channels back first.
    delete overrideWindow_.data();
    // The panels go with the window: the players must not write into them afterwards.
    station_.StopAllPlayers();
    station_.SetPanelFactory({});
    delete Form5;
    delete FormPlayerConfig;
}

void TfrmMain::BuildMenus() {
    QMenu* file = menuBar()->addMenu("文件");
    // Entries whose windows are not built yet stay disabled.
    connect(AddEntry(file, "节目编排"), &QAction::triggered, this, &TfrmMain::OpenListEditor);
    connect(AddEntry(file, "通道配置"), &QAction::triggered, this, &TfrmMain::ChannelConfigCommand);
    connect(AddEntry(file, "系统设置"), &QAction::triggered, this, &TfrmMain::SystemSettingsCommand);
    connect(AddEntry(file, "屏幕锁定"), &QAction::triggered, this, &TfrmMain::LockCommand);
    file->addSeparator();
    connect(AddEntry(file, "退出"), &QAction::triggered, this, &QWidget::close);

    QMenu* play = menuBar()->addMenu("播放");
    connect(AddEntry(play, "全呼"), &QAction::triggered, this, &TfrmMain::ShowAllCall);
    connect(AddEntry(play, "告警"), &QAction::triggered, this, &TfrmMain::ShowAlarm);
    connect(AddEntry(play, "全部停止"), &QAction::triggered, &station_, &TStation::StopAll);

    QMenu* view = menuBar()->addMenu("视图");
    ViewPlayer = AddEntry(view, "播放器");
    ViewPlayer->setCheckable(true);
    connect(ViewPlayer, &QAction::triggered, this, &TfrmMain::N10Click);
    ViewList = AddEntry(view, "播放列表");
    ViewList->setCheckable(true);
    connect(ViewList, &QAction::triggered, this, &TfrmMain::N18Click);
    MenuSkins = view->addMenu("风格");
    skinEntries_ = new QActionGroup(this);
    connect(skins_, &TSkinSet::Scanned, this, &TfrmMain::AddSkinEntries);
    skins_->Scan();

    QMenu* help = menuBar()->addMenu("帮助(&H)");
    connect(AddEntry(help, "关于..."), &QAction::triggered, this, &TfrmMain::ShowAbout);

    OpenMenu = new QMenu(this);
    connect(AddEntry(OpenMenu, "单曲"), &QAction::triggered, this, [this] { ChooseSingleFile(CurrentChannel); });
    connect(AddEntry(OpenMenu, "日列表"), &QAction::triggered, this, [this] { ChooseListFile(CurrentChannel, false); });
    connect(AddEntry(OpenMenu, "周期列表"), &QAction::triggered, this, [this] { ChooseListFile(CurrentChannel, true); });
    // Kept for device and folder sources, which have no command of their own.
    for (const char* hidden : {"外设", "目录"}) AddEntry(OpenMenu, hidden)->setVisible(false);
}

void TfrmMain::BuildListEditor() {
    ListEditorServices editor;
    editor.dialogs = services_.editorDialogs;
    editor.keepPreviewVolume = [this](int32_t volume) { station_.SetPreviewVolume(volume); };
    editor.channelUses = [this] {
        std::vector<ChannelListUse> uses;
        for (int index = 0; index < station_.ChannelCount(); ++index) {
            const TListPlayer* channel = station_.Channel(index);
            uses.push_back({channel->Title, channel->DayListFile, channel->PeriodicListFile, channel->PeriodicList});
        }
        return uses;
    };
    editor.calendar.stationFolder = station_.ProgramFolder();
    editor.calendar.channelTitles = [this] {
        QStringList titles;
        for (int index = 0; index < station_.ChannelCount(); ++index) titles << station_.Channel(index)->Title;
        return titles;
    };
    FormList_ = new TFormList(station_.Settings(), std::move(editor), this);
    skins_->Follow(FormList_, TSkinSet::Follows::Current);
}

void TfrmMain::OpenListEditor() { FormList_->exec(); }

void TfrmMain::BuildAreas() {
    SkinSplitter2 = new QSplitter(Qt::Vertical, this);
    SkinSplitter2->setHandleWidth(1);
    SkinSplitter2->setChildrenCollapsible(false);
    SkinSplitter2->setOpaqueResize(false);  // a line follows the drag; the areas change at the drop

    PlayerPanel = new QWidget(SkinSplitter2);
    PlayerPanel->setMinimumHeight(1);  // the splitter may shrink it to one pixel
    auto* playerLayout = new QVBoxLayout(PlayerPanel);
    playerLayout->setContentsMargins(0, 0, 0, 0);
    playerLayout->setSpacing(0);
    // The panels keep their fixed places; the area scrolls so that a panel beyond the visible
    // part (a third row, a narrow screen) can still be reached.
    scrollArea_ = new QScrollArea(PlayerPanel);
    scrollArea_->setFrameShape(QFrame::NoFrame);
    scrollArea_->setWidgetResizable(false);
    channelsArea_ = new QWidget;
    channelsArea_->setObjectName("channelsArea");
    channelsArea_->resize(0, 0);
    scrollArea_->setWidget(channelsArea_);
    playerLayout->addWidget(scrollArea_, 1);
    auto* clockStrip = new QWidget(PlayerPanel);
    clockStrip->setFixedHeight(kClockStripHeight);
    playerLayout->addWidget(clockStrip);
    TimePanel = new TLEDLabel(clockStrip);
    TimePanel->setFontSize(TLEDFontSize::fs11x13_bold);
    TimePanel->setLedColor(QColor(0, 255, 255));
    TimePanel->setAlignment(TAlignment::taCenter);
    TimePanel->setAutoSize(false);
    TimePanel->setGeometry(4, 0, 259, 19);
    TimePanel->setCaption("...");

    ListPanel = new QWidget(SkinSplitter2);
    auto* listLayout = new QVBoxLayout(ListPanel);
    listLayout->setContentsMargins(4, 2, 4, 4);
    listHeading_ = new QLabel(kListHeading, ListPanel);
    listLayout->addWidget(listHeading_);
    PlayingList = new QTableWidget(0, 5, ListPanel);
    PlayingList->setHorizontalHeaderLabels({"标题", "开始", "结束", "节目源", "说明"});
    const int widths[] = {100, 100, 100, 150, 100};
    for (int c = 0; c < 5; ++c) PlayingList->setColumnWidth(c, widths[c]);
    // One line a row: a wrapped path would be cut at the end of its second line, file name and all.
    PlayingList->setWordWrap(false);
    PlayingList->setItemDelegateForColumn(kSourceColumn, new TElideMiddle(PlayingList));
    PlayingList->verticalHeader()->hide();
    PlayingList->setShowGrid(true);
    PlayingList->setSelectionBehavior(QAbstractItemView::SelectRows);
    PlayingList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    listLayout->addWidget(PlayingList);

    SkinSplitter2->setStretchFactor(1, 1);
    setCentralWidget(SkinSplitter2);
}

void TfrmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    FormShow();
}

void TfrmMain::FormShow() {
    station_.LoadSettings();
    if (station_.LoadChannels())
        station_.StartChannels();
    else
        services_.showMessage(this, ChannelFileProblemText(station_.ChannelFilePath(), station_.ChannelFileError()));
}

QString ChannelFileProblemText(const QString& channelFile, const QString& error) {
    // A station's first start: no channel file yet is no fault, just nothing set up.
    if (!QFileInfo::exists(channelFile))
        return QStringLiteral("还没有设置通道。请在菜单 文件 → 通道配置 中添加通道。");
    return QStringLiteral("无法读取通道配置：%1").arg(error);
}

void TfrmMain::ApplySettings() {
    const SystemSettings& settings = station_.Settings();
    setWindowTitle(MainWindowTitle(settings));
    if (skins_->Name() != station_.WindowSettings().SkinName) {
        skins_->Select(station_.WindowSettings().SkinName);
        MarkCurrentSkin();
    }
    // The splitter shares out its height only once the window has been laid out.
    QTimer::singleShot(0, this, [this] {
        const int wanted = station_.WindowSettings().PlayerPanelHeight;
        SkinSplitter2->setSizes({wanted, std::max(1, SkinSplitter2->height() - wanted)});
    });
    PlayerPanel->setVisible(settings.ShowPlayer);
    ViewPlayer->setChecked(settings.ShowPlayer);
    ListPanel->setVisible(settings.ShowListDetail);
    ViewList->setChecked(settings.ShowListDetail);
}

void TfrmMain::AddSkinEntries(const QStringList& names) {
    for (const QString& name : names) {
        QAction* entry = MenuSkins->addAction(name);
        entry->setCheckable(true);
        skinEntries_->addAction(entry);
        connect(entry, &QAction::triggered, this, [this, name] { yClick(name); });
    }
    MarkCurrentSkin();
}

void TfrmMain::MarkCurrentSkin() {
    for (QAction* entry : skinEntries_->actions()) entry->setChecked(entry->text() == skins_->Name());
}

void TfrmMain::yClick(const QString& skinName) {
    station_.WindowSettings().SkinName = skinName;
    skins_->Select(skinName);
    MarkCurrentSkin();
}

void TfrmMain::N10Click() { SetViewOptions(!station_.Settings().ShowPlayer, station_.Settings().ShowListDetail); }

void TfrmMain::N18Click() { SetViewOptions(station_.Settings().ShowPlayer, !station_.Settings().ShowListDetail); }

void TfrmMain::SetViewOptions(bool showPlayer, bool showList) {
    // Settings are applied whole, the player area's height with them: keep the one dragged to.
    KeepPlayerAreaHeight();
    SystemSettings settings = station_.Settings();
    settings.ShowPlayer = showPlayer;
    settings.ShowListDetail = showList;
    station_.ApplySettings(settings);
}

void TfrmMain::ShowAllCall() {
    // Without a parent: the all-call window keeps the skin of the start, and a parent's style
    // sheet would reach into it.
    auto* window = new TFormMultiArea(broadcastChannels_, station_.Settings().MusicDirectory, services_.chooseFile);
    skins_->Follow(window, TSkinSet::Follows::Start);
    OpenOverrideWindow(window);
}

void TfrmMain::ShowAlarm() {
    auto* window = new TFormAlarm(broadcastChannels_, station_.ProgramFolder(), this);
    skins_->Follow(window, TSkinSet::Follows::Current);
    OpenOverrideWindow(window);
}

void TfrmMain::OpenOverrideWindow(QDialog* window) {
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowModality(Qt::ApplicationModal);
    window->move(geometry().center() - window->rect().center());
    overrideWindow_ = window;
    // Shown without a nested event loop: the players' ticks and the clock go on as before.
    window->show();
}

QString TfrmMain::ClockCaption() const { return TimePanel->caption(); }

void TfrmMain::TimerTick() {
    const QDateTime now = QDateTime::currentDateTime();
    TimePanel->setCaption(ClockText(now));
    shutdown_->Tick(station_.Settings(), LocalMoment::FromDateTime(now).timeOfDay);
    // The current item moves on with the players' ticks, not with any command.
    RefreshPlayingList();
}

TChannelPanel* TfrmMain::PanelOf(int index) const {
    return index >= 0 && index < static_cast<int>(panels_.size()) ? panels_[index] : nullptr;
}

ChannelPanelView* TfrmMain::BuildChannelPanel(int index) {
    const TListPlayer* channel = station_.Channel(index);
    auto* panel = new TChannelPanel(index, channel->Title, channel->Volume, channelsArea_);
    panel->move(PanelPosition(index));
    panel->tMenuBtn->OpenMenu = OpenMenu;
    new TChannelPanelBinder(station_, panel);
    connect(panel, &TChannelPanel::entered, this, &TfrmMain::ShowDayList);
    connect(panel->tMenuBtn, &TMenuButton::menuShown, this, [this, index] { CurrentChannel = index; });
    connect(panel->tMenuBtn, &TMenuButton::openClicked, this, [this, index] { OpenClick(index); });
    if (index >= static_cast<int>(panels_.size())) panels_.resize(index + 1, nullptr);
    panels_[index] = panel;
    // Until a panel is clicked the playing list shows the first channel's day, not nothing.
    if (listChannel_ < 0) ShowDayList(index);
    FitChannelsArea();
    panel->show();
    return panel;
}

void TfrmMain::FitChannelsArea() {
    QRect reach;
    for (const TChannelPanel* panel : panels_)
        if (panel) reach |= panel->geometry();
    channelsArea_->resize(reach.isEmpty() ? QSize(0, 0) : QSize(reach.right() + 1 + kAreaMargin, reach.bottom() + 1 + kAreaMargin));
}

void TfrmMain::RemovePanels() {
    for (TChannelPanel* panel : panels_) delete panel;
    panels_.clear();
    FitChannelsArea();
    listChannel_ = -1;
    RefreshPlayingList();
}

void TfrmMain::ShowDayList(int index) {
    listChannel_ = index;
    RefreshPlayingList();
}

void TfrmMain::RefreshPlayingList() {
    const TListPlayer* channel = station_.Channel(listChannel_);
    QStringList rows;
    int current = -1;
    if (channel) {
        for (const PlayItemRow& row : channel->DayList.FillListView())
            rows << row.Title << row.Start << row.End << row.Source << row.PlayMode;
        const auto& items = channel->DayList.Items;
        for (size_t i = 0; i < items.size(); ++i)
            if (channel->PlayMode == ListMode && items[i].Index == channel->CurrentItem.Index) current = int(i);
    }
    listHeading_->setText(channel ? kListHeading + " - " + channel->Title : kListHeading);
    if (rows != listedRows_) {
        listedRows_ = rows;
        markedRow_ = -1;
        const int count = static_cast<int>(rows.size() / 5);
        PlayingList->setRowCount(count);
        for (int r = 0; r < count; ++r)
            for (int c = 0; c < 5; ++c) PlayingList->setItem(r, c, new QTableWidgetItem(rows[r * 5 + c]));
    }
    if (current == markedRow_) return;
    // Only the mark moves: a row the operator selected stays selected.
    for (const int row : {markedRow_, current}) {
        if (row < 0 || row >= PlayingList->rowCount()) continue;
        const bool marked = row == current;
        QTableWidgetItem* title = PlayingList->item(row, 0);
        title->setText((marked ? kCurrentMark : QString()) + listedRows_[row * 5]);
        for (int c = 0; c < 5; ++c) {
            QFont font = PlayingList->item(row, c)->font();
            font.setBold(marked);
            PlayingList->item(row, c)->setFont(font);
        }
    }
    markedRow_ = current;
}

void TfrmMain::ChooseSingleFile(int index) {
    if (!station_.Channel(index)) return;
    const QString path = services_.chooseFile(this, station_.Settings().MusicDirectory, kAudioFilter);
    if (path.isEmpty()) return;
    station_.PlayFile(index, path);
    ShowDayList(index);
}

void TfrmMain::ChooseListFile(int index, bool periodic) {
    if (!station_.Channel(index)) return;
    const QString path = services_.chooseFile(this, station_.Settings().ListDirectory,
                                              periodic ? kPeriodicListFilter : kDayListFilter);
    if (path.isEmpty()) return;
    UseListFile(index, path, true);
    ShowDayList(index);
}

void TfrmMain::OpenClick(int index) {
    if (!station_.Channel(index)) return;
    const QString path = services_.chooseFile(this, QString(), kDayListFilter + ";;" + kPeriodicListFilter);
    if (!path.isEmpty()) UseListFile(index, path, false);
}

void TfrmMain::UseListFile(int index, const QString& path, bool backToList) {
    try {
        station_.UseListFile(index, path, backToList);
    } catch (const EFileError& e) {
        services_.showMessage(this, e.Path + ": " + e.Message);
    }
}

void TfrmMain::ShowAbout() {
    services_.showMessage(this, QStringLiteral("%1 %2\n%3\n\n%4")
                                    .arg(kDefaultSystemName, QCoreApplication::applicationVersion(),
                                         QStringLiteral("多通道定时广播：打铃、音乐与通知"),
                                         QStringLiteral("Licence: GNU General Public License, version 3 or later")));
}

void TfrmMain::KeepPlayerAreaHeight() {
    // Alone, the player area fills the window: that height is no choice of the operator's.
    if (PlayerPanel->isVisible() && ListPanel->isVisible()) station_.WindowSettings().PlayerPanelHeight = PlayerPanel->height();
}

bool TfrmMain::SaveOnExit() {
    KeepPlayerAreaHeight();
    if (!station_.SaveSettings()) std::fprintf(stderr, "tessora: %s\n", qPrintable(station_.SettingsError()));
    if (station_.ChannelFileLoadedPartly()) {
        // Rewriting it would lose the channels that were never read; the refusal is the point.
        std::fprintf(stderr, "tessora: %s was not written: %s\n", qPrintable(station_.ChannelFilePath()),
                     qPrintable(station_.ChannelFileError()));
        return true;
    }
    try {
        station_.SaveChannels();
    } catch (const EFileError& e) {
        services_.showMessage(this, e.Path + ": " + e.Message);
        std::fprintf(stderr, "tessora: %s: %s\n", qPrintable(e.Path), qPrintable(e.Message));
        return false;
    }
    return true;
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    if (!services_.askPassword(this, station_.Settings().Password) || !SaveOnExit()) {
        event->ignore();
        return;
    }
    if (station_.ChannelFileLoadedPartly())
        services_.tellBeforeClosing(this, QStringLiteral("通道配置文件 %1 没有写入：启动时未能完整读取，"
                                                         "为免丢失其余通道而保持原样。\n%2")
                                              .arg(station_.ChannelFilePath(), station_.ChannelFileError()));
    event->accept();
}

}  // namespace tessora
