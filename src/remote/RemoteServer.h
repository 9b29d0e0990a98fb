#pragma once
// The station's HTTP server on the LAN: the status page, the JSON API, the Prometheus metrics
// and the control routes, all but the page behind tokens. It runs on the GUI thread with the
// station: a request reads a snapshot of the station and the facts gathered off the thread, and
// acts through the station's commands; another day's report is read on a thread of its own.
// Nothing is ever served from disk: the page is built into the program.

#include "AsRunDays.h"
#include "RefusalLimit.h"
#include "RemoteControl.h"
#include "SettingsStore.h"
#include "StationFacts.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QHttpServer;
class QHttpServerRequest;
class QHttpServerResponse;
class QTcpServer;

namespace tessora {

class TStation;

class TRemoteServer : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype kMaxBodyBytes = 16 * 1024;

    // `environment` is what the pre-flight check runs against (tests give their own).
    explicit TRemoteServer(TStation& station, std::function<CheckEnvironment()> environment = AudioCheckEnvironment,
                           QObject* parent = nullptr);
    ~TRemoteServer() override;

    // Listens on the settings' address and port (port 0: any free one) when they are enabled.
    // False, with the reason in Error(), when it cannot; true when it listens or is not enabled.
    bool Start(const RemoteSettings& settings);
    // Starts once, with the settings the station loads first: a later change waits for the next
    // start of the program.
    void StartWithFirstSettings();
    bool Listening() const;
    quint16 Port() const;
    QString Error() const { return error_; }

    TStationFacts& Facts() { return facts_; }
    TRemoteControl& Control() { return control_; }

private:
    QHttpServerResponse Respond(const QHttpServerRequest& request);
    QHttpServerResponse Answer(const QHttpServerRequest& request);
    QHttpServerResponse AsRun(const QHttpServerRequest& request);
    // The status and the metrics, made again when older than kFreshMs: a page refreshes every
    // second and the panels every half second, so a burst of requests costs one build.
    struct Cached {
        QByteArray body;
        QElapsedTimer age;
    };
    static constexpr int kFreshMs = 200;
    static QByteArray Recent(Cached& cache, const std::function<QByteArray()>& build);
    Cached statusCache_, metricsCache_;
    TAsRunDays asRunDays_;

    TStation& station_;
    TStationFacts facts_;
    TRemoteControl control_;
    TRefusalLimit limit_;
    RemoteSettings settings_;
    std::unique_ptr<QHttpServer> http_;
    QTcpServer* tcp_ = nullptr;  // owned by http_
    QString error_;
    bool started_ = false;
    QByteArray page_, script_, style_;  // built into the program
};

}  // namespace tessora
