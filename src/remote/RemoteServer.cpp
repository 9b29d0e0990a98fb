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
#include <QRegularExpression>
#include <QTcpServer>
#include <QUrlQuery>


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

enum RouteId { PageRoute, ScriptRoute, StyleRoute, StatusRoute, AsRunRoute, MetricsRoute, ChannelRoute, AlarmRoute, RouteCount };

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
    // Every path comes to one handler, which routes, refuses and answers by itself.
    http_->route("/", [this](const QHttpServerRequest& request) { return Respond(request); });
    http_->route("/<arg>", [this](const QUrl&, const QHttpServerRequest& request) { return Respond(request); });
    http_->bind(tcp_);
    facts_.Start();
    started_ = true;
    return true;
}

bool TRemoteServer::Listening() const { return tcp_ && tcp_->isListening(); }

quint16 TRemoteServer::Port() const { return tcp_ ? tcp_->serverPort() : 0; }

QHttpServerResponse TRemoteServer::Respond(const QHttpServerRequest& request) { return Secured(Answer(request)); }

QByteArray TRemoteServer::Recent(Cached& cache, const std::function<QByteArray()>& build) {
    if (!cache.age.isValid() || cache.age.elapsed() >= kFreshMs) {
        cache.body = build();
        cache.age.start();
    }
    return cache.body;
}

QHttpServerResponse TRemoteServer::Answer(const QHttpServerRequest& request) {
    const QString address = AddressText(request.remoteAddress());
    const qint64 nowMs = QDateTime::currentMSecsSinceEpoch();
    if (const qint64 blocked = limit_.BlockedFor(address, nowMs)) {
        auto response = ErrorResponse(Status::TooManyRequests, "too many refused tokens; try again later");
        SetHeader(response, "Retry-After", QByteArray::number((blocked + 999) / 1000));
        return response;
    }
    if (request.body().size() > kMaxBodyBytes)
        return ErrorResponse(Status::PayloadTooLarge, "the body is larger than 16 KiB");

    const QString path = request.url().path();
    int id = -1;
    QRegularExpressionMatch match;
    for (int i = 0; i < RouteCount && id < 0; ++i) {
        match = Routes()[size_t(i)].pattern.match(path);
        if (match.hasMatch()) id = i;
    }
    if (id < 0) return ErrorResponse(Status::NotFound, "no such route");
    const Route& route = Routes()[size_t(id)];
    if (request.method() != route.method) {
        auto response = ErrorResponse(Status::MethodNotAllowed, "method not allowed");
        SetHeader(response, "Allow", route.method == Method::Post ? "POST" : "GET");
        return response;
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
            return response;
        }
        if (route.scope == TokenScope::Control && token->Scope != TokenScope::Control)
            return ErrorResponse(Status::Forbidden, "this token may not control the station");
    }

    const QString who = token ? QStringLiteral("token=%1 from=%2").arg(token->Name, address) : QString();
    switch (id) {
    case PageRoute:
        return QHttpServerResponse("text/html; charset=utf-8", page_);
    case ScriptRoute:
        return QHttpServerResponse("text/javascript; charset=utf-8", script_);
    case StyleRoute:
        return QHttpServerResponse("text/css; charset=utf-8", style_);
    case StatusRoute:
        return QHttpServerResponse("application/json; charset=utf-8", Recent(statusCache_, [this] {
                    const StationSnapshot snapshot = SnapshotOf(station_, LocalMoment::Now(), TSoundMixer::DeviceNames());
                    return QJsonDocument(StatusJson(snapshot, *facts_.Current())).toJson(QJsonDocument::Compact);
                }));
    case MetricsRoute:
        return QHttpServerResponse("text/plain; version=0.0.4; charset=utf-8", Recent(metricsCache_, [this] {
                    const StationSnapshot snapshot = SnapshotOf(station_, LocalMoment::Now(), TSoundMixer::DeviceNames());
                    return MetricsText(snapshot, *facts_.Current());
                }));
    case AsRunRoute:
        return AsRun(request);
    case ChannelRoute: {
        bool isNumber = false;
        const int index = match.captured(1).toInt(&isNumber, 10);
        if (!isNumber || index < 0 || match.captured(1).startsWith('+'))
            return ErrorResponse(Status::BadRequest, "not a channel number");
        if (!station_.Channel(index)) return ErrorResponse(Status::NotFound, "no such channel");
        control_.ChannelCommand(index, match.captured(2), who);
        return JsonResponse(QJsonObject{{"channel", index}, {"command", match.captured(2)}, {"ok", true}});
    }
    case AlarmRoute: {
        const bool start = match.captured(1) == QLatin1String("start");
        if (start && control_.HeldElsewhere())
            return ErrorResponse(Status::Conflict, "the alarm window at the station holds the channels");
        const bool changed = start ? control_.AlarmStart(who) : control_.AlarmStop(who);
        return JsonResponse(QJsonObject{{"alarm", start ? "on" : "off"}, {"changed", changed}});
    }
    default:
        return ErrorResponse(Status::NotFound, "no such route");
    }
}

QHttpServerResponse TRemoteServer::AsRun(const QHttpServerRequest& request) {
    const QString text = QUrlQuery(request.url()).queryItemValue("date");
    const QDate date = QDate::fromString(text, "yyyy-MM-dd");
    if (!date.isValid() || text.size() != 10) return ErrorResponse(Status::BadRequest, "date must be YYYY-MM-DD");
    const LocalMoment now = LocalMoment::Now();
    const std::shared_ptr<const StationFacts> facts = facts_.Current();
    // Today's report is read every two seconds anyway.
    if (facts->Day && facts->Day->Date == date) return JsonResponse(AsRunJson(date, *facts->Day, now));
    // Another day is read on a thread of its own, never on this one; until it has been read the
    // caller is asked to come again in a second.
    const auto read = asRunDays_.Take(date, QDateTime::currentMSecsSinceEpoch(), station_.ChannelConfigs(),
                                      station_.ProgramFolder() + kAsRunFolderName, station_.Calendar());
    if (!read) {
        auto response = ErrorResponse(Status::ServiceUnavailable, "the day's log is being read; ask again in a second");
        SetHeader(response, "Retry-After", "1");
        return response;
    }
    return JsonResponse(read->Json, read->Failed ? Status::InternalServerError : Status::Ok);
}

}  // namespace tessora
