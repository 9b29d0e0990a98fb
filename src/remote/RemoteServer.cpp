#include "RemoteServer.h"

#include "FileError.h"
#include "RemoteJson.h"
#include "Metrics.h"
#include "SoundMixer.h"
#include "Station.h"

#include <QDateTime>
#include <QFile>
#include <QHostAddress>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QJsonDocument>
#include <QPromise>
#include <QRegularExpression>
#include <QTcpServer>
#include <QUrlQuery>

#include <thread>

// The page lives in a static library: its resources are registered by hand.
static void RegisterPageResources() { Q_INIT_RESOURCE(remote); }

namespace tessora {

namespace {

using Status = QHttpServerResponse::StatusCode;
using Method = QHttpServerRequest::Method;

// Headers are set one way up to Qt 6.7 and another from 6.8 on.
void SetHeader(QHttpServerResponse& response, const QByteArray& name, const QByteArray& value) {
#if QT_VERSION < QT_VERSION_CHECK(6, 8, 0)
    response.setHeader(name, value);
#else
    QHttpHeaders headers = response.headers();
    headers.replaceOrAppend(name, value);
    response.setHeaders(std::move(headers));
#endif
}

// Every answer: nothing from elsewhere runs in the page, types are not guessed, nothing is kept.
QHttpServerResponse Secured(QHttpServerResponse response) {
    SetHeader(response, "Content-Security-Policy", "default-src 'self'");
    SetHeader(response, "X-Content-Type-Options", "nosniff");
    SetHeader(response, "Cache-Control", "no-store");
    SetHeader(response, "Referrer-Policy", "no-referrer");
    return response;
}

QHttpServerResponse JsonResponse(const QJsonObject& object, Status status = Status::Ok) {
    return QHttpServerResponse(QByteArrayLiteral("application/json; charset=utf-8"),
                               QJsonDocument(object).toJson(QJsonDocument::Compact), status);
}

QHttpServerResponse ErrorResponse(Status status, const QString& message) {
    return JsonResponse(QJsonObject{{"error", message}}, status);
}

std::unique_ptr<QHttpServerResponse> Now(QHttpServerResponse response) {
    return std::make_unique<QHttpServerResponse>(std::move(response));
}

QByteArray Resource(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString AddressText(const QHostAddress& address) {
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);  // an IPv4 peer on a dual-stack socket
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}

// The routes and the methods each takes.
struct Route {
    QRegularExpression pattern;
    Method method;
    bool needsToken;
    TokenScope scope;
};

enum RouteId { Page, Script, Style, Status_, AsRunDay, MetricsRoute, ChannelControl, AlarmControl, RouteCount };

const std::vector<Route>& Routes() {
    static const std::vector<Route> routes{
        {QRegularExpression("^/$"), Method::Get, false, TokenScope::Status},
        {QRegularExpression("^/page\\.js$"), Method::Get, false, TokenScope::Status},
        {QRegularExpression("^/page\\.css$"), Method::Get, false, TokenScope::Status},
        {QRegularExpression("^/api/status$"), Method::Get, true, TokenScope::Status},
        {QRegularExpression("^/api/asrun$"), Method::Get, true, TokenScope::Status},
        {QRegularExpression("^/metrics$"), Method::Get, true, TokenScope::Status},
        {QRegularExpression("^/api/channels/([^/]*)/(play|pause|stop)$"), Method::Post, true, TokenScope::Control},
        {QRegularExpression("^/api/alarm/(start|stop)$"), Method::Post, true, TokenScope::Control},
    };
    return routes;
}

}  // namespace

TRemoteServer::TRemoteServer(TStation& station, std::function<CheckEnvironment()> environment, QObject* parent)
    : QObject(parent),
      station_(station),
      facts_(station, std::move(environment)),
      control_(station),
      page_((RegisterPageResources(), Resource(QStringLiteral(":/remote/index.html")))),
      script_(Resource(QStringLiteral(":/remote/page.js"))),
      style_(Resource(QStringLiteral(":/remote/page.css"))) {}

TRemoteServer::~TRemoteServer() = default;

void TRemoteServer::StartWithFirstSettings() {
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(&station_, &TStation::SettingsChanged, this, [this, connection] {
        disconnect(*connection);
        if (!Start(station_.Settings().Remote))
            qWarning("tessora: the HTTP server does not listen: %s", qPrintable(error_));
    });
}

bool TRemoteServer::Start(const RemoteSettings& settings) {
    settings_ = settings;
    if (!settings.Enabled || started_) return true;
    const QHostAddress address(settings.Address);
    if (address.isNull()) {
        error_ = QStringLiteral("not an IP address: ") + settings.Address;
        return false;
    }
    if (settings.Port < 0 || settings.Port > 65535) {
        error_ = QStringLiteral("not a port: ") + QString::number(settings.Port);
        return false;
    }
    http_ = std::make_unique<QHttpServer>();
    tcp_ = new QTcpServer(http_.get());
    if (!tcp_->listen(address, quint16(settings.Port))) {
        error_ = settings.Address + ':' + QString::number(settings.Port) + ": " + tcp_->errorString();
        http_.reset();
        tcp_ = nullptr;
        return false;
    }
    // A day's report reads the disk: its route answers through a future. Every other answer is
    // made at once, on this thread, without the future's round trip through the event loop.
    http_->route("/api/asrun", [this](const QHttpServerRequest& request) { return Respond(request); });
    http_->route("/", [this](const QHttpServerRequest& request) { return RespondNow(request); });
    http_->route("/<arg>", [this](const QUrl&, const QHttpServerRequest& request) { return RespondNow(request); });
    http_->bind(tcp_);
    facts_.Start();
    started_ = true;
    return true;
}

bool TRemoteServer::Listening() const { return tcp_ && tcp_->isListening(); }

quint16 TRemoteServer::Port() const { return tcp_ ? tcp_->serverPort() : 0; }

QHttpServerResponse TRemoteServer::RespondNow(const QHttpServerRequest& request) {
    Reply reply = Answer(request);
    // Only the day's report is made later, and it has a route of its own.
    return Secured(reply.Now ? std::move(*reply.Now) : reply.Later());
}

QFuture<QHttpServerResponse> TRemoteServer::Respond(const QHttpServerRequest& request) {
    Reply reply = Answer(request);
    QPromise<QHttpServerResponse> promise;
    QFuture<QHttpServerResponse> future = promise.future();
    promise.start();
    if (reply.Now) {
        promise.addResult(Secured(std::move(*reply.Now)));
        promise.finish();
        return future;
    }
    std::thread([promise = std::move(promise), work = std::move(reply.Later)]() mutable {
        promise.addResult(Secured(work()));
        promise.finish();
    }).detach();
    return future;
}

QByteArray TRemoteServer::Recent(Cached& cache, const std::function<QByteArray()>& build) {
    if (!cache.age.isValid() || cache.age.elapsed() >= kFreshMs) {
        cache.body = build();
        cache.age.start();
    }
    return cache.body;
}

TRemoteServer::Reply TRemoteServer::Answer(const QHttpServerRequest& request) {
    const QString address = AddressText(request.remoteAddress());
    const qint64 nowMs = QDateTime::currentMSecsSinceEpoch();
    if (const qint64 blocked = limit_.BlockedFor(address, nowMs)) {
        auto response = ErrorResponse(Status::TooManyRequests, "too many refused tokens; try again later");
        SetHeader(response, "Retry-After", QByteArray::number((blocked + 999) / 1000));
        return {Now(std::move(response)), {}};
    }
    if (request.body().size() > kMaxBodyBytes)
        return {Now(ErrorResponse(Status::PayloadTooLarge, "the body is larger than 16 KiB")), {}};

    const QString path = request.url().path();
    int id = -1;
    QRegularExpressionMatch match;
    for (int i = 0; i < RouteCount && id < 0; ++i) {
        match = Routes()[size_t(i)].pattern.match(path);
        if (match.hasMatch()) id = i;
    }
    if (id < 0) return {Now(ErrorResponse(Status::NotFound, "no such route")), {}};
    const Route& route = Routes()[size_t(id)];
    if (request.method() != route.method) {
        auto response = ErrorResponse(Status::MethodNotAllowed, "method not allowed");
        SetHeader(response, "Allow", route.method == Method::Post ? "POST" : "GET");
        return {Now(std::move(response)), {}};
    }

    std::optional<TokenEntry> token;
    const bool open = !route.needsToken || (id == MetricsRoute && settings_.PublicMetrics);
    if (!open) {
        const QByteArray authorization = request.value("Authorization").trimmed();
        const QByteArray scheme = "Bearer ";
        const bool presented = authorization.size() > scheme.size() &&
                               authorization.left(scheme.size()).compare(scheme, Qt::CaseInsensitive) == 0;
        if (presented) token = FindToken(facts_.Current()->Tokens, authorization.mid(scheme.size()).trimmed());
        if (!token) {
            // Only a token that was tried counts towards the block: a page without one yet is no guess.
            if (presented) limit_.NoteRefusal(address, nowMs);
            auto response = ErrorResponse(Status::Unauthorized, "a valid token is needed");
            SetHeader(response, "WWW-Authenticate", "Bearer realm=\"tessora\"");
            return {Now(std::move(response)), {}};
        }
        if (route.scope == TokenScope::Control && token->Scope != TokenScope::Control)
            return {Now(ErrorResponse(Status::Forbidden, "this token may not control the station")), {}};
    }

    const QString who = token ? QStringLiteral("token=%1 from=%2").arg(token->Name, address) : QString();
    switch (id) {
    case Page:
        return {Now(QHttpServerResponse("text/html; charset=utf-8", page_)), {}};
    case Script:
        return {Now(QHttpServerResponse("text/javascript; charset=utf-8", script_)), {}};
    case Style:
        return {Now(QHttpServerResponse("text/css; charset=utf-8", style_)), {}};
    case Status_:
        return {Now(QHttpServerResponse("application/json; charset=utf-8", Recent(statusCache_, [this] {
                    const StationSnapshot snapshot = SnapshotOf(station_, LocalMoment::Now(), TSoundMixer::DeviceNames());
                    return QJsonDocument(StatusJson(snapshot, *facts_.Current())).toJson(QJsonDocument::Compact);
                })))};
    case MetricsRoute:
        return {Now(QHttpServerResponse("text/plain; version=0.0.4; charset=utf-8", Recent(metricsCache_, [this] {
                    const StationSnapshot snapshot = SnapshotOf(station_, LocalMoment::Now(), TSoundMixer::DeviceNames());
                    return MetricsText(snapshot, *facts_.Current());
                })))};
    case AsRunDay: {
        const QString text = QUrlQuery(request.url()).queryItemValue("date");
        const QDate date = QDate::fromString(text, "yyyy-MM-dd");
        if (!date.isValid() || text.size() != 10)
            return {Now(ErrorResponse(Status::BadRequest, "date must be YYYY-MM-DD")), {}};
        // The day's log and lists are read on a thread of their own, never on the GUI thread.
        return {nullptr, [channels = station_.ChannelConfigs(), folder = station_.ProgramFolder() + kAsRunFolderName, date] {
                    try {
                        return JsonResponse(AsRunJson(date, ReportStationDay(channels, date, folder), LocalMoment::Now()));
                    } catch (const EFileError& e) {
                        return ErrorResponse(Status::InternalServerError, e.Path + ": " + e.Message);
                    }
                }};
    }
    case ChannelControl: {
        bool isNumber = false;
        const int index = match.captured(1).toInt(&isNumber, 10);
        if (!isNumber || index < 0 || match.captured(1).startsWith('+'))
            return {Now(ErrorResponse(Status::BadRequest, "not a channel number")), {}};
        if (!station_.Channel(index)) return {Now(ErrorResponse(Status::NotFound, "no such channel")), {}};
        control_.ChannelCommand(index, match.captured(2), who);
        return {Now(JsonResponse(QJsonObject{{"channel", index}, {"command", match.captured(2)}, {"ok", true}})), {}};
    }
    case AlarmControl: {
        const bool start = match.captured(1) == QLatin1String("start");
        if (start && control_.HeldElsewhere())
            return {Now(ErrorResponse(Status::Conflict, "the alarm window at the station holds the channels")), {}};
        const bool changed = start ? control_.AlarmStart(who) : control_.AlarmStop(who);
        return {Now(JsonResponse(QJsonObject{{"alarm", start ? "on" : "off"}, {"changed", changed}})), {}};
    }
    default:
        return {Now(ErrorResponse(Status::NotFound, "no such route")), {}};
    }
}

}  // namespace tessora
