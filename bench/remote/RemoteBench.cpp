// The HTTP server's cost to the station: the real station with many channels on virtual capture
// outputs and its HTTP server on, measured from this process (another process than the
// station's). First the latency of /api/status, one request after another; then two windows of
// the same timetable, one quiet and one under a load of /api/status requests at a steady rate,
// each giving the items' start offsets (from the as-run log) and the GUI thread's busy share.
//   remote-bench [CHANNELS [RATE [SECONDS]]]   (default 64 channels, 200 requests/s, 10 s)
#include "AiringReport.h"
#include "StationRun.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using namespace tessora;

namespace {

void ServeUntil(int64_t unixMs) {
    while (QDateTime::currentMSecsSinceEpoch() < unixMs) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    return values[size_t(p * double(values.size() - 1))];
}

struct Window {
    int64_t from, to;  // unix ms
    int64_t cpuFrom = 0, cpuTo = 0;
    double Busy() const { return 100.0 * double(cpuTo - cpuFrom) / double(to - from); }
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int channels = argc > 1 ? std::atoi(argv[1]) : 64;
    const int rate = argc > 2 ? std::atoi(argv[2]) : 200;
    const int seconds = argc > 3 ? std::atoi(argv[3]) : 10;
    constexpr int kSpacing = 3, kLength = 2;
    const int windowItems = (seconds + kSpacing - 1) / kSpacing;
    const int items = 2 * windowItems + 3;

    StationRun station(TESSORA_PROGRAM, TESSORA_CLI);
    if (!station.Ready() || !station.MakeTone("tone.wav", 523, 2.5)) return std::fprintf(stderr, "set-up failed\n"), 1;
    const QDateTime t0 = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() + 25 + channels / 8);
    quint16 port = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    QFile ini(station.Folder() + "Tessora.ini");
    if (!ini.open(QIODevice::WriteOnly)) return 1;
    ini.write(QString("[Remote]\nEnabled=1\nAddress=127.0.0.1\nPort=%1\n").arg(port).toLatin1());
    ini.close();
    QProcess cli;
    cli.start(station.Folder() + "tessora-cli", {"token", station.Folder(), "add", "bench", "status"});
    cli.waitForFinished(30000);
    const QByteArray token = cli.readAllStandardOutput().trimmed();
    if (!station.MakeEvenTimetables(channels, items, kSpacing, kLength, t0, "tone.wav") || !station.Start(channels + 1))
        return std::fprintf(stderr, "start failed\n"), 1;

    QNetworkAccessManager manager;
    QNetworkRequest request(QUrl(QString("http://127.0.0.1:%1/api/status").arg(port)));
    request.setRawHeader("Authorization", "Bearer " + token);
    // Latency, one request at a time on a kept-alive connection, once the server answers.
    std::vector<double> latencies;
    QByteArray lastBody;
    while (QDateTime::currentMSecsSinceEpoch() < t0.toMSecsSinceEpoch() - 12000 && latencies.size() < 300) {
        QElapsedTimer timer;
        timer.start();
        QNetworkReply* reply = manager.get(request);
        while (!reply->isFinished()) QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        const bool ok = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200;
        if (ok) latencies.push_back(double(timer.nsecsElapsed()) / 1e6), lastBody = reply->readAll();
        reply->deleteLater();
        if (!ok) QThread::msleep(200);
    }

    // The same, 250 ms apart: each answer is built afresh (an answer younger than 200 ms is reused).
    std::vector<double> fresh;
    while (QDateTime::currentMSecsSinceEpoch() < t0.toMSecsSinceEpoch() - 3000 && fresh.size() < 20) {
        QThread::msleep(250);
        QElapsedTimer timer;
        timer.start();
        QNetworkReply* reply = manager.get(request);
        while (!reply->isFinished()) QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200)
            fresh.push_back(double(timer.nsecsElapsed()) / 1e6);
        reply->deleteLater();
    }

    const int64_t first = t0.toMSecsSinceEpoch();
    Window quiet{first, first + int64_t(windowItems * kSpacing) * 1000};
    Window loaded{quiet.to + 3000, quiet.to + 3000 + int64_t(windowItems * kSpacing) * 1000};
    ServeUntil(quiet.from);
    quiet.cpuFrom = StationRun::MainThreadCpuMs(station.Pid());
    ServeUntil(quiet.to);
    quiet.cpuTo = StationRun::MainThreadCpuMs(station.Pid());
    ServeUntil(loaded.from);
    int sent = 0, answered = 0, failed = 0;
    QTimer pace;
    pace.setTimerType(Qt::PreciseTimer);
    pace.setInterval(1000 / rate);
    QObject::connect(&pace, &QTimer::timeout, [&] {
        const int64_t due = (QDateTime::currentMSecsSinceEpoch() - loaded.from) * rate / 1000;
        while (sent < due && QDateTime::currentMSecsSinceEpoch() < loaded.to) {
            ++sent;
            QNetworkReply* reply = manager.get(request);
            QObject::connect(reply, &QNetworkReply::finished, [&, reply] {
                (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200 ? answered : failed)++;
                reply->deleteLater();
            });
        }
    });
    loaded.cpuFrom = StationRun::MainThreadCpuMs(station.Pid());
    pace.start();
    ServeUntil(loaded.to);
    pace.stop();
    loaded.cpuTo = StationRun::MainThreadCpuMs(station.Pid());
    ServeUntil(loaded.to + 2000);
    station.Terminate();

    std::vector<double> offsets[2];
    for (const AsRunEvent& e : ReadAsRunDay(station.Folder() + "asrun", t0.date())) {
        if (e.Kind != AsRunEventKind::Start || !e.Item) continue;
        const int64_t start = first + int64_t(*e.Item * kSpacing) * 1000;
        for (int w = 0; w < 2; ++w) {
            const Window& window = w == 0 ? quiet : loaded;
            if (start >= window.from && start < window.to) offsets[w].push_back(e.Detail.toDouble());
        }
    }
    std::printf("channels %d; /api/status is %lld bytes\n", channels, (long long)lastBody.size());
    std::printf("/api/status latency over %zu sequential requests: median %.2f ms, 90th %.2f ms, worst %.2f ms\n",
                latencies.size(), Percentile(latencies, 0.5), Percentile(latencies, 0.9), Percentile(latencies, 1.0));
    std::printf("/api/status latency, built afresh, over %zu requests: median %.2f ms, 90th %.2f ms, worst %.2f ms\n",
                fresh.size(), Percentile(fresh, 0.5), Percentile(fresh, 0.9), Percentile(fresh, 1.0));
    std::printf("load: %d requests sent in %lld s (%d answered 200, %d not)\n", sent, (long long)((loaded.to - loaded.from) / 1000), answered, failed);
    for (int w = 0; w < 2; ++w) {
        const Window& window = w == 0 ? quiet : loaded;
        std::printf("%-6s: %zu item starts, offset median %.0f ms, 90th %.0f ms, worst %.0f ms; GUI thread busy %.1f %%\n",
                    w == 0 ? "quiet" : "loaded", offsets[w].size(), Percentile(offsets[w], 0.5), Percentile(offsets[w], 0.9),
                    Percentile(offsets[w], 1.0), window.Busy());
    }
    std::printf("under load: median offset %+.0f ms, worst %+.0f ms, GUI busy %+.1f points\n",
                Percentile(offsets[1], 0.5) - Percentile(offsets[0], 0.5), Percentile(offsets[1], 1.0) - Percentile(offsets[0], 1.0),
                loaded.Busy() - quiet.Busy());
    return 0;
}
