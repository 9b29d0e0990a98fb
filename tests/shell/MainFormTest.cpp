// The main window offscreen: panels, buttons, the clock, the progress bar and the guarded exit.
#include "Alarm.h"
#include "ChannelPanel.h"
#include "ClockText.h"
#include "ElideMiddle.h"
#include "IniFile.h"
#include "LEDGauge.h"
#include "LEDLabel.h"
#include "ListEditor.h"
#include "MainForm.h"
#include "MultiAreaPlay.h"
#include "PlayerConfig.h"
#include "PlayerTestSupport.h"
#include "Unit5.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QSlider>
#include <QSplitter>
#include <QTemporaryDir>
#include <QtTest>

using namespace tessora;
using tessora::test::FakeChannel;

namespace {

class NoPowerOff : public PowerOff {
public:
    void Request() override {}
};

class MemoryPasswords : public PasswordStore {
public:
    std::optional<QString> Read() override { return QString("secret"); }
    bool Write(const QString&) override { return true; }
};

}  // namespace

class MainFormTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> folder;
    MemoryPasswords passwords;
    std::unique_ptr<TStation> station;
    std::unique_ptr<TfrmMain> window;
    std::vector<FakeChannel*> channels;
    QString typedPassword;
    QString chosenFile;  // what the next file dialog answers
    QStringList messages;
    QStringList toldBeforeClosing;
    int givenBackMode = -1;

    QString Folder() const { return folder->path() + "/"; }

    void WriteChannels(int count) {
        std::vector<ChannelConfig> configs;
        for (int i = 0; i < count; ++i) {
            ChannelConfig c;
            c.Title = QString("通道%1").arg(i + 1);
            c.Volume = -100 * i;
            configs.push_back(c);
        }
        TChannelFile().SaveChannels(Folder() + "tessora.cfg", configs);
    }

    const TListPlayer* Channel(int index) const { return station->Channel(index); }

    // An item current all day long.
    static PlayItem AllDay(const QString& title, const QString& source) {
        PlayItem item;
        item.Title = title;
        item.Source = source;
        item.StartTime = 0;
        item.EndTime = 0.99999;
        return item;
    }

    void MakeSkin(const QString& name, const QString& windowColour) {
        QDir().mkpath(Folder() + "skins/" + name);
        QFile ini(Folder() + "skins/" + name + "/skin.ini");
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[skin]\r\nStyleSheet=look.qss\r\n[palette]\r\nWindow=" + windowColour.toUtf8() + "\r\n");
        QFile sheet(Folder() + "skins/" + name + "/look.qss");
        QVERIFY(sheet.open(QIODevice::WriteOnly));
        sheet.write("QLabel { color: " + windowColour.toUtf8() + "; }");
    }
    QStringList SkinEntries() const {
        QStringList names;
        for (QAction* a : window->SkinsMenu()->actions()) names << a->text();
        return names;
    }
    QAction* SkinEntry(const QString& name) const {
        for (QAction* a : window->SkinsMenu()->actions())
            if (a->text() == name) return a;
        return nullptr;
    }
    QString CheckedSkinEntry() const {
        for (QAction* a : window->SkinsMenu()->actions())
            if (a->isChecked()) return a->text();
        return {};
    }
    QAction* MenuEntry(const QString& menuName, const QString& name) const {
        for (QAction* menu : window->menuBar()->actions())
            if (menu->text() == menuName)
                for (QAction* a : menu->menu()->actions())
                    if (a->text() == name) return a;
        return nullptr;
    }
    QAction* ViewEntry(const QString& name) const { return MenuEntry("视图", name); }
    QAction* PlayEntry(const QString& name) const { return MenuEntry("播放", name); }

    void Restart() {
        window.reset();
        station.reset();
        Start();
    }

    void Start(QSize size = QSize(1280, 800)) {
        station = std::make_unique<TStation>(Folder(), passwords, [this](int, int) {
            auto channel = std::make_unique<FakeChannel>();
            channels.push_back(channel.get());
            return channel;
        });
        MainWindowServices services;
        services.askPassword = [this](QWidget*, const QString& password) { return typedPassword == password; };
        services.showMessage = [this](QWidget*, const QString& text) { messages << text; };
        services.tellBeforeClosing = [this](QWidget*, const QString& text) { toldBeforeClosing << text; };
        services.chooseFile = [this](QWidget*, const QString&, const QString&) { return chosenFile; };
        services.screenGrab = MakeQtScreenGrab;
        services.powerOff = std::make_unique<NoPowerOff>();
        services.editorDialogs.showMessage = services.showMessage;
        services.editorDialogs.chooseOpenFile = [this](QWidget*, const QString&, const QString&, const QString&) { return chosenFile; };
        services.editorDialogs.chooseSaveFile = services.editorDialogs.chooseOpenFile;
        window = std::make_unique<TfrmMain>(*station, std::move(services));
        window->resize(size);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

private slots:
    void init() {
        folder = std::make_unique<QTemporaryDir>();
        channels.clear();
        messages.clear();
        toldBeforeClosing.clear();
        typedPassword.clear();
    }
    void cleanup() {
        window.reset();
        station.reset();
    }

    void clockText_data() {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QString>("text");
        QTest::newRow("just after midnight") << QDateTime(QDate(2024, 1, 5), QTime(0, 5, 0)) << "2024/01/05 12:05:00 am";
        QTest::newRow("just after noon") << QDateTime(QDate(2024, 1, 5), QTime(12, 5, 0)) << "2024/01/05 12:05:00 pm";
        QTest::newRow("morning") << QDateTime(QDate(2024, 1, 5), QTime(9, 3, 7)) << "2024/01/05 09:03:07 am";
        QTest::newRow("evening") << QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59)) << "2026/12/31 11:59:59 pm";
    }
    void clockText() {
        QFETCH(QDateTime, when);
        QFETCH(QString, text);
        QCOMPARE(ClockText(when), text);
    }

    void thirteenPanelsStandInThreeRows() {
        WriteChannels(13);
        Start();
        QCOMPARE(station->ChannelCount(), 13);
        const QList<QPoint> expected = {{20, 40},   {220, 40},  {420, 40},  {620, 40},  {20, 220},
                                        {220, 220}, {420, 220}, {620, 220}, {20, 400},  {220, 400},
                                        {420, 400}, {620, 400}, {820, 400}};
        for (int i = 0; i < 13; ++i) {
            TChannelPanel* panel = window->PanelOf(i);
            QVERIFY(panel);
            QCOMPARE(panel->pos(), expected[i]);
            QCOMPARE(panel->size(), QSize(185, 150));
            QCOMPARE(panel->tVolume->value(), 10000 - 100 * i);
            QCOMPARE(panel->tPlay->text(), QString("||"));
        }
        QCOMPARE(window->PanelOf(0)->LeftG->geometry(), QRect(9, 56, 167, 13));
        QCOMPARE(window->PanelOf(0)->tMenuBtn->geometry(), QRect(64, 112, 33, 25));
    }

    void noChannelFileShowsNoPanelAndTheClockRuns() {
        Start();
        QCOMPARE(station->ChannelCount(), 0);
        QCOMPARE(messages.size(), 1);
        // A new station: no channels yet, and where to add them, in the operator's language.
        QCOMPARE(messages[0], QString("还没有设置通道。请在菜单 文件 → 通道配置 中添加通道。"));
        QCOMPARE(kApplicationTitle, QString("多通道智能广播系统"));  // the message boxes' title
        QTRY_VERIFY_WITH_TIMEOUT(window->ClockCaption() != "...", 3000);
        QCOMPARE(window->windowTitle(), QString("Tessora多通道智能广播系统"));
    }

    void aChannelFileThatCannotBeReadIsReportedWithItsReason() {
        QDir(Folder()).mkpath("tessora.cfg");  // a folder in its place
        Start();
        QCOMPARE(station->ChannelCount(), 0);
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].startsWith("无法读取通道配置："), qPrintable(messages[0]));
        QVERIFY2(messages[0].contains("tessora.cfg"), qPrintable(messages[0]));
    }

    void buttonsFollowTheStateTable() {
        WriteChannels(1);
        Start();
        const TListPlayer* p = Channel(0);
        TChannelPanel* panel = window->PanelOf(0);
        struct Step { const char* button; uint8_t state; const char* playCaption; };
        const Step steps[] = {
            {"play", PlayPaused, ">"}, {"play", PlayOn, "||"},   {"stop", PlayStopped, ">"},
            {"stop", PlayStopped, ">"}, {"play", PlayOn, "||"},  {"play", PlayPaused, ">"},
            {"stop", PlayStopped, ">"}, {"play", PlayOn, "||"},
        };
        for (const Step& s : steps) {
            QTest::mouseClick(QString(s.button) == "play" ? panel->tPlay : panel->tStop, Qt::LeftButton);
            QCOMPARE(p->PlayState, s.state);
            QCOMPARE(panel->tPlay->text(), QString(s.playCaption));
        }
        QCOMPARE(panel->tStop->text(), QString("■"));
    }

    void fileChoicesSetModeAndLists() {
        WriteChannels(1);
        TPlayList list;
        PlayItem item;
        item.Title = "早操";
        list.Items.push_back(item);
        const QString lst = list.SaveToFile(Folder() + "day.lst");
        Start();
        const TListPlayer* p = Channel(0);

        chosenFile = Folder() + "song.mp3";
        window->ChooseSingleFile(0);
        QCOMPARE(p->PlayMode, uint8_t(ManualMode));
        QCOMPARE(p->ManualFile, chosenFile);

        chosenFile = lst;
        window->ChooseListFile(0, false);  // "日列表" returns the channel to its timetable
        QCOMPARE(p->PlayMode, uint8_t(ListMode));
        QCOMPARE(p->DayListFile, lst);
        QCOMPARE(p->DayList.Items.size(), size_t(1));
        QCOMPARE(window->PanelOf(0)->tListFile->text(), lst);

        window->ChooseSingleFile(0);
        QCOMPARE(p->PlayMode, uint8_t(ManualMode));
        chosenFile = lst;
        window->OpenClick(0);  // the keyboard's open applies the list but keeps the mode
        QCOMPARE(p->PlayMode, uint8_t(ManualMode));

        chosenFile = Folder() + "notes.txt";
        window->ChooseListFile(0, true);  // another extension: only the label and the mode change
        QCOMPARE(p->PlayMode, uint8_t(ListMode));
        QCOMPARE(p->DayListFile, lst);
        QCOMPARE(window->PanelOf(0)->tListFile->text(), chosenFile);

        chosenFile = Folder() + "song.mp3";
        window->ChooseSingleFile(0);
        chosenFile.clear();  // a cancelled dialog changes nothing
        window->ChooseListFile(0, false);
        QCOMPARE(p->PlayMode, uint8_t(ManualMode));
    }

    void theListEditorWorksOnFilesAndNamesTheChannelsThatUseOne() {
        WriteChannels(2);
        TPlayList list;
        list.Items.resize(2);
        const QString lst = list.SaveToFile(Folder() + "day.lst");
        Start();
        chosenFile = lst;
        window->ChooseListFile(0, false);
        QAction* entry = nullptr;
        for (QAction* a : window->findChildren<QAction*>())
            if (a->text() == "节目编排") entry = a;
        QVERIFY(entry && entry->isEnabled());

        bool checked = false;
        QTimer::singleShot(0, window.get(), [&] {
            TFormList* editor = window->FormList();
            QVERIFY(editor->isVisible() && editor->isModal());
            editor->Open();
            QTRY_VERIFY(!editor->Busy());
            QCOMPARE(editor->ListView->rowCount(), 2);
            editor->ListView->selectRow(0);
            editor->Delete();
            editor->Save();
            QTRY_VERIFY(!editor->Busy());
            QVERIFY2(editor->StatusLine->text().contains("音源 通道1 使用此文件"), qPrintable(editor->StatusLine->text()));
            QVERIFY(!editor->StatusLine->text().contains("通道2"));
            checked = true;
            editor->close();
        });
        entry->trigger();
        QVERIFY(checked);
        QCOMPARE(QFileInfo(lst).size(), qint64(600));
        // The channel keeps the copy it loaded until its list is chosen again.
        QCOMPARE(Channel(0)->DayList.Items.size(), size_t(2));
    }

    void volumeBarSetsThePlayerAndItsChannel() {
        WriteChannels(1);
        Start();
        window->PanelOf(0)->tVolume->setValue(2500);
        QCOMPARE(Channel(0)->Volume, -7500);
        QCOMPARE(channels.at(0)->Volume(), -7500);
    }

    void progressBarMovedByThePlayerNeverSeeks() {
        WriteChannels(1);
        Start();
        channels.at(0)->Open("/a.wav");
        channels.at(0)->Play();
        TChannelPanel* panel = window->PanelOf(0);
        panel->SetProgressRange(0, 60000);
        panel->SetProgressValue(30000);
        panel->tProgress->setValue(31000);  // a move that is not the operator's drag
        QCOMPARE(channels.at(0)->Position(), 0u);
        QVERIFY(!panel->ProgressDragging());

        // A click on the groove, well right of the handle, seeks there and counts as holding the bar.
        const QPoint groove(panel->tProgress->width() * 9 / 10, panel->tProgress->height() / 2);
        QTest::mousePress(panel->tProgress, Qt::LeftButton, {}, groove);
        QVERIFY(panel->ProgressDragging());
        const uint32_t sought = channels.at(0)->Position();
        QVERIFY2(sought > 45000 && sought <= 60000, qPrintable(QString::number(sought)));
        QCOMPARE(uint32_t(panel->tProgress->value()), sought);
        QCOMPARE(channels.at(0)->GetState(), PlayerChannel::Playing);
        panel->SetProgressValue(1000);  // the player's update while held is not written
        QTest::mouseRelease(panel->tProgress, Qt::LeftButton, {}, groove);
        QVERIFY(!panel->ProgressDragging());
        QCOMPARE(channels.at(0)->Position(), sought);
    }

    void wrongPasswordKeepsTheWindowOpenAndEveryChannelPlaying() {
        WriteChannels(2);
        Start();
        typedPassword = "guess";
        QVERIFY(!window->close());
        QVERIFY(window->isVisible());
        for (int i = 0; i < station->ChannelCount(); ++i) QVERIFY(Channel(i)->IsRunning());
        QVERIFY(!QFile::exists(Folder() + "Tessora.ini"));
    }

    void confirmedExitWritesSettingsAndChannels() {
        WriteChannels(2);
        Start();
        QFile::remove(Folder() + "tessora.cfg");
        typedPassword = "secret";
        QVERIFY(window->close());
        QVERIFY(QFile::exists(Folder() + "Tessora.ini"));
        TChannelFile file;
        const ChannelLoadResult back = file.LoadChannels(Folder() + "tessora.cfg");
        QVERIFY(back.Complete);
        QCOMPARE(back.Channels.size(), size_t(2));
        QCOMPARE(back.Channels[1].Config.Title, QString("通道2"));
    }

    void thePlayingListFollowsAnyControlOfAPanelAndMarksTheCurrentItem() {
        // Channel 1's item is current all day; channel 2 has a list of two items.
        TPlayList allDay, two;
        PlayItem item = AllDay("全天", "/music/all-day.wav");
        allDay.Items = {item};
        item.Title = "早";
        two.Items = {item, item};
        two.Items[1].Title = "晚";
        ChannelConfig a, b;
        a.Title = "甲";
        a.DayListFile = allDay.SaveToFile(Folder() + "a.lst");
        b.Title = "乙";
        b.DayListFile = two.SaveToFile(Folder() + "b.lst");
        TChannelFile().SaveChannels(Folder() + "tessora.cfg", {a, b});
        Start();
        // Before any panel is clicked: the first channel's day, not an empty list.
        QCOMPARE(window->ListChannel(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(window->PlayingListView()->rowCount(), 1, 5000);

        struct Case { QWidget* control; int channel; int rows; };
        const Case cases[] = {
            {window->PanelOf(1)->tVolume, 1, 2}, {window->PanelOf(0)->tCurFile, 0, 1},
            {window->PanelOf(1)->tProgress, 1, 2}, {window->PanelOf(0)->LeftG, 0, 1},
        };
        for (const Case& c : cases) {
            QTest::mousePress(c.control, Qt::LeftButton, {}, QPoint(2, 2));
            QTest::mouseRelease(c.control, Qt::LeftButton, {}, QPoint(2, 2));
            QCOMPARE(window->ListChannel(), c.channel);
            QCOMPARE(window->PlayingListView()->rowCount(), c.rows);
        }
        window->PanelOf(1)->tStop->setFocus();
        QCOMPARE(window->ListChannel(), 1);
        window->PanelOf(0)->tStop->setFocus();
        QCOMPARE(window->ListChannel(), 0);
        const auto headings = window->findChildren<QLabel*>();
        QVERIFY(std::any_of(headings.begin(), headings.end(), [](QLabel* l) { return l->text() == "播放列表 - 甲"; }));
        // The player takes its item at its first tick; the list shows it within a clock tick.
        QTRY_VERIFY_WITH_TIMEOUT(window->PlayingListView()->item(0, 0)->text() == "▶ 全天", 5000);
        QVERIFY(window->PlayingListView()->item(0, 0)->font().bold());
    }

    void theSourceColumnKeepsTheFileNameOfALongPath() {
        TPlayList list;
        const PlayItem item = AllDay("长路径", "/srv/广播/学校/二零二六年/秋季学期/每周升旗仪式/国歌与校歌合集/国歌.wav");
        list.Items = {item};
        ChannelConfig a;
        a.Title = "甲";
        a.DayListFile = list.SaveToFile(Folder() + "a.lst");
        TChannelFile().SaveChannels(Folder() + "tessora.cfg", {a});
        Start();
        QTableWidget* view = window->PlayingListView();
        QTRY_COMPARE_WITH_TIMEOUT(view->rowCount(), 1, 5000);
        const QModelIndex source = view->model()->index(0, 3);
        QCOMPARE(source.data().toString(), item.Source);
        auto* delegate = qobject_cast<TElideMiddle*>(view->itemDelegateForIndex(source));
        QVERIFY(delegate);
        QStyleOptionViewItem base;
        base.initFrom(view);
        const QStyleOptionViewItem option = delegate->OptionFor(base, source);
        QCOMPARE(option.textElideMode, Qt::ElideMiddle);
        QVERIFY(!view->wordWrap());  // a wrapped path is cut at the end of its last line
        // As drawn in the column's width: the beginning and the file name stay.
        const QString shown = option.fontMetrics.elidedText(option.text, option.textElideMode, view->columnWidth(3) - 8);
        QVERIFY2(shown.endsWith("国歌.wav") && shown.startsWith("/srv"), qPrintable(shown));
        // The other columns are cut at their end as before.
        QCOMPARE(view->itemDelegateForIndex(view->model()->index(0, 0)), view->itemDelegate());
    }

    void everyPanelCanBeReachedInASmallWindow() {
        WriteChannels(13);
        Start(QSize(800, 500));
        QScrollArea* area = window->PlayerScrollArea();
        QVERIFY(area->widget()->width() > window->PanelOf(12)->geometry().right());
        QVERIFY(area->widget()->height() > window->PanelOf(12)->geometry().bottom());
        area->ensureWidgetVisible(window->PanelOf(12));
        QVERIFY(area->horizontalScrollBar()->value() > 0);
        const QRect shown = area->viewport()->rect();
        const QRect panel(window->PanelOf(12)->mapTo(area->viewport(), QPoint(0, 0)), window->PanelOf(12)->size());
        QVERIFY(shown.intersects(panel));
    }

    void stopAllStopsEveryChannelAndTheButtonsSaySo() {
        WriteChannels(3);
        Start();
        QAction* stopAll = nullptr;
        for (QAction* a : window->findChildren<QAction*>())
            if (a->text() == "全部停止") stopAll = a;
        QVERIFY(stopAll && stopAll->isEnabled());
        stopAll->trigger();
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(Channel(i)->PlayState, uint8_t(PlayStopped));
            QCOMPARE(window->PanelOf(i)->tPlay->text(), QString(">"));
        }
    }

    void aboutNamesTheProgramAndItsLicence() {
        Start();
        messages.clear();
        for (QAction* a : window->findChildren<QAction*>())
            if (a->text() == "关于...") a->trigger();
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages[0].contains("Tessora"));
        QVERIFY(messages[0].contains("General Public License"));
    }

    void aChannelFileThatFailedPartWayIsKeptAtExit() {
        ChannelConfig a, b;
        a.Title = "a";
        b.Title = "b";
        b.PeriodicListFile = Folder() + "gone.lsm";
        TChannelFile().SaveChannels(Folder() + "tessora.cfg", {a, b, a});
        QFile cfg(Folder() + "tessora.cfg");
        QVERIFY(cfg.open(QIODevice::ReadOnly));
        const QByteArray before = cfg.readAll();
        cfg.close();
        Start();
        QCOMPARE(messages.size(), 1);
        typedPassword = "guess";
        QVERIFY(!window->close());
        QVERIFY(toldBeforeClosing.isEmpty());
        // The right password closes: the settings are written, the channel file is left as it
        // was, and the operator is told once why.
        typedPassword = "secret";
        QVERIFY(window->close());
        QVERIFY(QFile::exists(Folder() + "Tessora.ini"));
        QCOMPARE(toldBeforeClosing.size(), 1);
        QVERIFY(toldBeforeClosing[0].contains("gone.lsm"));
        QVERIFY(cfg.open(QIODevice::ReadOnly));
        QCOMPARE(cfg.readAll(), before);
    }

    void skinMenuListsTheSkinFoldersAndSwitchesAtOnce() {
        MakeSkin("Corner", "#102030");
        MakeSkin("Slate", "#405060");
        {
            // A rule the start's skin does not have: it must not reach the windows that keep it.
            QFile sheet(Folder() + "skins/Slate/look.qss");
            QVERIFY(sheet.open(QIODevice::Append));
            sheet.write("\nQLineEdit { color: #405060; }");
        }
        QDir().mkpath(Folder() + "skins/Locked");
        QFile(Folder() + "skins/Locked").setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        Start();
        // No "skin" setting: Corner.
        QTRY_COMPARE(SkinEntries(), QStringList({"Corner", "Slate"}));
        QTRY_VERIFY(window->Skins().Settled());
        QCOMPARE(station->WindowSettings().SkinName, QString("Corner"));
        QCOMPARE(window->palette().color(QPalette::Window), QColor("#102030"));
        QCOMPARE(CheckedSkinEntry(), QString("Corner"));

        SkinEntry("Slate")->trigger();
        QTRY_VERIFY(window->Skins().Settled());
        QCOMPARE(window->palette().color(QPalette::Window), QColor("#405060"));
        QCOMPARE(CheckedSkinEntry(), QString("Slate"));
        // The list editor follows at once; the lock window and the channel configuration keep
        // the skin they started with, the main window's look not reaching into them.
        QCOMPARE(window->FormList()->palette().color(QPalette::Window), QColor("#405060"));
        for (QWidget* kept : {static_cast<QWidget*>(window->Form5), static_cast<QWidget*>(window->FormPlayerConfig)}) {
            QCOMPARE(kept->palette().color(QPalette::Window), QColor("#102030"));
            QVERIFY(kept->styleSheet().contains("#102030"));
            auto* field = kept->findChild<QLineEdit*>();
            QVERIFY(field);
            field->ensurePolished();
            QVERIFY(field->palette().color(QPalette::Text) != QColor("#405060"));
        }
        auto* editorField = window->FormList()->findChild<QLineEdit*>();
        QVERIFY(editorField);
        editorField->ensurePolished();
        QCOMPARE(editorField->palette().color(QPalette::Text), QColor("#405060"));

        // The choice survives a restart.
        typedPassword = "secret";
        QVERIFY(window->close());
        Restart();
        QTRY_VERIFY(window->Skins().Settled());
        QCOMPARE(station->WindowSettings().SkinName, QString("Slate"));
        QCOMPARE(window->palette().color(QPalette::Window), QColor("#405060"));
        QFile(Folder() + "skins/Locked").setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    void viewEntriesHideAreasAndComeBackAtTheNextStart() {
        Start();
        QVERIFY(window->findChild<QWidget*>("channelsArea")->isVisible());
        window->N10Click();
        window->N18Click();
        QVERIFY(!station->Settings().ShowPlayer);
        QVERIFY(!station->Settings().ShowListDetail);
        auto* splitter = window->findChild<QSplitter*>();
        QVERIFY(!splitter->widget(0)->isVisible());
        QVERIFY(!splitter->widget(1)->isVisible());
        QVERIFY(!ViewEntry("播放器")->isChecked());
        QVERIFY(ViewEntry("播放器")->isEnabled());
        typedPassword = "secret";
        QVERIFY(window->close());
        Restart();
        QVERIFY(!station->Settings().ShowPlayer);
        QVERIFY(!ViewEntry("播放列表")->isChecked());
        ViewEntry("播放器")->trigger();  // the menu entry itself
        QVERIFY(station->Settings().ShowPlayer);
        QVERIFY(ViewEntry("播放器")->isChecked());
        QVERIFY(window->findChild<QSplitter*>()->widget(0)->isVisible());
    }

    void splitterShrinksThePlayerAreaToOnePixelAndStoresItsHeight() {
        Start();
        auto* splitter = window->findChild<QSplitter*>();
        QCOMPARE(splitter->handleWidth(), 1);
        QVERIFY(!splitter->opaqueResize());
        QTRY_COMPARE(splitter->widget(0)->height(), 400);
        splitter->setSizes({0, splitter->height()});
        QCOMPARE(splitter->widget(0)->height(), 1);
        splitter->setSizes({250, splitter->height() - 250});
        // Hiding the list and showing it again brings back the height dragged to.
        window->N18Click();
        QTRY_VERIFY(splitter->widget(0)->height() > 250);
        window->N18Click();
        QTRY_COMPARE(splitter->widget(0)->height(), 250);
        window->N18Click();  // and the list hidden at exit stores that height, not the whole window
        typedPassword = "secret";
        QVERIFY(window->close());
        TIniFile ini;
        ini.Load(Folder() + "Tessora.ini");
        QCOMPARE(ini.ReadInteger("tessora", "splitter1", 0), 250);
    }

    void alarmEntryTakesEveryChannelUntilTheWindowCloses() {
        WriteChannels(2);
        Start();
        QAction* entry = PlayEntry("告警");
        QVERIFY(entry && entry->isEnabled());
        entry->trigger();
        auto* alarm = qobject_cast<TFormAlarm*>(window->OverrideWindow());
        QVERIFY(alarm);
        QTRY_VERIFY(alarm->isVisible());
        QCOMPARE(alarm->windowModality(), Qt::ApplicationModal);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(Channel(i)->PlayMode, uint8_t(ManualMode));
            QCOMPARE(Channel(i)->ManualFile, Folder() + "alarm.wav");
        }
        alarm->btnExit->click();
        QTRY_VERIFY(!window->OverrideWindow());  // discarded when it closes
        for (int i = 0; i < 2; ++i) QCOMPARE(Channel(i)->PlayMode, uint8_t(ListMode));
    }

    void allCallKeepsTheSkinOfTheStartAndGivesBackWhenTheMainWindowGoes() {
        MakeSkin("Corner", "#102030");
        MakeSkin("Slate", "#405060");
        WriteChannels(2);
        Start();
        QTRY_VERIFY(window->Skins().Settled() && !SkinEntries().isEmpty());
        PlayEntry("全呼")->trigger();
        auto* call = qobject_cast<TFormMultiArea*>(window->OverrideWindow());
        QVERIFY(call);
        QTRY_VERIFY(call->isVisible());
        QCOMPARE(call->palette().color(QPalette::Window), QColor("#102030"));
        SkinEntry("Slate")->trigger();
        QTRY_VERIFY(window->Skins().Settled());
        QCOMPARE(window->palette().color(QPalette::Window), QColor("#405060"));
        QCOMPARE(call->palette().color(QPalette::Window), QColor("#102030"));
        QVERIFY(!call->styleSheet().contains("#405060"));

        call->Checks()->Box(1)->click();
        QCOMPARE(Channel(1)->PlayMode, uint8_t(ManualMode));
        // The program ends with the window open: it goes first, giving its channel back.
        QPointer<TFormMultiArea> open = call;
        connect(station.get(), &TStation::ChannelChanged, this, [this](int index) {
            if (index == 1) givenBackMode = Channel(1)->PlayMode;
        });
        window.reset();
        QVERIFY(open.isNull());
        QCOMPARE(givenBackMode, int(ListMode));
    }
};

QTEST_MAIN(MainFormTest)
#include "MainFormTest.moc"
