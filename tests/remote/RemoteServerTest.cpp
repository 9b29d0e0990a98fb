// The HTTP server on a running station: real players on capture outputs, the server on the
// loopback, requests over the network. Refusals change nothing; control acts as the panel's
// buttons and the alarm window do, and is noted in the as-run log.
#include "AiringReport.h"
#include "CaptureAnalysis.h"
#include "HttpClient.h"
#include "PlayerTestSupport.h"
#include "PrometheusText.h"
#include "OverrideSession.h"
#include "RemoteServer.h"
#include "StationRun.h"
#include "Station.h"
#include "StationChannels.h"

#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <gtest/gtest.h>

namespace tessora::test {
namespace {

void Serve(int ms) {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

template <typename Condition>
bool ServeUntil(Condition condition, int ms = 15000) {
    QElapsedTimer waited;
    waited.start();
    while (!condition()) {
        if (waited.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

QString CaptureFolder() { return qEnvironmentVariable("TESSORA_AUDIO").mid(QString("capture:").size()); }

class RemoteServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QTime now = QTime::currentTime();
        if (now < QTime(0, 3) || now > QTime(23, 50)) GTEST_SKIP() << "too close to midnight for a day list";
        ASSERT_TRUE(StationRun::RunTool("sox", {"-q", "-n", "-r", "44100", "-c", "2", "-b", "16", folder.Path("tone.wav"),
                                                "synth", "3", "sine", "440", "gain", "-6"}));
        ASSERT_TRUE(StationRun::RunTool("sox", {"-q", "-n", "-r", "44100", "-c", "2", "-b", "16", folder.Path("alarm.wav"),
                                                "synth", "2", "sine", "880", "gain", "-6"}));
        // Two channels on outputs 1 and 2, each looping the tone from a minute ago to ten minutes on.
        PlayItem item = Item(1, "上课", now.addSecs(-60).msecsSinceStartOfDay(), now.addSecs(600).msecsSinceStartOfDay(),
                             folder.Path("tone.wav"), KindFile, 1);
        TPlayList list;
        list.Items = {item};
        const QString day = list.SaveToFile(folder.Path("day.lst"));
        std::vector<ChannelConfig> configs(2);
        configs[0] = {"一号", day, 1, PlayOn, QString(), 0, ListMode};
        configs[1] = {"二号", day, 2, PlayOn, QString(), 0, ListMode};
        TChannelFile().SaveChannels(folder.Path("tessora.cfg"), configs);

        station = std::make_unique<TStation>(folder.Path(), passwords, MixerChannelFactory());
        station->SetCheckEnvironment([] { return CheckEnvironment{3, [](const QString&) { return std::optional<QString>(); }}; });
        ASSERT_TRUE(station->LoadChannels());
        station->StartChannels();

        status = MakeToken("monitor", TokenScope::Status, QDateTime::currentDateTimeUtc());
        control = MakeToken("教务处", TokenScope::Control, QDateTime::currentDateTimeUtc());
        WriteTokens(folder.Path(kTokenFileName), {status.Entry, control.Entry});

        server = std::make_unique<TRemoteServer>(
            *station, [] { return CheckEnvironment{3, [](const QString&) { return std::optional<QString>(); }}; });
        ASSERT_TRUE(server->Start({true, "127.0.0.1", 0, false})) << server->Error().toStdString();
        ASSERT_TRUE(server->Listening());
        ASSERT_TRUE(server->Facts().WaitForFresh(15000));
        client = std::make_unique<HttpClient>(server->Port());
        // Both channels sound their item before anything is asked.
        ASSERT_TRUE(ServeUntil([this] { return Player(0).CurrentItem.Index == 1 && Player(1).CurrentItem.Index == 1; }));
    }
    void TearDown() override {
        client.reset();
        server.reset();
        station.reset();
    }

    const TListPlayer& Player(int index) const { return *station->Channel(index); }
    std::vector<AsRunEvent> RemoteEvents() {
        EXPECT_TRUE(station->WaitForAsRunLog(5000));
        std::vector<AsRunEvent> remote;
        for (AsRunEvent& e : ReadAsRunDay(folder.Path(kAsRunFolderName), QDate::currentDate()))
            if (e.Kind == AsRunEventKind::Remote) remote.push_back(std::move(e));
        return remote;
    }
    QJsonObject Json(const HttpAnswer& answer) { return QJsonDocument::fromJson(answer.body).object(); }
    std::optional<CaptureTimeline> Heard(int output) {
        return CaptureTimeline::Load(QDir(CaptureFolder()).filePath(QString("device-%1").arg(output)));
    }

    TempFolder folder;
    NoPasswords passwords;
    std::unique_ptr<TStation> station;
    std::unique_ptr<TRemoteServer> server;
    std::unique_ptr<HttpClient> client;
    NewToken status, control;
};

void ExpectSafetyHeaders(const HttpAnswer& answer, const std::string& what) {
    EXPECT_EQ(answer.headers.value("content-security-policy"), "default-src 'self'") << what;
    EXPECT_EQ(answer.headers.value("x-content-type-options"), "nosniff") << what;
    EXPECT_EQ(answer.headers.value("cache-control"), "no-store") << what;
}

TEST_F(RemoteServerTest, EveryRefusalHasItsStatusAndChangesNothing) {
    const QString wrong = MakeToken("x", TokenScope::Control, QDateTime::currentDateTimeUtc()).Token;
    struct Row {
        const char* method;
        QString path;
        QString token;
        int bodyBytes;
        int status;
    };
    const Row rows[] = {
        {"GET", "/api/status", "", 0, 401},
        {"GET", "/api/status", wrong, 0, 401},
        {"GET", "/api/status", status.Token.left(42), 0, 401},
        {"GET", "/metrics", "", 0, 401},
        {"POST", "/api/channels/0/stop", "", 0, 401},
        {"POST", "/api/channels/0/stop", wrong, 0, 401},
        {"POST", "/api/channels/0/stop", status.Token, 0, 403},
        {"POST", "/api/alarm/start", status.Token, 0, 403},
        {"GET", "/api/nothing", control.Token, 0, 404},
        {"GET", "/index.html", "", 0, 404},
        {"GET", "/../Tessora.ini", "", 0, 404},
        {"GET", "/tessora.cfg", control.Token, 0, 404},
        {"POST", "/api/channels/7/stop", control.Token, 0, 404},
        {"POST", "/api/channels/0/rewind", control.Token, 0, 404},
        {"GET", "/api/channels/0/stop", control.Token, 0, 405},
        {"DELETE", "/api/status", control.Token, 0, 405},
        {"POST", "/api/status", control.Token, 0, 405},
        {"POST", "/", "", 0, 405},
        {"POST", "/api/channels/0/stop", control.Token, 16 * 1024 + 1, 413},
        {"POST", "/api/channels/x/stop", control.Token, 0, 400},
        {"POST", "/api/channels/-1/stop", control.Token, 0, 400},
        {"GET", "/api/asrun?date=2026-13-01", status.Token, 0, 400},
        {"GET", "/api/asrun?date=yesterday", status.Token, 0, 400},
        {"GET", "/api/asrun", status.Token, 0, 400},
    };
    for (const Row& row : rows) {
        const std::string what = std::string(row.method) + ' ' + row.path.toStdString();
        const HttpAnswer answer = client->Send(row.method, row.path, row.token, QByteArray(row.bodyBytes, 'x'));
        EXPECT_EQ(answer.status, row.status) << what << ": " << answer.body.toStdString();
        ExpectSafetyHeaders(answer, what);
        // The answer says why without repeating what was sent.
        if (!row.token.isEmpty()) {
            EXPECT_FALSE(answer.body.contains(row.token.toUtf8())) << what;
        }
        if (row.status == 401) {
            EXPECT_EQ(answer.headers.value("www-authenticate"), "Bearer realm=\"tessora\"") << what;
        }
        if (row.status == 405) {
            EXPECT_FALSE(answer.headers.value("allow").isEmpty()) << what;
        }
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(Player(i).PlayState, PlayOn) << what;
            EXPECT_EQ(Player(i).PlayMode, ListMode) << what;
        }
    }
    EXPECT_TRUE(RemoteEvents().empty());
}

TEST_F(RemoteServerTest, TenRefusedTokensFromOneAddressBlockItForAMinuteEvenWithAGoodToken) {
    for (int i = 0; i < 10; ++i) EXPECT_EQ(client->Get("/api/status", "guess" + QString::number(i)).status, 401);
    const HttpAnswer blocked = client->Get("/api/status", status.Token);
    EXPECT_EQ(blocked.status, 429);
    EXPECT_GT(blocked.headers.value("retry-after").toInt(), 50);
    ExpectSafetyHeaders(blocked, "429");
    EXPECT_EQ(client->Post("/api/channels/0/stop", control.Token).status, 429);
    EXPECT_EQ(Player(0).PlayState, PlayOn);
}

TEST_F(RemoteServerTest, StatusShowsEveryChannelAsItsPanelDoes) {
    ASSERT_TRUE(ServeUntil([this] { return station->ShownPanel(0)->Texts().Caption == "一号-上课"; }));
    const HttpAnswer answer = client->Get("/api/status", status.Token);
    ASSERT_EQ(answer.status, 200);
    EXPECT_EQ(answer.headers.value("content-type"), "application/json; charset=utf-8");
    const QJsonObject json = Json(answer);
    EXPECT_EQ(json["station"].toString(), station->Settings().SystemName);
    EXPECT_EQ(json["time"].toString().left(10), QDate::currentDate().toString(Qt::ISODate));
    const QJsonArray channels = json["channels"].toArray();
    ASSERT_EQ(channels.size(), 2);
    const QJsonObject one = channels[0].toObject();
    EXPECT_EQ(one["title"].toString(), "一号");
    EXPECT_EQ(one["state"].toString(), "playing");
    EXPECT_EQ(one["caption"].toString(), "一号-上课");
    EXPECT_EQ(one["list"].toString(), "day.lst");
    EXPECT_EQ(one["file"].toString(), "tone.wav");
    EXPECT_EQ(one["item"].toObject()["number"].toInt(), 1);
    EXPECT_EQ(one["item"].toObject()["title"].toString(), "上课");
    EXPECT_TRUE(one["next"].isNull());
    EXPECT_EQ(one["level"].toArray().size(), 2);
    EXPECT_TRUE(one["error"].isNull());
    EXPECT_EQ(channels[1].toObject()["output"].toString(), TSoundMixer::DeviceName(2));
    EXPECT_TRUE(json["today"].toObject().contains("heard"));
    EXPECT_TRUE(json["problems"].isArray());
    // The page needs no token, and is the program's own.
    const HttpAnswer page = client->Get("/");
    EXPECT_EQ(page.status, 200);
    EXPECT_TRUE(page.body.contains("/page.js"));
    ExpectSafetyHeaders(page, "page");
    EXPECT_EQ(client->Get("/page.js").headers.value("content-type"), "text/javascript; charset=utf-8");
    // Header names and the scheme in any case, as proxies and HTTP/2 clients send them.
    EXPECT_EQ(client->Send("GET", "/api/status", status.Token, {}, "authorization", "bearer ").status, 200);
    EXPECT_EQ(client->Send("GET", "/api/status", status.Token, {}, "AUTHORIZATION", "Bearer  ").status, 200);
    EXPECT_EQ(client->Send("GET", "/api/status", status.Token, {}, "Authorization", "Basic ").status, 401);
}

TEST_F(RemoteServerTest, StopSilencesTheOutputPlayResumesItAndEachIsNotedWithWhoAndWhence) {
    Serve(1500);
    const int64_t stopAt = QDateTime::currentMSecsSinceEpoch();
    const HttpAnswer stopped = client->Post("/api/channels/0/stop", control.Token);
    ASSERT_EQ(stopped.status, 200) << stopped.body.toStdString();
    EXPECT_EQ(Player(0).PlayState, PlayStopped);
    EXPECT_EQ(Player(1).PlayState, PlayOn);
    Serve(3000);
    const int64_t playAt = QDateTime::currentMSecsSinceEpoch();
    EXPECT_EQ(client->Post("/api/channels/0/play", control.Token).status, 200);
    EXPECT_EQ(Player(0).PlayState, PlayOn);
    Serve(2500);
    const int64_t end = QDateTime::currentMSecsSinceEpoch();
    EXPECT_EQ(client->Post("/api/channels/1/pause", control.Token).status, 200);
    EXPECT_EQ(Player(1).PlayState, PlayPaused);

    const auto one = Heard(1);
    const auto two = Heard(2);
    ASSERT_TRUE(one && two);
    EXPECT_TRUE(one->Sounds(440, stopAt - 1000, stopAt));
    EXPECT_FALSE(one->Sounds(440, stopAt + 1500, playAt)) << "the capture did not fall silent after stop";
    EXPECT_TRUE(one->Sounds(440, playAt + 1500, end)) << "play did not bring the sound back";
    EXPECT_TRUE(two->Sounds(440, stopAt + 1500, playAt)) << "the other channel stopped too";

    const std::vector<AsRunEvent> remote = RemoteEvents();
    ASSERT_EQ(remote.size(), 3u);
    EXPECT_EQ(remote[0].Channel, 0);
    EXPECT_EQ(remote[0].Detail, "token=教务处 from=127.0.0.1 command=stop");
    EXPECT_EQ(remote[1].Detail, "token=教务处 from=127.0.0.1 command=play");
    EXPECT_EQ(remote[2].Channel, 1);
    EXPECT_EQ(remote[2].Detail, "token=教务处 from=127.0.0.1 command=pause");
}

TEST_F(RemoteServerTest, TheAlarmTakesEveryChannelAsTheAlarmWindowDoesAndGivesThemBack) {
    EXPECT_EQ(client->Post("/api/channels/1/stop", control.Token).status, 200);
    const int64_t startAt = QDateTime::currentMSecsSinceEpoch();
    const HttpAnswer on = client->Post("/api/alarm/start", control.Token);
    ASSERT_EQ(on.status, 200);
    EXPECT_TRUE(Json(on)["changed"].toBool());
    EXPECT_FALSE(Json(client->Post("/api/alarm/start", control.Token))["changed"].toBool());  // sounds already
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(Player(i).PlayMode, ManualMode);
        EXPECT_EQ(Player(i).ManualFile, folder.Path("alarm.wav"));
        EXPECT_EQ(Player(i).PlayState, PlayOn);  // a stopped channel sounds the alarm too
    }
    Serve(5000);  // more than twice round the two-second recording
    const int64_t stopAt = QDateTime::currentMSecsSinceEpoch();
    EXPECT_EQ(client->Post("/api/alarm/stop", control.Token).status, 200);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(Player(i).PlayMode, ListMode);
    EXPECT_EQ(Player(1).PlayState, PlayStopped);  // back as it was
    Serve(2500);
    const int64_t end = QDateTime::currentMSecsSinceEpoch();
    const auto one = Heard(1);
    const auto two = Heard(2);
    ASSERT_TRUE(one && two);
    for (const auto* heard : {&*one, &*two}) {
        EXPECT_TRUE(heard->Sounds(880, startAt + 1500, stopAt - 200));
        EXPECT_TRUE(heard->QuietestPeak(startAt + 1500, stopAt - 200, 50) > 2000) << "the alarm has a gap";
    }
    EXPECT_TRUE(one->Sounds(440, stopAt + 1500, end)) << "the timetable did not resume";
    EXPECT_FALSE(two->Sounds(880, stopAt + 1500, end));
    const std::vector<AsRunEvent> remote = RemoteEvents();
    ASSERT_EQ(remote.size(), 4u);
    EXPECT_EQ(remote[1].Channel, kStationChannel);
    EXPECT_EQ(remote[1].Detail, "token=教务处 from=127.0.0.1 command=alarm/start");
    EXPECT_EQ(remote[3].Detail, "token=教务处 from=127.0.0.1 command=alarm/stop");
}

TEST_F(RemoteServerTest, TheAlarmWindowsHoldIsLeftToIt) {
    // As the 告警 window holds a channel: taken over, looping.
    TStationChannels channels(*station);
    TOverrideSession window(channels, folder.Path("alarm.wav"), TOverrideKind::Alarm);
    window.SetTaken(0, true);
    EXPECT_EQ(client->Post("/api/alarm/start", control.Token).status, 409);
    window.GiveBackAll();
    EXPECT_EQ(Player(0).PlayMode, ListMode);
    EXPECT_EQ(Player(1).PlayMode, ListMode);
    EXPECT_EQ(client->Post("/api/alarm/start", control.Token).status, 200);
    EXPECT_EQ(client->Post("/api/alarm/stop", control.Token).status, 200);
    EXPECT_EQ(Player(0).PlayMode, ListMode);
}

TEST_F(RemoteServerTest, MetricsParseAndNeedATokenUnlessPublic) {
    // Each channel's start reaches the log once its file sounds, and the metrics at the next
    // gathering of the facts.
    HttpAnswer answer;
    Exposition e;
    EXPECT_TRUE(ServeUntil([&] {
        answer = client->Get("/metrics", status.Token);
        e = ParsePrometheus(answer.body);
        return answer.status == 200 && e.Value("tessora_item_start_offset_seconds", {{"channel", "0"}}) &&
               e.Value("tessora_item_start_offset_seconds", {{"channel", "1"}});
    }));
    ASSERT_EQ(answer.status, 200);
    EXPECT_TRUE(answer.headers.value("content-type").startsWith("text/plain; version=0.0.4"));
    ASSERT_TRUE(e.error.isEmpty()) << e.error.toStdString();
    EXPECT_EQ(e.Value("tessora_channel_state", {{"title", "一号"}, {"state", "playing"}}), 1.0);
    EXPECT_GE(*e.Value("tessora_items_started_total", {{"channel", "1"}}), 1.0);
    EXPECT_TRUE(e.Value("tessora_item_start_offset_seconds", {{"channel", "0"}}));
    for (const char* name : {"tessora_channel_level", "tessora_items_missed_total", "tessora_errors_total"})
        EXPECT_TRUE(e.types.contains(name)) << name;

    server.reset();
    server = std::make_unique<TRemoteServer>(*station);
    ASSERT_TRUE(server->Start({true, "127.0.0.1", 0, true}));
    HttpClient open(server->Port());
    EXPECT_EQ(open.Get("/metrics").status, 200);
    EXPECT_EQ(open.Get("/api/status").status, 401);
}

TEST_F(RemoteServerTest, AsRunGivesTheDaysReportLinesAndTotals) {
    const QString today = "/api/asrun?date=" + QDate::currentDate().toString(Qt::ISODate);
    // Each channel's start reaches the log once its file sounds.
    HttpAnswer answer;
    EXPECT_TRUE(ServeUntil([&] {
        answer = client->Get(today, status.Token);
        return Json(answer)["heard"].toInt() == 2;
    }));
    ASSERT_EQ(answer.status, 200) << answer.body.toStdString();
    ExpectSafetyHeaders(answer, "asrun");
    const QJsonObject json = Json(answer);
    const QJsonArray lines = json["lines"].toArray();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].toObject()["title"].toString(), "一号");
    EXPECT_EQ(lines[0].toObject()["itemTitle"].toString(), "上课");
    EXPECT_FALSE(lines[0].toObject()["heard"].isNull());
    EXPECT_EQ(json["total"].toInt(), 2);
    EXPECT_EQ(json["heard"].toInt(), 2);
    // Another day is read away from the GUI thread: until it has been, the answer says to come again.
    const HttpAnswer first = client->Get("/api/asrun?date=2020-01-01", status.Token);
    if (first.status == 503) EXPECT_EQ(first.headers.value("retry-after"), "1");
    else EXPECT_EQ(first.status, 200);
    HttpAnswer past;
    EXPECT_TRUE(ServeUntil([&] {
        past = client->Get("/api/asrun?date=2020-01-01", status.Token);
        return past.status != 503;
    }));
    EXPECT_EQ(past.status, 200);
    EXPECT_EQ(Json(past)["date"].toString(), "2020-01-01");
    EXPECT_EQ(Json(past)["heard"].toInt(), 0);
    EXPECT_EQ(Json(past)["lines"].toArray().size(), 2);  // the same day list applies every day
}

TEST_F(RemoteServerTest, ListensOnlyWhereTheSettingsSayAndNotWhenOff) {
    TRemoteServer off(*station);
    EXPECT_TRUE(off.Start({false, "127.0.0.1", 0, false}));
    EXPECT_FALSE(off.Listening());
    TRemoteServer bad(*station);
    EXPECT_FALSE(bad.Start({true, "school.lan", 0, false}));
    EXPECT_FALSE(bad.Error().isEmpty());
    TRemoteServer taken(*station);
    EXPECT_FALSE(taken.Start({true, "127.0.0.1", server->Port(), false}));  // the port is in use
    EXPECT_FALSE(taken.Listening());
}

}  // namespace
}  // namespace tessora::test
