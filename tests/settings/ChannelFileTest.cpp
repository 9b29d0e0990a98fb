#include "ChannelFile.h"
#include "FileError.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace tessora;

namespace {

// One record laid out by hand, offset by offset.
QByteArray HandMadeChannel(const QByteArray& title, const QByteArray& dayList, const QByteArray& periodic) {
    QByteArray r(580, '\0');
    std::memcpy(r.data() + 0, title.constData(), title.size());
    std::memcpy(r.data() + 51, dayList.constData(), dayList.size());
    const int32_t card = 3, volume = -1500;
    std::memcpy(r.data() + 308, &card, 4);
    r[312] = 2;  // stopped
    std::memcpy(r.data() + 313, periodic.constData(), periodic.size());
    std::memcpy(r.data() + 572, &volume, 4);
    r[576] = 1;  // manual mode
    return r;
}

ChannelConfig Channel(const QString& title, const QString& dayList = {}, const QString& periodic = {}) {
    ChannelConfig c;
    c.Title = title;
    c.DayListFile = dayList;
    c.PeriodicListFile = periodic;
    c.SoundCard = 3;
    c.PlayState = PlayStopped;
    c.Volume = -1500;
    c.PlayMode = ManualMode;
    return c;
}

std::vector<ChannelConfig> Configs(const ChannelLoadResult& result) {
    std::vector<ChannelConfig> configs;
    for (const auto& c : result.Channels) configs.push_back(c.Config);
    return configs;
}

}  // namespace

TEST(ChannelRecord, MatchesTheFileLayoutByteForByte) {
    const QByteArray expected = HandMadeChannel("\xD2\xBB\xC2\xA5", "/l/a.lst", "");  // 一楼
    const ChannelRecord encoded = EncodeChannel(Channel("一楼", "/l/a.lst"));
    EXPECT_EQ(QByteArray(encoded.data(), 580), expected);
    EXPECT_EQ(DecodeChannel(std::span<const char, 580>(expected.constData(), 580)), Channel("一楼", "/l/a.lst"));
}

TEST(ChannelRecord, FullWidthTitleHasNoTerminatorAndLongTextsNeverSpill) {
    const QString title51 = QString("x") + QString("楼").repeated(25);
    ChannelConfig c = Channel(title51, QString("d").repeated(300), QString("p").repeated(300));
    const ChannelRecord r = EncodeChannel(c);
    EXPECT_EQ(r[50], static_cast<char>(0xA5));  // the last byte of the last character
    const ChannelConfig back = DecodeChannel(r);
    EXPECT_EQ(back.Title, title51);
    EXPECT_EQ(back.DayListFile, QString("d").repeated(256));
    EXPECT_EQ(back.PeriodicListFile, QString("p").repeated(256));
    EXPECT_EQ(back.SoundCard, 3);
    EXPECT_EQ(back.PlayState, PlayStopped);

    c.Title = QString("楼").repeated(26);  // 52 bytes: the half character is dropped
    EXPECT_EQ(DecodeChannel(EncodeChannel(c)).Title, QString("楼").repeated(25));
}

class ChannelFileTest : public ::testing::Test {
protected:
    TempFolder dir;
    TChannelFile file;
};

TEST_F(ChannelFileTest, CountIsTheSizeInWholeRecords) {
    struct Case { qsizetype bytes; size_t channels; };
    for (const Case& c : {Case{0, 0}, Case{579, 0}, Case{1000, 1}, Case{1160, 2}}) {
        QByteArray contents;
        while (contents.size() < c.bytes) contents += HandMadeChannel("ch", "/a.lst", "");
        const ChannelLoadResult result = file.LoadChannels(dir.Write("t.cfg", contents.left(c.bytes)));
        EXPECT_TRUE(result.Complete);
        EXPECT_EQ(result.Channels.size(), c.channels) << c.bytes;
        // Bytes after the last whole record are no channel, and are named as damage.
        EXPECT_EQ(result.Damage.isEmpty(), c.bytes % 580 == 0) << c.bytes;
    }
    EXPECT_EQ(file.LoadChannels(dir.Write("t.cfg", QByteArray(1000, '\0'))).Damage,
              "1000 bytes is not a whole number of 580-byte channel records (420 bytes left over)");
}

TEST_F(ChannelFileTest, PeriodicListReplacesTheStoredDayList) {
    const QString lsm = dir.Write("week.lsm", "/mon.lst\r\n\r\n\r\n\r\n\r\n\r\n/sat.lst\r\n");
    const QByteArray contents = HandMadeChannel("a", "/stale.lst", lsm.toUtf8()) + HandMadeChannel("b", "/b.lst", "");
    const ChannelLoadResult result = file.LoadChannels(dir.Write("t.cfg", contents));
    ASSERT_TRUE(result.Complete);
    ASSERT_EQ(result.Channels.size(), 2u);
    EXPECT_EQ(result.Channels[0].Config.DayListFile, "");
    EXPECT_EQ(result.Channels[0].PeriodicLines.size(), 7);
    EXPECT_EQ(result.Channels[0].PeriodicLines[6], "/sat.lst");
    EXPECT_EQ(result.Channels[1].Config.DayListFile, "/b.lst");
    EXPECT_TRUE(result.Channels[1].PeriodicLines.isEmpty());
}

TEST_F(ChannelFileTest, SaveAndLoadRoundTrip) {
    const std::vector<ChannelConfig> channels = {Channel("一楼", "/l/一.lst"), Channel("操场"), Channel("")};
    EXPECT_EQ(file.SaveChannels(dir.Path("tessora"), channels), dir.Path("tessora.cfg"));
    EXPECT_EQ(dir.Read("tessora.cfg").size(), 1740);
    EXPECT_EQ(Configs(file.LoadChannels(dir.Path("tessora.cfg"))), channels);
    EXPECT_EQ(file.SaveChannels(dir.Path("Backup.CFG"), {}), dir.Path("Backup.CFG"));
    EXPECT_TRUE(dir.Read("Backup.CFG").isEmpty());
}

TEST_F(ChannelFileTest, AFileThatFailedPartWayIsNeverRewrittenWithoutItsUnreadChannels) {
    const QByteArray original = HandMadeChannel("one", "/1.lst", "") + HandMadeChannel("two", "", dir.Path("gone.lsm").toUtf8()) +
                                HandMadeChannel("three", "/3.lst", "");
    const QString path = dir.Write("tessora.cfg", original);
    const ChannelLoadResult result = file.LoadChannels(path);
    EXPECT_FALSE(result.Complete);
    EXPECT_EQ(result.Channels.size(), 1u);
    EXPECT_TRUE(result.Error.contains("File not found"));

    EXPECT_THROW(file.SaveChannels(path, Configs(result)), EFileError);
    EXPECT_THROW(file.SaveChannels(dir.Path("tessora"), Configs(result)), EFileError);  // the same file
    EXPECT_EQ(dir.Read("tessora.cfg"), original);
    EXPECT_NO_THROW(file.SaveChannels(dir.Path("elsewhere.cfg"), Configs(result)));

    dir.Write("gone.lsm", "\r\n\r\n\r\n\r\n\r\n\r\n\r\n");  // repaired: a new load clears the guard
    ASSERT_TRUE(file.LoadChannels(path).Complete);
    EXPECT_NO_THROW(file.SaveChannels(path, {}));
}

TEST_F(ChannelFileTest, AMissingFileMayBeWrittenAtExit) {
    const ChannelLoadResult result = file.LoadChannels(dir.Path("tessora.cfg"));
    EXPECT_FALSE(result.Complete);
    EXPECT_TRUE(result.Error.endsWith("File not found"));
    EXPECT_NO_THROW(file.SaveChannels(dir.Path("tessora.cfg"), {Channel("new")}));
    EXPECT_EQ(dir.Read("tessora.cfg").size(), 580);
}

TEST_F(ChannelFileTest, AFolderInTheWayIsAClearError) {
    QDir().mkpath(dir.Path("tessora.cfg"));
    const ChannelLoadResult result = file.LoadChannels(dir.Path("tessora.cfg"));
    EXPECT_FALSE(result.Complete);
    EXPECT_TRUE(result.Error.contains("Is a folder"));
    EXPECT_THROW(file.SaveChannels(dir.Path("tessora.cfg"), {}), EFileError);
}
