#include "MainForm.h"

#include "ChannelPanel.h"
#include "ClockText.h"
#include "FileError.h"
#include "FileNames.h"
#include "LEDLabel.h"
#include "PasswordQuestion.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
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
// How long StopAllPlayers serves events while the players finish their last tick and teardown.
constexpr int kStopWaitMs = 5000;

const QString kAudioFilter = QStringLiteral("音频文件 (*.mp3 *.wav *.midi *.asf *.wma)");
const QString kDayListFilter = QStringLiteral("日列表 (*.Lst *.lst)");
const QString kPeriodicListFilter = QStringLiteral("周期列表 (*.lsm)");

QAction* AddEntry(QMenu* menu, const QString& text, bool enabled = true) {
    QAction* action = menu->addAction(text);
    action->setEnabled(enabled);
    return action;
}

}  // namespace

MainWindowServices MainWindowServices::Platform() {
    MainWindowServices s;
    s.askPassword = PasswordQuestion;
    s.channelFactory = MixerChannelFactory();
    s.passwords = MakeUserPasswordStore();
    s.showMessage = [](QWidget* parent, const QString& text) {
        auto* box = new QMessageBox(QMessageBox::Warning, QApplication::applicationDisplayName(), text, QMessageBox::Ok, parent);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->show();
    };
    s.chooseFile = [](QWidget* parent, const QString& folder, const QString& filter) {
        return QFileDialog::getOpenFileName(parent, "Open file", folder, filter);
    };
    return s;
}

TfrmMain::TfrmMain(const QString& programFolder, MainWindowServices services, QWidget* parent)
    : QMainWindow(parent),
      programFolder_(programFolder.endsWith('/') ? programFolder : programFolder + '/'),
      services_(std::move(services)),
      settingsStore_(programFolder_, *services_.passwords) {
    setWindowTitle(kDefaultSystemName);
    BuildMenus();
    BuildAreas();
    Timer1 = new QTimer(this);
    connect(Timer1, &QTimer::timeout, this, &TfrmMain::TimerTick);
    Timer1->start(1000);
}

TfrmMain::~TfrmMain() { StopAllPlayers(); }

void TfrmMain::BuildMenus() {
    QMenu* file = menuBar()->addMenu("文件");
    // Entries whose windows are not built yet stay disabled.
    AddEntry(file, "节目编排", false);
    AddEntry(file, "通道配置", false);
    AddEntry(file, "系统设置", false);
    AddEntry(file, "屏幕锁定", false);
    file->addSeparator();
    connect(AddEntry(file, "退出"), &QAction::triggered, this, &QWidget::close);

    QMenu* play = menuBar()->addMenu("播放");
    AddEntry(play, "全呼", false);
    AddEntry(play, "告警", false);
    AddEntry(play, "全部停止");

    QMenu* view = menuBar()->addMenu("视图");
    ViewPlayer = AddEntry(view, "播放器", false);
    ViewPlayer->setCheckable(true);
    ViewList = AddEntry(view, "播放列表", false);
    ViewList->setCheckable(true);
    view->addMenu("风格")->setEnabled(false);

    QMenu* help = menuBar()->addMenu("帮助(&H)");
    AddEntry(help, "关于...");

    OpenMenu = new QMenu(this);
    connect(AddEntry(OpenMenu, "单曲"), &QAction::triggered, this, [this] { ChooseSingleFile(CurrentChannel); });
    connect(AddEntry(OpenMenu, "日列表"), &QAction::triggered, this, [this] { ChooseListFile(CurrentChannel, false); });
    connect(AddEntry(OpenMenu, "周期列表"), &QAction::triggered, this, [this] { ChooseListFile(CurrentChannel, true); });
}

void TfrmMain::BuildAreas() {
    SkinSplitter2 = new QSplitter(Qt::Vertical, this);
    SkinSplitter2->setHandleWidth(1);
    SkinSplitter2->setChildrenCollapsible(false);

    PlayerPanel = new QWidget(SkinSplitter2);
    auto* playerLayout = new QVBoxLayout(PlayerPanel);
    playerLayout->setContentsMargins(0, 0, 0, 0);
    playerLayout->setSpacing(0);
    auto* channelsArea = new QWidget(PlayerPanel);
    channelsArea->setObjectName("channelsArea");
    playerLayout->addWidget(channelsArea, 1);
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
    listLayout->addWidget(new QLabel("播放列表", ListPanel));
    PlayingList = new QTableWidget(0, 5, ListPanel);
    PlayingList->setHorizontalHeaderLabels({"标题", "开始", "结束", "节目源", "说明"});
    const int widths[] = {100, 100, 100, 150, 100};
    for (int c = 0; c < 5; ++c) PlayingList->setColumnWidth(c, widths[c]);
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
    settingsStore_.LoadSettings(Settings, WindowSettings);
    ApplySettings();
    StopAllPlayers();
    if (LoadChannels(ChannelFilePath())) StartChannels();
}

void TfrmMain::ApplySettings() {
    setWindowTitle(MainWindowTitle(Settings));
    // The splitter shares out its height only once the window has been laid out.
    QTimer::singleShot(0, this, [this] {
        const int total = SkinSplitter2->height();
        SkinSplitter2->setSizes({WindowSettings.PlayerPanelHeight, std::max(1, total - WindowSettings.PlayerPanelHeight)});
    });
    PlayerPanel->setVisible(Settings.ShowPlayer);
    ViewPlayer->setChecked(Settings.ShowPlayer);
    ListPanel->setVisible(Settings.ShowListDetail);
    ViewList->setChecked(Settings.ShowListDetail);
}

QString TfrmMain::ClockCaption() const { return TimePanel->caption(); }

void TfrmMain::TimerTick() { TimePanel->setCaption(ClockText(QDateTime::currentDateTime())); }

TListPlayer* TfrmMain::PlayerAt(int index) const {
    return index >= 0 && index < static_cast<int>(Players.size()) ? Players[index] : nullptr;
}

TChannelPanel* TfrmMain::PanelOf(int index) const {
    return index >= 0 && index < static_cast<int>(panels_.size()) ? panels_[index] : nullptr;
}

void TfrmMain::StopAllPlayers() {
    for (TListPlayer* player : Players) player->Terminate();
    QElapsedTimer waited;
    waited.start();
    const auto anyRunning = [this] {
        return std::any_of(Players.begin(), Players.end(), [](TListPlayer* p) { return p->IsRunning(); });
    };
    while (anyRunning() && waited.elapsed() < kStopWaitMs) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Players.clear();
    panels_.clear();
}

bool TfrmMain::LoadChannels(const QString& path) {
    StopAllPlayers();
    const ChannelLoadResult result = channelFile_.LoadChannels(path);
    for (const LoadedChannel& loaded : result.Channels) {
        auto* player = new TListPlayer(this);
        player->SetFromConfig(loaded);
        connect(player, &TListPlayer::Finished, this, &TfrmMain::PlayerFinished);
        connect(player, &TListPlayer::Alert, this, [this](TListPlayer*, const QString& text) { services_.showMessage(this, text); });
        Players.push_back(player);
    }
    if (!result.Complete) services_.showMessage(this, result.Error);
    return result.Complete;
}

void TfrmMain::SaveChannels(const QString& path) {
    std::vector<ChannelConfig> channels;
    for (const TListPlayer* player : Players) channels.push_back(player->Config());
    channelFile_.SaveChannels(path, channels);
}

void TfrmMain::StartChannels() {
    panels_.resize(Players.size(), nullptr);
    for (int i = 0; i < static_cast<int>(Players.size()); ++i) {
        TListPlayer* player = Players[i];
        if (panels_[i]) continue;  // already running: a rebuild leaves it as it is
        BuildChannelPanel(player, i);
        player->CreateChannel(i, services_.channelFactory);
        if (!player->DayListFile.isEmpty()) {
            try {
                player->DayList.LoadFromFile(player->DayListFile);
            } catch (const EFileError& e) {
                // The channel still starts: it shows why it is silent, and a list chosen later,
                // or the next day's list of a periodic list, brings it back.
                panels_[i]->SetCaption(player->Title + "(" + e.Message + ")");
                panels_[i]->SetFileLabel(FileNameOf(e.Path) + ": " + e.Message);
            }
            player->CurrentItem.Index = -1;
        }
        player->Start();
    }
}

void TfrmMain::BuildChannelPanel(TListPlayer* player, int index) {
    auto* area = PlayerPanel->findChild<QWidget*>("channelsArea");
    auto* panel = new TChannelPanel(index, player->Title, player->Volume, ProgressDragging, area);
    panel->move(PanelPosition(index));
    panel->tMenuBtn->OpenMenu = OpenMenu;
    connect(panel, &TChannelPanel::entered, this, &TfrmMain::ShowDayList);
    connect(panel->tPlay, &QPushButton::clicked, this, [this, index] { PlayClick(index); });
    connect(panel->tStop, &QPushButton::clicked, this, [this, index] { StopClick(index); });
    connect(panel->tVolume, &QSlider::valueChanged, this, [this, index](int v) { VolumeChange(index, v); });
    connect(panel->tProgress, &QSlider::sliderPressed, this, [this] { ProgressDragging = true; });
    connect(panel->tProgress, &QSlider::sliderReleased, this, [this] { ProgressDragging = false; });
    connect(panel->tProgress, &QSlider::valueChanged, this, [this, index](int v) { ProgressChange(index, v); });
    connect(panel->tMenuBtn, &TMenuButton::menuShown, this, [this, index] { CurrentChannel = index; });
    connect(panel->tMenuBtn, &TMenuButton::openClicked, this, [this, index] { OpenClick(index); });
    panels_[index] = panel;
    player->SetPanel(panel);
    panel->show();
}

void TfrmMain::PlayerFinished(TListPlayer* player) {
    for (TChannelPanel*& panel : panels_)
        if (panel && panel == player->Panel()) panel = nullptr;
    if (auto* panel = dynamic_cast<TChannelPanel*>(player->Panel())) panel->deleteLater();
    player->SetPanel(nullptr);
    player->deleteLater();
}

void TfrmMain::PlayClick(int index) {
    TListPlayer* p = PlayerAt(index);
    TChannelPanel* panel = PanelOf(index);
    if (!p || !panel) return;
    if (p->PlayState == PlayOn) {
        p->PlayState = PlayPaused;
        panel->tPlay->setText(">");
        panel->tPlay->setToolTip("恢复播放");
    } else {
        p->PlayState = PlayOn;
        panel->tPlay->setText("||");
        panel->tPlay->setToolTip("暂停播放");
    }
}

void TfrmMain::StopClick(int index) {
    TListPlayer* p = PlayerAt(index);
    TChannelPanel* panel = PanelOf(index);
    if (!p || !panel || p->PlayState == PlayStopped) return;
    p->PlayState = PlayStopped;
    panel->tStop->setText("■");
    panel->tStop->setToolTip("停止");
    panel->tPlay->setText(">");
}

void TfrmMain::VolumeChange(int index, int value) {
    TListPlayer* p = PlayerAt(index);
    if (!p) return;
    p->Volume = value - 10000;
    if (p->Channel()) p->Channel()->SetVolume(p->Volume);
}

void TfrmMain::ProgressChange(int index, int value) {
    TListPlayer* p = PlayerAt(index);
    if (!ProgressDragging || !p || !p->Channel() || p->Channel()->FileName().isEmpty()) return;
    PlayerChannel* channel = p->Channel();
    channel->Pause();
    channel->Seek(static_cast<uint32_t>(std::max(0, value)));
    channel->Play();
}

void TfrmMain::ShowDayList(int index) {
    TListPlayer* p = PlayerAt(index);
    if (!p) return;
    const auto rows = p->DayList.FillListView();
    PlayingList->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const QStringList texts = {rows[r].Title, rows[r].Start, rows[r].End, rows[r].Source, rows[r].PlayMode};
        for (int c = 0; c < texts.size(); ++c) PlayingList->setItem(r, c, new QTableWidgetItem(texts[c]));
    }
}

void TfrmMain::ChooseSingleFile(int index) {
    TListPlayer* p = PlayerAt(index);
    if (!p) return;
    const QString path = services_.chooseFile(this, Settings.MusicDirectory, kAudioFilter);
    if (path.isEmpty()) return;
    p->ManualFile = path;
    p->PlayState = PlayOn;
    p->PlayMode = ManualMode;
    if (TChannelPanel* panel = PanelOf(index)) panel->tPlay->setText("||");
    ShowDayList(index);
}

void TfrmMain::ChooseListFile(int index, bool periodic) {
    TListPlayer* p = PlayerAt(index);
    if (!p) return;
    const QString path = services_.chooseFile(this, Settings.ListDirectory, periodic ? kPeriodicListFilter : kDayListFilter);
    if (path.isEmpty()) return;
    p->PlayMode = ListMode;
    ApplyListFile(p, path);
    ShowDayList(index);
}

void TfrmMain::OpenClick(int index) {
    TListPlayer* p = PlayerAt(index);
    if (!p) return;
    const QString path = services_.chooseFile(this, QString(), kDayListFilter + ";;" + kPeriodicListFilter);
    if (!path.isEmpty()) ApplyListFile(p, path);
}

void TfrmMain::ApplyListFile(TListPlayer* player, const QString& path) {
    if (player->Panel()) player->Panel()->SetListLabel(path);
    try {
        player->ApplyListFile(path);
    } catch (const EFileError& e) {
        services_.showMessage(this, e.Path + ": " + e.Message);
        return;
    }
    // A day list puts the channel back to playing.
    if (player->PlayState == PlayOn) {
        const auto it = std::find(Players.begin(), Players.end(), player);
        if (TChannelPanel* panel = PanelOf(static_cast<int>(it - Players.begin()))) panel->tPlay->setText("||");
    }
}

bool TfrmMain::SaveOnExit() {
    if (PlayerPanel->isVisible()) WindowSettings.PlayerPanelHeight = PlayerPanel->height();
    if (!settingsStore_.SaveSettings(Settings, WindowSettings))
        std::fprintf(stderr, "tessora: %s\n", qPrintable(settingsStore_.LastError()));
    try {
        SaveChannels(ChannelFilePath());
    } catch (const EFileError& e) {
        services_.showMessage(this, e.Path + ": " + e.Message);
        std::fprintf(stderr, "tessora: %s: %s\n", qPrintable(e.Path), qPrintable(e.Message));
        return false;
    }
    return true;
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    if (!services_.askPassword(this, Settings.Password) || !SaveOnExit()) {
        event->ignore();
        return;
    }
    event->accept();
}

}  // namespace tessora
