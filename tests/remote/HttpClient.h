#pragma once
// Requests to the station's HTTP server from the test's own event loop.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QUrl>

namespace tessora::test {

struct HttpAnswer {
    int status = 0;  // 0: no answer
    QByteArray body;
    QMap<QByteArray, QByteArray> headers;  // names lower-cased
};

class HttpClient {
public:
    explicit HttpClient(quint16 port) : base_(QStringLiteral("http://127.0.0.1:%1").arg(port)) {}

    HttpAnswer Send(const QByteArray& method, const QString& path, const QString& token = {}, const QByteArray& body = {},
                    const QByteArray& header = "Authorization", const QByteArray& scheme = "Bearer ") {
        QNetworkRequest request(QUrl(base_ + path));
        if (!token.isEmpty()) request.setRawHeader(header, scheme + token.toUtf8());
        if (!body.isEmpty()) request.setHeader(QNetworkRequest::ContentTypeHeader, "application/octet-stream");
        QPointer<QNetworkReply> reply = manager_.sendCustomRequest(request, method, body);
        QElapsedTimer waited;
        waited.start();
        while (reply && !reply->isFinished() && waited.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        HttpAnswer answer;
        if (!reply) return answer;
        answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        answer.body = reply->readAll();
        for (const auto& pair : reply->rawHeaderPairs()) answer.headers[pair.first.toLower()] = pair.second;
        reply->deleteLater();
        return answer;
    }
    HttpAnswer Get(const QString& path, const QString& token = {}) { return Send("GET", path, token); }
    HttpAnswer Post(const QString& path, const QString& token = {}) { return Send("POST", path, token); }

private:
    QString base_;
    QNetworkAccessManager manager_;
};

}  // namespace tessora::test
