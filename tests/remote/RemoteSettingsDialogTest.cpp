// The system settings dialog's 远程 page: its three fields show the settings, are taken by 确定,
// and a bad address or port is refused with a message, changing nothing.
#include "PlayerSetting.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

using namespace tessora;

class RemoteSettingsDialogTest : public QObject {
    Q_OBJECT

    QStringList messages;

    static int RemotePage(const TFormPlayerSetting& dialog) {
        for (int i = 0; i < dialog.Pages->count(); ++i)
            if (dialog.Pages->tabText(i) == "远程") return i;
        return -1;
    }

private slots:
    void init() { messages.clear(); }

    void theThreeFieldsShowAndTakeTheRemoteSettings() {
        TFormPlayerSetting dialog([](QWidget*, const QString&) { return QString(); },
                                  [this](QWidget*, const QString& text) { messages << text; });
        SystemSettings settings;
        settings.Remote = {false, "127.0.0.1", 8790, true};
        dialog.Load(settings, {"默认"});
        dialog.show();
        QVERIFY(RemotePage(dialog) >= 0);
        dialog.Pages->setCurrentIndex(RemotePage(dialog));
        QCOMPARE(dialog.chkRemote->isChecked(), false);
        QCOMPARE(dialog.EditRemoteAddress->text(), QString("127.0.0.1"));
        QCOMPARE(dialog.EditRemotePort->text(), QString("8790"));
        if (qEnvironmentVariableIsSet("TESSORA_SCREENSHOTS"))
            dialog.grab().save(qEnvironmentVariable("TESSORA_SCREENSHOTS") + "/settings-remote.png");
        dialog.chkRemote->setChecked(true);
        dialog.EditRemoteAddress->setText("192.168.10.5");
        dialog.EditRemotePort->setText("8080");
        QTest::mouseClick(dialog.SkinButton3, Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(messages.isEmpty());
        // What the page does not show (public metrics) stays as it was.
        QCOMPARE(dialog.Result().Remote, (RemoteSettings{true, "192.168.10.5", 8080, true}));
    }

    void aBadAddressOrPortIsRefused() {
        for (const auto& [address, port] : std::vector<std::pair<QString, QString>>{{"school", "80"}, {"10.0.0.1", "99999"}}) {
            messages.clear();
            TFormPlayerSetting dialog([](QWidget*, const QString&) { return QString(); },
                                      [this](QWidget*, const QString& text) { messages << text; });
            dialog.Load(SystemSettings{}, {"默认"});
            dialog.show();
            dialog.EditRemoteAddress->setText(address);
            dialog.EditRemotePort->setText(port);
            QTest::mouseClick(dialog.SkinButton3, Qt::LeftButton);
            QCOMPARE(messages.size(), 1);
            QVERIFY(messages[0].contains("远程"));
            QVERIFY(dialog.isVisible());
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
        }
    }
};

QTEST_MAIN(RemoteSettingsDialogTest)
#include "RemoteSettingsDialogTest.moc"
