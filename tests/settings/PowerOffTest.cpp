// The logind power-off against a stand-in for logind on the private session bus that
// dbus-run-session gives this test. The fallback only writes a file.
#include "SystemPowerOff.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace tessora;

namespace {

const QString kService = "org.freedesktop.login1";

class FakeLogind : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    QList<bool> calls;  // the `interactive` argument of each call
    bool refuse = false;

public slots:
    void PowerOff(bool interactive) {
        calls << interactive;
        if (refuse) sendErrorReply("org.freedesktop.login1.NotAllowed", "Access denied");
    }
};

}  // namespace

class PowerOffTest : public QObject {
    Q_OBJECT

    QDBusConnection bus = QDBusConnection::sessionBus();
    FakeLogind logind;
    QTemporaryDir folder;

    QString FallbackFile() const { return folder.filePath("fallback"); }
    std::unique_ptr<TLogindPowerOff> Make(QDBusConnection connection) {
        // Appends one line per fallback run: the stand-in for `systemctl poweroff`.
        return std::make_unique<TLogindPowerOff>(connection, "/bin/sh",
                                                 QStringList{"-c", "echo poweroff >> \"$0\"", FallbackFile()});
    }
    int FallbackRuns() const {
        QFile file(FallbackFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : 0;
    }

private slots:
    void initTestCase() {
        // Never the system bus: this must be dbus-run-session's private bus.
        QVERIFY(bus.isConnected());
        QVERIFY(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS") != qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS"));
        QVERIFY(bus.registerObject("/org/freedesktop/login1", &logind, QDBusConnection::ExportAllSlots));
    }
    void init() {
        logind.calls.clear();
        logind.refuse = false;
        QFile::remove(FallbackFile());
        bus.registerService(kService);
    }

    void asksLogindNotInteractively() {
        auto powerOff = Make(bus);
        powerOff->Request();
        QTRY_COMPARE(logind.calls, QList<bool>{false});
        QTest::qWait(200);
        QCOMPARE(powerOff->FallbacksStarted(), 0);
        QCOMPARE(FallbackRuns(), 0);
    }

    void aRequestWaitingForAnAnswerIsNotSentTwice() {
        auto powerOff = Make(bus);
        powerOff->Request();
        powerOff->Request();  // the same tick's answer has not come yet
        QTRY_VERIFY(!powerOff->Waiting());
        QCOMPARE(logind.calls.size(), 1);
        powerOff->Request();  // the next tick asks again
        QTRY_COMPARE(logind.calls.size(), 2);
    }

    void aRefusalRunsTheFallback() {
        logind.refuse = true;
        auto powerOff = Make(bus);
        powerOff->Request();
        QTRY_COMPARE(powerOff->FallbacksStarted(), 1);
        QTRY_COMPARE(FallbackRuns(), 1);
        powerOff->Request();  // still due at the next tick: tried again
        QTRY_COMPARE(FallbackRuns(), 2);
    }

    void noLogindRunsTheFallback() {
        bus.unregisterService(kService);
        auto powerOff = Make(bus);
        powerOff->Request();
        QTRY_COMPARE(FallbackRuns(), 1);
        QVERIFY(logind.calls.isEmpty());
    }

    void anUnreachableBusRunsTheFallback() {
        auto powerOff = Make(QDBusConnection("not connected"));
        powerOff->Request();
        QTRY_COMPARE(FallbackRuns(), 1);
    }

    void theRecordingStandInCountsRequests() {
        TRecordedPowerOff recorded(folder.filePath("record"));
        recorded.Request();
        recorded.Request();
        QFile file(folder.filePath("record"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("2\n"));
    }
};

QTEST_GUILESS_MAIN(PowerOffTest)
#include "PowerOffTest.moc"
