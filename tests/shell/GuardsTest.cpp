// The lock window, its key filter, the two configuration dialogs and the edit-mask notation,
// offscreen.
#include "DateTimeValue.h"
#include "EditMask.h"
#include "LockKeys.h"
#include "PasswordQuestion.h"
#include "PlayerConfig.h"
#include "PlayerSetting.h"
#include "SampleSettings.h"
#include "Unit5.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QApplication>
#include <QTimer>
#include <QtTest>

using namespace tessora;
using tessora::test::SampleSettings;

namespace {

// Counts what the lock asks of the display; refuses the first `refusals` grabs.
class FakeGrab : public ScreenGrab {
public:
    struct Log {
        int grabs = 0;
        int releases = 0;
        int refusals = 0;
        bool held = false;
    };
    explicit FakeGrab(Log& log) : log_(log) {}
    bool Grab(QWidget*, QWidget*) override {
        ++log_.grabs;
        if (log_.refusals > 0) {
            --log_.refusals;
            return false;
        }
        log_.held = true;
        return true;
    }
    void Release() override {
        if (log_.held) ++log_.releases;
        log_.held = false;
    }

private:
    Log& log_;
};


ChannelEntry Running(int index, const QString& title) {
    ChannelEntry e;
    e.Channel.Config.Title = title;
    e.Channel.Config.SoundCard = index;
    e.Memo = "备注" + QString::number(index);
    e.Origin = index;
    return e;
}

const QStringList kOutputs = {"默认输出", "Virtual output 1", "Virtual output 2"};

}  // namespace

class GuardsTest : public QObject {
    Q_OBJECT

    FakeGrab::Log grabLog;
    QString password = "secret";
    QStringList messages;
    std::unique_ptr<TForm5> lock;

    struct ConfigLog {
        std::vector<ChannelEntry> stored;
        std::vector<std::vector<ChannelEntry>> replaced;
        QStringList informed, told;
        QString failure;  // what replacing the channels answers
    } config;

    std::unique_ptr<TFormPlayerConfig> OpenConfig(std::vector<ChannelEntry> channels) {
        PlayerConfigCommands commands;
        commands.storeChannel = [this](const ChannelEntry& e) { config.stored.push_back(e); };
        commands.replaceChannels = [this](const std::vector<ChannelEntry>& entries) {
            config.replaced.push_back(entries);
            return config.failure;
        };
        commands.inform = [this](QWidget*, const QString& text) { config.informed << text; };
        commands.tell = [this](QWidget*, const QString& text) { config.told << text; };
        auto dialog = std::make_unique<TFormPlayerConfig>(std::move(commands));
        dialog->Load(std::move(channels), kOutputs);
        dialog->show();
        return dialog;
    }
    static void Click(QListWidget* list, int row) {
        const QRect area = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, area.center());
    }

    void ShowLock() {
        lock->show();
        QVERIFY(QTest::qWaitForWindowExposed(lock.get()));
    }
    void Type(const QString& text) {
        lock->Edit1->clear();
        QTest::keyClicks(lock->Edit1, text);
        QTest::keyClick(lock->Edit1, Qt::Key_Return);
    }

private slots:
    void init() {
        grabLog = {};
        password = "secret";
        messages.clear();
        config = {};
        lock = std::make_unique<TForm5>([this] { return password; }, std::make_unique<FakeGrab>(grabLog));
    }
    void cleanup() { lock.reset(); }

    // --- the lock's key filter ---

    void lockKeys_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<bool>("discarded");
        const Qt::KeyboardModifiers none, alt(Qt::AltModifier), ctrl(Qt::ControlModifier),
            ctrlAlt(Qt::ControlModifier | Qt::AltModifier), meta(Qt::MetaModifier), shift(Qt::ShiftModifier);
        QTest::newRow("left Super") << int(Qt::Key_Super_L) << none << true;
        QTest::newRow("right Super") << int(Qt::Key_Super_R) << none << true;
        QTest::newRow("Meta") << int(Qt::Key_Meta) << none << true;
        QTest::newRow("Super+D") << int(Qt::Key_D) << meta << true;
        QTest::newRow("Alt+Tab") << int(Qt::Key_Tab) << alt << true;
        QTest::newRow("Alt+Shift+Tab") << int(Qt::Key_Backtab) << (alt | shift) << true;
        QTest::newRow("Alt+Esc") << int(Qt::Key_Escape) << alt << true;
        QTest::newRow("Ctrl+Esc") << int(Qt::Key_Escape) << ctrl << true;
        QTest::newRow("Ctrl+Alt+Del") << int(Qt::Key_Delete) << ctrlAlt << true;
        QTest::newRow("Alt+F4") << int(Qt::Key_F4) << alt << true;
        QTest::newRow("Alt+a") << int(Qt::Key_A) << alt << true;
        QTest::newRow("Alt alone") << int(Qt::Key_Alt) << alt << true;
        QTest::newRow("Tab") << int(Qt::Key_Tab) << none << false;
        QTest::newRow("Esc") << int(Qt::Key_Escape) << none << false;
        QTest::newRow("Ctrl+Del") << int(Qt::Key_Delete) << ctrl << false;
        QTest::newRow("Delete") << int(Qt::Key_Delete) << none << false;
        QTest::newRow("a") << int(Qt::Key_A) << none << false;
        QTest::newRow("Shift+a") << int(Qt::Key_A) << shift << false;
        QTest::newRow("digit") << int(Qt::Key_5) << none << false;
        QTest::newRow("Enter") << int(Qt::Key_Return) << none << false;
        QTest::newRow("Backspace") << int(Qt::Key_Backspace) << none << false;
    }
    void lockKeys() {
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(bool, discarded);
        QCOMPARE(LockDiscardsKey(key, modifiers), discarded);
    }

    // --- the lock window ---

    void lockLayout() {
        QCOMPARE(lock->windowTitle(), QString("请输入系统密码"));
        QCOMPARE(lock->size(), QSize(349, 130));
        QCOMPARE(lock->Edit1->geometry(), QRect(144, 48, 121, 21));
        QCOMPARE(lock->Edit1->echoMode(), QLineEdit::Password);
        QVERIFY(!lock->Edit1->testAttribute(Qt::WA_InputMethodEnabled));
        QVERIFY(lock->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!(lock->windowFlags() & Qt::WindowCloseButtonHint));
    }

    void unlocks_data() {
        QTest::addColumn<QString>("admin");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("unlocks");
        QTest::newRow("the password") << "secret" << "secret" << true;
        QTest::newRow("the unlock code") << "secret" << "50417382" << true;
        QTest::newRow("the code with an empty password") << "" << "50417382" << true;
        QTest::newRow("empty password, empty box") << "" << "" << true;
        QTest::newRow("a trailing blank") << "secret" << "secret " << false;
        QTest::newRow("another case") << "secret" << "Secret" << false;
        QTest::newRow("empty box") << "secret" << "" << false;
        QTest::newRow("part of the code") << "secret" << "5041738" << false;
    }
    void unlocks() {
        QFETCH(QString, admin);
        QFETCH(QString, typed);
        QFETCH(bool, unlocks);
        password = admin;
        ShowLock();
        QVERIFY(grabLog.held);
        Type(typed);
        QCOMPARE(lock->isVisible(), !unlocks);
        QCOMPARE(grabLog.held, !unlocks);
        // A wrong code leaves what was typed; unlocking empties the box.
        QCOMPARE(lock->Edit1->text(), unlocks ? QString() : typed);
    }

    void altKeysEscAndCloseDoNothing() {
        ShowLock();
        QTest::keyClicks(lock->Edit1, "sec");
        QTest::keyClick(lock->Edit1, Qt::Key_R, Qt::AltModifier);
        QTest::keyClick(lock->Edit1, Qt::Key_F4, Qt::AltModifier);
        QTest::keyClick(lock->Edit1, Qt::Key_Escape);
        QTest::keyClick(lock->Edit1, Qt::Key_Tab, Qt::AltModifier);
        QVERIFY(!lock->close());
        QVERIFY(lock->isVisible());
        QCOMPARE(lock->Edit1->text(), QString("sec"));
        QTest::keyClicks(lock->Edit1, "ret");
        QTest::keyClick(lock->Edit1, Qt::Key_Return);
        QVERIFY(!lock->isVisible());
    }

    void lockUnlockLockAgain() {
        for (int round = 1; round <= 3; ++round) {
            ShowLock();
            QVERIFY(grabLog.held);
            QVERIFY(lock->Grabbed());
            Type("secret");
            QVERIFY(!lock->isVisible());
            QCOMPARE(grabLog.releases, round);
            QVERIFY(!grabLog.held);
        }
    }

    void aRefusedGrabIsTriedAgain() {
        grabLog.refusals = 3;
        ShowLock();
        QTRY_VERIFY(lock->Grabbed());
        QCOMPARE(grabLog.grabs, 4);
    }

    void aPasswordChangedLaterCounts() {
        ShowLock();
        password = "new";
        Type("secret");
        QVERIFY(lock->isVisible());
        Type("new");
        QVERIFY(!lock->isVisible());
    }

    // --- the edit-mask notation ---

    void editMask_data() {
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("qt");
        QTest::newRow("the shutdown time") << "!90:00:00;1; " << "09:99:99; ";
        QTest::newRow("a date, blank _") << "00/00/0000;1;_" << "99/99/9999;_";
        QTest::newRow("letters and any") << "LlAaCc;0;*" << "AaNnXx;*";
        QTest::newRow("escaped mask characters") << "\\0\\9-0;1;_" << "\\0\\9-9;_";
        QTest::newRow("Qt's own characters stay literal") << "H0;1; " << "\\H9; ";
        QTest::newRow("no blank given") << "00" << "99; ";
    }
    void editMask() {
        QFETCH(QString, mask);
        QFETCH(QString, qt);
        QCOMPARE(QtInputMask(mask), qt);
    }

    // --- the system settings dialog ---

    void settingsRoundTrip() {
        TFormPlayerSetting dialog([](QWidget*, const QString&) { return QString(); },
                                  [this](QWidget*, const QString& text) { messages << text; });
        const SystemSettings s = SampleSettings();
        dialog.Load(s, kOutputs);
        QCOMPARE(dialog.Pages->currentIndex(), 3);  // "播放" first
        QCOMPARE(dialog.editShutDownTime->displayText(), QString("07:30:00"));
        QCOMPARE(dialog.cboCard->currentText(), QString("Virtual output 1"));
        dialog.show();
        QTest::mouseClick(dialog.SkinButton3, Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(messages.isEmpty());
        QCOMPARE(FieldsFromSettings(dialog.Result()), FieldsFromSettings(s));
        QCOMPARE(dialog.Result().AutoShutDownTime, TimeValue(7, 30, 0));
        QCOMPARE(dialog.Result().PreviewVolume, s.PreviewVolume);
    }

    void settingsEveryFieldIsTaken() {
        QString chosen = "/chosen/folder";
        TFormPlayerSetting dialog([&](QWidget*, const QString&) { return chosen; },
                                  [this](QWidget*, const QString& text) { messages << text; });
        dialog.Load(SampleSettings(), kOutputs);
        dialog.show();
        dialog.chkShowSystemName->setChecked(false);
        dialog.EditSystemName->setText("二中");
        dialog.chkAutoShutDown->setChecked(false);
        dialog.editShutDownTime->selectAll();
        QTest::keyClicks(dialog.editShutDownTime, "221505");
        dialog.EditPass->setText("");
        dialog.chkCheckPass->setChecked(false);
        int folders = 0;
        for (QToolButton* button : dialog.findChildren<QToolButton*>()) {
            if (!button->objectName().endsWith("Browse")) continue;  // the page control's own arrows
            ++folders;
            chosen = "/chosen/" + button->accessibleName();
            button->click();
        }
        QCOMPARE(folders, 3);
        dialog.EditInterval->setText("12");
        dialog.cboCard->setCurrentIndex(2);
        QTest::mouseClick(dialog.SkinButton3, Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        const SystemSettings r = dialog.Result();
        QCOMPARE(r.ShowSystemName, false);
        QCOMPARE(r.SystemName, QString("二中"));
        QCOMPARE(r.AutoShutDown, false);
        QCOMPARE(r.AutoShutDownTime, TimeValue(22, 15, 5));
        QCOMPARE(r.Password, QString());
        QCOMPARE(r.CheckPassOnInOut, false);
        QCOMPARE(r.MusicDirectory, QString("/chosen/乐曲库目录"));
        QCOMPARE(r.ListDirectory, QString("/chosen/列表目录"));
        QCOMPARE(r.TemplateDirectory, QString("/chosen/模板目录"));
        QCOMPARE(r.PlayingInterval, 12);
        QCOMPARE(r.PreviewDeviceID, 2);
    }

    void settingsInvalidFieldsChangeNothing_data() {
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("interval");
        QTest::addColumn<QString>("message");
        QTest::newRow("hour 25") << "25:00:00" << "5" << "“25:00:00”不是有效的时间（时:分:秒，如 17:00:00）";
        QTest::newRow("blanks") << "" << "5" << "“  :  :  ”不是有效的时间（时:分:秒，如 17:00:00）";
        QTest::newRow("interval") << "08:00:00" << "5s" << "“5s”不是有效的整数";
        QTest::newRow("both") << "24:00:00" << "x" << "“24:00:00”不是有效的时间（时:分:秒，如 17:00:00）";
    }
    void settingsInvalidFieldsChangeNothing() {
        QFETCH(QString, time);
        QFETCH(QString, interval);
        QFETCH(QString, message);
        TFormPlayerSetting dialog([](QWidget*, const QString&) { return QString(); },
                                  [this](QWidget*, const QString& text) { messages << text; });
        dialog.Load(SampleSettings(), kOutputs);
        dialog.show();
        dialog.EditPass->setText("changed");
        dialog.editShutDownTime->setText(time);
        dialog.EditInterval->setText(interval);
        QTest::mouseClick(dialog.SkinButton3, Qt::LeftButton);
        QCOMPARE(messages, QStringList{message});
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        // Cancel now means nothing changed; the next opening shows the settings again.
        QTest::mouseClick(dialog.SkinButton6, Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        dialog.Load(SampleSettings(), kOutputs);
        QCOMPARE(dialog.EditPass->text(), QString("pw"));
        QCOMPARE(dialog.editShutDownTime->displayText(), QString("07:30:00"));
    }

    void settingsReopenOnTheLastPage() {
        TFormPlayerSetting dialog([](QWidget*, const QString&) { return QString(); }, [](QWidget*, const QString&) {});
        dialog.Load(SampleSettings(), kOutputs);
        dialog.Pages->setCurrentIndex(1);
        dialog.Load(SampleSettings(), kOutputs);
        QCOMPARE(dialog.Pages->currentIndex(), 1);
        QCOMPARE(dialog.Pages->tabText(0), QString("系统"));
        QCOMPARE(dialog.Pages->tabText(3), QString("播放"));
    }

    void settingsADeviceOutsideTheListIsNone() {
        TFormPlayerSetting dialog([](QWidget*, const QString&) { return QString(); }, [](QWidget*, const QString&) {});
        SystemSettings s = SampleSettings();
        s.PreviewDeviceID = 7;
        dialog.Load(s, kOutputs);
        QCOMPARE(dialog.cboCard->currentIndex(), -1);
    }

    // --- the password question ---

    void passwordQuestionSpeaksChinese() {
        QString title;
        QStringList buttons;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            title = dialog->windowTitle();
            for (QAbstractButton* button : dialog->findChild<QDialogButtonBox*>()->buttons()) buttons << button->text();
            dialog->setTextValue("pw");
            dialog->accept();
        });
        QVERIFY(PasswordQuestion(nullptr, "pw"));
        QCOMPARE(title, QString("密码"));
        buttons.sort();
        QCOMPARE(buttons, QStringList({"取消", "确定"}));
    }

    // --- the channel configuration dialog ---

    void channelDialogLayout() {
        auto dialog = OpenConfig({Running(0, "一楼"), Running(1, "二楼")});
        QCOMPARE(dialog->windowTitle(), QString("通道配置"));
        QCOMPARE(dialog->size(), QSize(405, 326));
        // Each field has its label beside it, on the same line, and reached with it.
        const std::pair<QWidget*, QString> fields[] = {
            {dialog->txtPlayerTitle, "名称"}, {dialog->cboCard, "声卡"}, {dialog->txtPlayerMemo, "备注"}};
        for (const auto& [field, text] : fields) {
            QLabel* label = nullptr;
            for (QLabel* candidate : dialog->findChildren<QLabel*>())
                if (candidate->buddy() == field) label = candidate;
            QVERIFY2(label, qPrintable(text));
            QCOMPARE(label->text(), text);
            QVERIFY(label->isVisible());
            QCOMPARE(label->y(), field->y());
            QVERIFY(label->geometry().right() < field->x());
            QVERIFY(label->geometry().left() > dialog->lstPlayer->geometry().right());
            QVERIFY(label->width() >= label->sizeHint().width());  // the text shows whole
            QCOMPARE(field->accessibleName(), text);
        }
        QCOMPARE(dialog->lstPlayer->count(), 2);
        QCOMPARE(dialog->lstPlayer->item(1)->text(), QString("二楼"));
        QCOMPARE(dialog->cboCard->count(), 3);
        QCOMPARE(dialog->cboCard->itemText(0), QString("默认输出"));
        QCOMPARE(dialog->WorkList().EditIndex(), -1);
    }

    void channelDialogBlankTitleIsRefused() {
        auto dialog = OpenConfig({Running(0, "一楼"), Running(1, "二楼")});
        Click(dialog->lstPlayer, 0);
        dialog->txtPlayerTitle->setText("   ");
        Click(dialog->lstPlayer, 1);
        QCOMPARE(config.informed, QStringList{"请填写名称"});
        QVERIFY(config.stored.empty());
        // The list stays on the channel being edited, with what was typed.
        QCOMPARE(dialog->lstPlayer->currentRow(), 0);
        QCOMPARE(dialog->WorkList().EditIndex(), 0);
        QCOMPARE(dialog->txtPlayerTitle->text(), QString("   "));
        dialog->cboCard->setCurrentIndex(-1);
        dialog->txtPlayerTitle->setText("a");
        Click(dialog->lstPlayer, 1);
        QCOMPARE(config.informed.last(), QString("请选择声卡播放"));
    }

    void channelDialogStoredEditsReachTheChannelAndSurviveCancel() {
        auto dialog = OpenConfig({Running(0, "一楼"), Running(1, "二楼")});
        Click(dialog->lstPlayer, 0);
        QCOMPARE(dialog->txtPlayerTitle->text(), QString("一楼"));
        QCOMPARE(dialog->txtPlayerMemo->text(), QString("备注0"));
        dialog->txtPlayerTitle->setText(" 一楼东 ");
        dialog->cboCard->setCurrentIndex(2);
        dialog->txtPlayerMemo->setText("走廊");
        Click(dialog->lstPlayer, 1);
        QCOMPARE(config.stored.size(), size_t(1));
        QCOMPARE(config.stored[0].Origin, 0);
        QCOMPARE(config.stored[0].Channel.Config.Title, QString(" 一楼东 "));
        QCOMPARE(config.stored[0].Channel.Config.SoundCard, 2);
        QCOMPARE(config.stored[0].Memo, QString("走廊"));
        QCOMPARE(dialog->lstPlayer->item(0)->text(), QString(" 一楼东 "));
        QCOMPARE(dialog->txtPlayerTitle->text(), QString("二楼"));
        // A click on the entry being edited stores what was typed into it.
        dialog->txtPlayerMemo->setText("楼梯");
        Click(dialog->lstPlayer, 1);
        QCOMPARE(config.stored.size(), size_t(2));
        QCOMPARE(config.stored[1].Origin, 1);
        QTest::mouseClick(dialog->btnCancel, Qt::LeftButton);
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QVERIFY(config.replaced.empty());
    }

    void channelDialogAddKeepsTheFields() {
        auto dialog = OpenConfig({Running(0, "一楼"), Running(1, "二楼")});
        Click(dialog->lstPlayer, 0);
        dialog->txtPlayerTitle->setText("三楼");
        dialog->cboCard->setCurrentIndex(1);
        QTest::mouseClick(dialog->btnAdd, Qt::LeftButton);
        QCOMPARE(dialog->lstPlayer->count(), 3);
        QCOMPARE(dialog->lstPlayer->item(2)->text(), QString("三楼"));
        QCOMPARE(dialog->lstPlayer->currentRow(), 0);
        QCOMPARE(dialog->WorkList().EditIndex(), 0);
        QCOMPARE(dialog->txtPlayerTitle->text(), QString("三楼"));
        // Selecting another entry now stores those fields into the channel edited before.
        Click(dialog->lstPlayer, 1);
        QCOMPARE(config.stored.size(), size_t(1));
        QCOMPARE(config.stored[0].Channel.Config.Title, QString("三楼"));
        dialog->txtPlayerTitle->clear();
        QTest::mouseClick(dialog->btnAdd, Qt::LeftButton);
        QCOMPARE(config.informed, QStringList{"请填写名称"});
        QCOMPARE(dialog->lstPlayer->count(), 3);
    }

    void channelDialogDelete() {
        auto dialog = OpenConfig({Running(0, "一楼"), Running(1, "二楼")});
        QTest::mouseClick(dialog->btnDelete, Qt::LeftButton);  // nothing selected
        QCOMPARE(dialog->lstPlayer->count(), 2);
        Click(dialog->lstPlayer, 1);
        QTest::mouseClick(dialog->btnDelete, Qt::LeftButton);
        QCOMPARE(dialog->lstPlayer->count(), 1);
        QCOMPARE(dialog->WorkList().EditIndex(), -1);
        QVERIFY(dialog->txtPlayerTitle->text().isEmpty());
        QVERIFY(dialog->txtPlayerMemo->text().isEmpty());
        QVERIFY(dialog->lstPlayer->selectedItems().isEmpty());
        QVERIFY(config.stored.empty());
    }

    void channelDialogConfirm() {
        auto dialog = OpenConfig({Running(0, "一楼"), Running(1, "二楼")});
        Click(dialog->lstPlayer, 0);
        dialog->txtPlayerTitle->setText("not stored");  // only a selection stores
        QTest::mouseClick(dialog->btnConfirm, Qt::LeftButton);
        QCOMPARE(config.replaced.size(), size_t(1));
        QCOMPARE(config.replaced[0].size(), size_t(2));
        QCOMPARE(config.replaced[0][0].Channel.Config.Title, QString("一楼"));
        QCOMPARE(config.told, QStringList{kRestartMessage});
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
    }

    void channelDialogAFailedWriteKeepsTheDialogOpen() {
        config.failure = "/station/tessora.cfg: Permission denied";
        auto dialog = OpenConfig({Running(0, "一楼")});
        QTest::mouseClick(dialog->btnConfirm, Qt::LeftButton);
        QCOMPARE(config.told, QStringList{config.failure});
        QVERIFY(dialog->isVisible());
    }
};

QTEST_MAIN(GuardsTest)
#include "GuardsTest.moc"
