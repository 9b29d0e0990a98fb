// The main window's guarded commands offscreen: the password question before the dialogs, what
// confirming and cancelling leave running, the lock, and the scheduled power-off at the clock tick.
#include "ChannelPanel.h"
#include "MainForm.h"
#include "PlayerConfig.h"
#include "PlayerSetting.h"
#include "PlayerTestSupport.h"
#include "Unit5.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace tessora;
using tessora::test::FakeChannel;

namespace {

class MemoryPasswords : public PasswordStore {
public:
    std::optional<QString> Read() override { return QString("secret"); }
    bool Write(const QString&) override { return true; }
};

// Records each request, and whether the settings file was there by then.
class FakePowerOff : public PowerOff {
public:
    explicit FakePowerOff(QString settingsFile) : settingsFile_(std::move(settingsFile)) {}
    int requests = 0;
    bool settingsWrittenFirst = false;
    void Request() override {
        if (requests++ == 0) settingsWrittenFirst = QFileInfo::exists(settingsFile_);
    }

private:
    QString settingsFile_;
};

// Runs `act` on the modal window once it is up, unless `context` has gone by then.
void WhenModal(QObject* context, std::function<void(QWidget*)> act) {
    QTimer::singleShot(20, context, [context, act] {
        if (QWidget* modal = QApplication::activeModalWidget()) act(modal);
        else WhenModal(context, act);
    });
}

void ClickRow(QListWidget* list, int row) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
}

}  // namespace

class MainFormGuardsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> folder;
    MemoryPasswords passwords;
    std::unique_ptr<TStation> station;
    std::unique_ptr<TfrmMain> window;
    std::vector<FakeChannel*> channels;
    QList<QString> typed;  // what the operator types at each password question, in turn
    QStringList told;
    FakePowerOff* powerOff = nullptr;

    QString Folder() const { return folder->path() + "/"; }

    void Start(int channelCount) {
        std::vector<ChannelConfig> configs;
        for (int i = 0; i < channelCount; ++i) {
            ChannelConfig config;
            config.Title = QString("通道%1").arg(i + 1);
            configs.push_back(config);
        }
        TChannelFile().SaveChannels(Folder() + "tessora.cfg", configs);

        station = std::make_unique<TStation>(Folder(), passwords, [this](int, int) {
            auto channel = std::make_unique<FakeChannel>();
            channels.push_back(channel.get());
            return channel;
        });
        MainWindowServices services;
        services.askPassword = [this](QWidget*, const QString& password) {
            return !typed.isEmpty() && typed.takeFirst() == password;
        };
        services.showMessage = [this](QWidget*, const QString& text) { told << text; };
        services.tellBeforeClosing = [this](QWidget*, const QString& text) { told << text; };
        services.chooseFile = [](QWidget*, const QString&, const QString&) { return QString(); };
        services.chooseFolder = [](QWidget*, const QString&) { return QString(); };
        services.inform = [this](QWidget*, const QString& text) { told << text; };
        services.tell = [this](QWidget*, const QString& text) { told << text; };
        services.outputNames = [] { return QStringList{"默认输出", "Virtual output 1"}; };
        services.screenGrab = MakeQtScreenGrab;
        auto fake = std::make_unique<FakePowerOff>(Folder() + "Tessora.ini");
        powerOff = fake.get();
        services.powerOff = std::move(fake);
        window = std::make_unique<TfrmMain>(*station, std::move(services));
        window->resize(1024, 700);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    QAction* FileEntry(const QString& text) const {
        for (QAction* action : window->menuBar()->actions()[0]->menu()->actions())
            if (action->text() == text) return action;
        return nullptr;
    }

    std::vector<ChannelConfig> ChannelFile() { return [this] {
        std::vector<ChannelConfig> configs;
        for (const LoadedChannel& c : TChannelFile().LoadChannels(Folder() + "tessora.cfg").Channels) configs.push_back(c.Config);
        return configs;
    }(); }

private slots:
    void init() {
        folder = std::make_unique<QTemporaryDir>();
        channels.clear();
        typed.clear();
        told.clear();
    }
    void cleanup() {
        window.reset();
        station.reset();
    }

    void theGuardedEntriesAreEnabled() {
        Start(0);
        for (const char* entry : {"通道配置", "系统设置", "屏幕锁定"}) {
            QVERIFY2(FileEntry(entry), entry);
            QVERIFY2(FileEntry(entry)->isEnabled(), entry);
        }
    }

    void aWrongPasswordOpensNothing() {
        Start(1);
        bool opened = false;
        WhenModal(window.get(), [&](QWidget* modal) {
            opened = true;
            modal->close();
        });
        typed = {"wrong", "", "wrong"};
        window->ChannelConfigCommand();
        window->SystemSettingsCommand();
        QTest::qWait(100);
        QVERIFY(!opened);
        QVERIFY(told.isEmpty());
        QVERIFY(!window->FormPlayerConfig->isVisible());
        QVERIFY(!window->FormPlayerSetting->isVisible());
        QVERIFY(station->Channel(0)->IsRunning());
    }

    void settingsTakeEffectAtOnce() {
        Start(1);
        typed = {"secret"};
        WhenModal(window.get(), [this](QWidget* modal) {
            QCOMPARE(modal, window->FormPlayerSetting);
            window->FormPlayerSetting->EditSystemName->setText("一中广播站");
            window->FormPlayerSetting->chkShowSystemName->setChecked(true);
            window->FormPlayerSetting->EditPass->setText("new");
            window->FormPlayerSetting->SkinButton3->click();
        });
        window->SystemSettingsCommand();
        QCOMPARE(window->windowTitle(), QString("一中广播站"));
        QCOMPARE(station->Settings().SystemName, QString("一中广播站"));
        QCOMPARE(station->Settings().Password, QString("new"));
        // The next guard asks for the new password.
        typed = {"secret"};
        window->SystemSettingsCommand();
        QVERIFY(!window->FormPlayerSetting->isVisible());
    }

    void cancelLeavesEveryChannelPlayingAsItWas() {
        Start(2);
        const std::vector<const TListPlayer*> before = {station->Channel(0), station->Channel(1)};
        const TChannelPanel* firstPanel = window->PanelOf(0);
        typed = {"secret"};
        WhenModal(window.get(), [this](QWidget*) {
            auto* dialog = window->FormPlayerConfig;
            ClickRow(dialog->lstPlayer, 0);
            dialog->txtPlayerTitle->setText("一楼");
            ClickRow(dialog->lstPlayer, 1);  // stores the new name into the running channel
            dialog->btnDelete->click();      // dropped with the cancel
            dialog->btnCancel->click();
        });
        window->ChannelConfigCommand();
        QCOMPARE(station->ChannelCount(), 2);
        QCOMPARE(station->Channel(0), before[0]);
        QCOMPARE(station->Channel(1), before[1]);
        QCOMPARE(window->PanelOf(0), firstPanel);
        QCOMPARE(channels.size(), size_t(2));  // no second sound channel for any channel
        QCOMPARE(station->Channel(0)->Title, QString("一楼"));
        QVERIFY(station->Channel(0)->IsRunning() && station->Channel(1)->IsRunning());
        // The stored name reaches the file at the exit.
        QVERIFY(window->SaveOnExit());
        QCOMPARE(ChannelFile().at(0).Title, QString("一楼"));
        QCOMPARE(ChannelFile().size(), size_t(2));
    }

    void aConfirmedChangeWhoseExitIsRefusedRestartsTheNewChannels() {
        Start(2);
        typed = {"secret", "wrong"};  // the dialog's question, then the exit's
        WhenModal(window.get(), [this](QWidget*) {
            auto* dialog = window->FormPlayerConfig;
            ClickRow(dialog->lstPlayer, 1);
            dialog->btnDelete->click();
            dialog->txtPlayerTitle->setText("操场");
            dialog->btnAdd->click();
            dialog->btnConfirm->click();
        });
        window->ChannelConfigCommand();
        QCOMPARE(told, QStringList{kRestartMessage});
        QVERIFY(window->isVisible());
        const std::vector<ChannelConfig> written = ChannelFile();
        QCOMPARE(written.size(), size_t(2));
        QCOMPARE(written[0].Title, QString("通道1"));
        QCOMPARE(written[1].Title, QString("操场"));
        QCOMPARE(station->ChannelCount(), 2);
        QCOMPARE(channels.size(), size_t(4));  // two at the start, one each for the restarted
        for (int i = 0; i < 2; ++i) {
            QVERIFY(window->PanelOf(i));
            QVERIFY(station->Channel(i)->IsRunning());
        }
        QCOMPARE(window->findChildren<TChannelPanel*>().size(), qsizetype(2));
    }

    void aConfirmedChangeEndsTheProgramWhenTheExitIsGranted() {
        Start(1);
        typed = {"secret", "secret"};
        WhenModal(window.get(), [this](QWidget*) {
            auto* dialog = window->FormPlayerConfig;
            ClickRow(dialog->lstPlayer, 0);
            dialog->btnDelete->click();
            dialog->btnConfirm->click();
        });
        window->ChannelConfigCommand();
        QVERIFY(!window->isVisible());
        QVERIFY(ChannelFile().empty());
        QCOMPARE(QFileInfo(Folder() + "tessora.cfg").size(), 0);
    }

    void theLockLetsTheChannelsRun() {
        Start(1);
        bool locked = false;
        WhenModal(window.get(), [&](QWidget* modal) {
            locked = modal == window->Form5 && window->Form5->Grabbed();
            QVERIFY(station->Channel(0)->IsRunning());
            QTest::keyClicks(window->Form5->Edit1, "secret");
            QTest::keyClick(window->Form5->Edit1, Qt::Key_Return);
        });
        window->LockCommand();
        QVERIFY(locked);
        QVERIFY(!window->Form5->isVisible());
    }

    void theScheduledPowerOffWritesEverythingFirst() {
        Start(1);
        QVERIFY(!QFileInfo::exists(Folder() + "Tessora.ini"));
        SystemSettings settings = station->Settings();
        settings.AutoShutDown = true;
        settings.AutoShutDownTime = LocalMoment::Now().timeOfDay;
        station->SetChannelFields(0, "changed since the start", 0, QString());
        station->ApplySettings(settings);
        QTRY_VERIFY_WITH_TIMEOUT(powerOff->requests >= 2, 3500);  // once a second while due
        QVERIFY(powerOff->settingsWrittenFirst);
        QCOMPARE(ChannelFile().at(0).Title, QString("changed since the start"));
    }
};

QTEST_MAIN(MainFormGuardsTest)
#include "MainFormGuardsTest.moc"
