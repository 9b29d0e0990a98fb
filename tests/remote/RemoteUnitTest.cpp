// The HTTP server's parts without a network: tokens, the refusal limit, the day's counts, the
// metrics text and the settings that turn the server on.
#include "FileError.h"
#include "Metrics.h"
#include "PlayerTestSupport.h"
#include "PrometheusText.h"
#include "RefusalLimit.h"
#include "SettingsForm.h"
#include "SettingsStore.h"
#include "StationReport.h"
#include "TokenStore.h"

#include <QFileInfo>

#include <sys/stat.h>

#include <gtest/gtest.h>

namespace tessora::test {
namespace {

const QDateTime kCreated(QDate(2026, 12, 11), QTime(8, 30), Qt::UTC);

TEST(Tokens, ANewTokenIsLongUrlSafeAndOnlyItsOwnHashMatchesIt) {
    const NewToken a = MakeToken("office", TokenScope::Status, kCreated);
    const NewToken b = MakeToken("desk", TokenScope::Control, kCreated);
    EXPECT_EQ(a.Token.size(), 43);
    EXPECT_TRUE(QRegularExpression("^[A-Za-z0-9_-]{43}$").match(a.Token).hasMatch());
    EXPECT_NE(a.Token, b.Token);
    const std::vector<TokenEntry> tokens{a.Entry, b.Entry};
    EXPECT_EQ(FindToken(tokens, a.Token.toLatin1())->Name, "office");
    EXPECT_EQ(FindToken(tokens, b.Token.toLatin1())->Scope, TokenScope::Control);
    for (const QByteArray& wrong : {QByteArray(), a.Token.toLatin1().chopped(1), a.Token.toLatin1() + "x",
                                   QByteArray(a.Entry.Hash.toHex()), b.Token.toLatin1().toUpper()})
        EXPECT_FALSE(FindToken(tokens, wrong)) << wrong.toStdString();
    // Two tokens of one name would hash differently even if equal: the salts differ.
    EXPECT_NE(a.Entry.Salt, b.Entry.Salt);
}

TEST(Tokens, TheFileKeepsNoTokenIsPrivateAndReadsBackWhole) {
    TempFolder folder;
    const QString path = folder.Path(kTokenFileName);
    EXPECT_TRUE(ReadTokens(path).empty());  // no file: no tokens
    const NewToken a = MakeToken("教务处", TokenScope::Control, kCreated);
    const NewToken b = MakeToken("monitor", TokenScope::Status, kCreated);
    WriteTokens(path, {a.Entry, b.Entry});
    EXPECT_EQ(ReadTokens(path), (std::vector<TokenEntry>{a.Entry, b.Entry}));
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    const QByteArray stored = folder.Read(kTokenFileName);
    EXPECT_FALSE(stored.contains(a.Token.toLatin1()));
    EXPECT_FALSE(stored.contains(b.Token.toLatin1()));
    // A damaged line is skipped, the others kept.
    folder.Write(kTokenFileName, stored + "broken\tline\n");
    EXPECT_EQ(ReadTokens(path).size(), 2u);
    EXPECT_THROW(ReadTokens(folder.MakeFolder("a-folder")), EFileError);
}

TEST(Tokens, NamesAreOneWordOfPrintableCharacters) {
    for (const QString& good : QStringList{"a", "教务处", "office-pc_2", QString(64, QChar(0x78))}) EXPECT_TRUE(IsTokenName(good)) << good.toStdString();
    for (const QString& bad : QStringList{"", "two words", "tab\there", "line\nend", QString(65, QChar(0x78))}) EXPECT_FALSE(IsTokenName(bad)) << bad.toStdString();
    EXPECT_EQ(TokenScopeFromName("control"), TokenScope::Control);
    EXPECT_EQ(TokenScopeFromName("Control"), std::nullopt);
}

TEST(RefusalLimit, TenRefusalsInAMinuteBlockTheAddressForAMinuteAndNoOther) {
    TRefusalLimit limit;
    for (int i = 0; i < 9; ++i) limit.NoteRefusal("10.0.0.5", 1000 + i * 1000);
    EXPECT_EQ(limit.BlockedFor("10.0.0.5", 10000), 0);
    limit.NoteRefusal("10.0.0.5", 20000);
    EXPECT_EQ(limit.BlockedFor("10.0.0.5", 20000), 60000);
    EXPECT_EQ(limit.BlockedFor("10.0.0.6", 20000), 0);
    EXPECT_EQ(limit.BlockedFor("10.0.0.5", 80000), 0);
    // Refusals spread wider than a minute never block.
    TRefusalLimit slow;
    for (int i = 0; i < 30; ++i) slow.NoteRefusal("10.0.0.7", i * 7000);
    EXPECT_EQ(slow.BlockedFor("10.0.0.7", 30 * 7000), 0);
}

TEST(RefusalLimit, ManyAddressesDoNotGrowItWithoutBound) {
    TRefusalLimit limit;
    for (int i = 0; i < 3 * TRefusalLimit::kMaxAddresses; ++i) limit.NoteRefusal(QString::number(i), i);
    for (int i = 0; i < 10; ++i) limit.NoteRefusal("x", 100000);
    EXPECT_GT(limit.BlockedFor("x", 100000), 0);
}

AsRunEvent Start(int channel, int item, const QString& delay, int h, int m) {
    return {LocalMoment{QDate(2026, 12, 11), double(At(h, m, 0)) / kMsPerDay}, channel, "c", AsRunEventKind::Start, item,
            "t", "/f.wav", delay};
}

TEST(DayCounts, StartedMissedAndErrorsPerChannelAndTotalsCountOnlyEndedItemsAsMissed) {
    StationReport day;
    day.Date = QDate(2026, 12, 11);
    TPlayList list;
    list.Items = {Item(1, "早铃", At(8, 0, 0), At(8, 0, 30), "/b.wav"), Item(2, "午铃", At(12, 0, 0), At(12, 0, 30), "/b.wav"),
                  Item(3, "晚铃", At(17, 0, 0), At(17, 0, 30), "/b.wav")};
    day.Events = {Start(0, 1, "12", 8, 0), Start(1, 1, "40", 8, 0),
                  {LocalMoment{day.Date, 0.4}, 1, "c", AsRunEventKind::Error, std::nullopt, "", "", "file-missing: x"}};
    day.Report = ReportDay({{"一号", &list}, {"二号", &list}}, day.Date, day.Events);
    const LocalMoment noon{day.Date, double(At(13, 0, 0)) / kMsPerDay};
    const std::vector<ChannelCounts> counts = CountByChannel(day, 2, noon);
    ASSERT_EQ(counts.size(), 2u);
    EXPECT_EQ(counts[0].Started, 1);
    EXPECT_EQ(counts[0].Missed, 1);  // 12:00, over; 17:00 is still to come
    EXPECT_EQ(counts[1].Errors, 1);
    EXPECT_DOUBLE_EQ(*counts[1].LastStartOffset, 0.040);
    const DayTotals totals = TotalsOf(day.Report, day.Date, noon);
    EXPECT_EQ(totals.Total, 6);
    EXPECT_EQ(totals.Heard, 2);
    EXPECT_EQ(totals.Missed, 2);
    EXPECT_EQ(TotalsOf(day.Report, day.Date, LocalMoment{day.Date.addDays(1), 0}).Missed, 4);  // a past day ended whole
}

TEST(Metrics, TheTextParsesWithEveryChannelStateLevelAndCounter) {
    StationSnapshot snapshot;
    ChannelSnapshot a;
    a.Channel = 0;
    a.Title = "一号 \"东楼\"\\";
    a.State = "playing";
    a.Level[0] = 40;
    a.Level[1] = 38;
    ChannelSnapshot b;
    b.Channel = 1;
    b.Title = "二号";
    b.State = "error";
    snapshot.Channels = {a, b};
    StationFacts facts;
    facts.Counts = {ChannelCounts{5, 1, 0, 0.012}, ChannelCounts{0, 2, 3, std::nullopt}};
    const Exposition e = ParsePrometheus(MetricsText(snapshot, facts));
    ASSERT_TRUE(e.error.isEmpty()) << e.error.toStdString();
    EXPECT_EQ(e.types.value("tessora_items_started_total"), "counter");
    EXPECT_EQ(e.types.value("tessora_channel_state"), "gauge");
    EXPECT_EQ(e.Value("tessora_channel_state", {{"title", a.Title}, {"state", "playing"}}), 1.0);
    EXPECT_EQ(e.Value("tessora_channel_state", {{"channel", "0"}, {"state", "idle"}}), 0.0);
    EXPECT_EQ(e.Value("tessora_channel_state", {{"channel", "1"}, {"state", "error"}}), 1.0);
    EXPECT_EQ(e.Value("tessora_channel_level", {{"channel", "0"}, {"side", "right"}}), 38.0);
    EXPECT_EQ(e.Value("tessora_item_start_offset_seconds", {{"channel", "0"}}), 0.012);
    EXPECT_FALSE(e.Value("tessora_item_start_offset_seconds", {{"channel", "1"}}));  // nothing started yet
    EXPECT_EQ(e.Value("tessora_items_missed_total", {{"channel", "1"}}), 2.0);
    EXPECT_EQ(e.Value("tessora_errors_total", {{"channel", "1"}}), 3.0);
    // The parser itself refuses what a scraper would.
    EXPECT_FALSE(ParsePrometheus("x 1\n").error.isEmpty());
    EXPECT_FALSE(ParsePrometheus("# TYPE x gauge\nx{a=\"b} 1\n").error.isEmpty());
    EXPECT_FALSE(ParsePrometheus("# TYPE x gauge\nx one\n").error.isEmpty());
}

TEST(RemoteSettings, OffOnLoopbackByDefaultAndKeptInTheirOwnSection) {
    TempFolder folder;
    NoPasswords passwords;
    TSettingsStore store(folder.Path(), passwords);
    SystemSettings settings;
    MainWindowSettings window;
    store.LoadSettings(settings, window);
    EXPECT_EQ(settings.Remote, RemoteSettings{});
    EXPECT_FALSE(settings.Remote.Enabled);
    EXPECT_EQ(settings.Remote.Address, "127.0.0.1");
    EXPECT_EQ(settings.Remote.Port, 8790);
    settings.Remote = {true, "192.168.1.20", 8080, true};
    ASSERT_TRUE(store.SaveSettings(settings, window));
    const QString ini = QString::fromLocal8Bit(folder.Read(kSettingsFileName));
    EXPECT_TRUE(ini.contains("[Remote]")) << ini.toStdString();
    SystemSettings again;
    store.LoadSettings(again, window);
    EXPECT_EQ(again.Remote, settings.Remote);
}

TEST(RemoteSettings, TheDialogTakesAnAddressAndAPortOrSaysWhyNot) {
    SettingsFormFields f = FieldsFromSettings(SystemSettings{});
    EXPECT_EQ(f.RemoteAddress, "127.0.0.1");
    EXPECT_EQ(f.RemotePort, "8790");
    f.RemoteEnabled = true;
    f.RemoteAddress = " 0.0.0.0 ";
    f.RemotePort = "8000";
    const auto taken = SettingsFromFields(f, SystemSettings{});
    ASSERT_TRUE(taken.Settings) << taken.Error.toStdString();
    EXPECT_EQ(taken.Settings->Remote, (RemoteSettings{true, "0.0.0.0", 8000, false}));
    for (const auto& [address, port] : std::vector<std::pair<QString, QString>>{
             {"256.1.1.1", "80"}, {"school.lan", "80"}, {"10.0.0.1", "0"}, {"10.0.0.1", "65536"}, {"10.0.0.1", "x"}}) {
        f.RemoteAddress = address;
        f.RemotePort = port;
        const auto refused = SettingsFromFields(f, SystemSettings{});
        EXPECT_FALSE(refused.Settings) << address.toStdString() << ' ' << port.toStdString();
        EXPECT_FALSE(refused.Error.isEmpty());
    }
    for (const QString good : {"::1", "::", "fe80::1", "192.168.0.1"}) EXPECT_TRUE(IsListenAddress(good)) << good.toStdString();
}

}  // namespace
}  // namespace tessora::test
