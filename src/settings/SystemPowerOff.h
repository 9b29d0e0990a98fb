#pragma once
// Powering the computer off on Linux: systemd-logind's PowerOff over the system bus (not
// interactive: the request is the administrator's own setting), and `systemctl poweroff` when
// logind refuses or cannot be reached.

#include "ShutdownCheck.h"

#include <QDBusConnection>
#include <QObject>
#include <QStringList>

#include <memory>

namespace tessora {

class TLogindPowerOff : public QObject, public PowerOff {
    Q_OBJECT
public:
    // The program passes the system bus and systemctl; tests pass a private bus with a stand-in
    // for logind and a harmless fallback, so that no test can ever power the machine off.
    TLogindPowerOff(QDBusConnection bus, QString fallbackProgram, QStringList fallbackArguments,
                    QObject* parent = nullptr);

    // Sends the request unless one is still waiting for logind's answer.
    void Request() override;

    // A request sent and not answered yet.
    bool Waiting() const { return waiting_; }
    int FallbacksStarted() const { return fallbacksStarted_; }

private:
    void Refused(const QString& reason);

    QDBusConnection bus_;
    QString fallbackProgram_;
    QStringList fallbackArguments_;
    bool waiting_ = false;
    int fallbacksStarted_ = 0;
    QString lastReason_;
};

// Records each request in a file instead of powering off: the request count, one line.
class TRecordedPowerOff : public PowerOff {
public:
    explicit TRecordedPowerOff(QString file) : file_(std::move(file)) {}
    void Request() override;

private:
    QString file_;
    int requests_ = 0;
};

// The program's power-off. TESSORA_POWEROFF=record:FILE (diagnostics and tests, like
// TESSORA_AUDIO) records the requests in FILE; otherwise logind, then systemctl.
std::unique_ptr<PowerOff> MakeSystemPowerOff();

}  // namespace tessora
