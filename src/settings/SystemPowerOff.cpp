#include "SystemPowerOff.h"

#include "FileError.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QProcess>

#include <cstdio>

namespace tessora {

namespace {
const QString kLogindService = QStringLiteral("org.freedesktop.login1");
const QString kLogindPath = QStringLiteral("/org/freedesktop/login1");
const QString kLogindManager = QStringLiteral("org.freedesktop.login1.Manager");
const QString kRecordPrefix = QStringLiteral("record:");
}  // namespace

TLogindPowerOff::TLogindPowerOff(QDBusConnection bus, QString fallbackProgram, QStringList fallbackArguments,
                                 QObject* parent)
    : QObject(parent),
      bus_(std::move(bus)),
      fallbackProgram_(std::move(fallbackProgram)),
      fallbackArguments_(std::move(fallbackArguments)) {}

void TLogindPowerOff::Request() {
    if (waiting_) return;
    if (!bus_.isConnected()) {
        Refused("the system bus cannot be reached: " + bus_.lastError().message());
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kLogindService, kLogindPath, kLogindManager, "PowerOff");
    call << false;  // not interactive: nobody is there to answer a question
    waiting_ = true;
    // Asynchronous: the clock tick never waits for logind.
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        waiting_ = false;
        const QDBusPendingReply<> reply = *w;
        if (reply.isError()) Refused("logind: " + reply.error().message());
        w->deleteLater();
    });
}

void TLogindPowerOff::Refused(const QString& reason) {
    // Said once per reason: the request is repeated every second while the power-off is due.
    if (reason != lastReason_) {
        std::fprintf(stderr, "tessora: power-off: %s; trying %s\n", qPrintable(reason), qPrintable(fallbackProgram_));
        lastReason_ = reason;
    }
    if (QProcess::startDetached(fallbackProgram_, fallbackArguments_)) ++fallbacksStarted_;
}

void TRecordedPowerOff::Request() {
    ++requests_;
    WriteFileAtomically(file_, QByteArray::number(requests_) + "\n");
}

namespace {
// A mistyped diagnostics setting must not power a test machine off.
class TDisabledPowerOff : public PowerOff {
public:
    void Request() override {}
};
}  // namespace

std::unique_ptr<PowerOff> MakeSystemPowerOff() {
    if (!qEnvironmentVariableIsSet("TESSORA_POWEROFF"))
        return std::make_unique<TLogindPowerOff>(QDBusConnection::systemBus(), "systemctl", QStringList{"poweroff"});
    const QString choice = qEnvironmentVariable("TESSORA_POWEROFF");
    if (choice.startsWith(kRecordPrefix)) return std::make_unique<TRecordedPowerOff>(choice.mid(kRecordPrefix.size()));
    std::fprintf(stderr, "tessora: TESSORA_POWEROFF=%s is not record:FILE; scheduled power-off is off\n", qPrintable(choice));
    return std::make_unique<TDisabledPowerOff>();
}

}  // namespace tessora
