#include "DateTimeValue.h"
#include "FileError.h"
#include "FileNames.h"
#include "PlayList.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstring>

#include <sys/stat.h>

using namespace tessora;

namespace {

// A record laid out by hand, offset by offset, independently of the code under test.
QByteArray HandMadeRecord() {
    QByteArray r(600, '\0');
    std::memcpy(r.data() + 0, "\xC9\xCF\xBF\xCE\xC1\xE5", 6);  // 上课铃
    const int32_t index = 77;
    std::memcpy(r.data() + 52, &index, 4);
    const double start = 8.0 / 24, end = 8.0 / 24 + 30.0 / 86400;
    std::memcpy(r.data() + 56, &start, 8);
    std::memcpy(r.data() + 64, &end, 8);
    r[72] = 1;  // folder
    std::memcpy(r.data() + 73, "/srv/bells", 10);
    std::memcpy(r.data() + 329, "note", 4);
    r[585] = 1;
    const int32_t device = 2, order = 1;
    std::memcpy(r.data() + 588, &device, 4);
    std::memcpy(r.data() + 592, &order, 4);
    return r;
}

PlayItem BellItem() {
    PlayItem item;
    item.Title = "上课铃";
    item.Index = 77;
    item.StartTime = 8.0 / 24;
    item.EndTime = 8.0 / 24 + 30.0 / 86400;
    item.Kind = KindFolder;
    item.Source = "/srv/bells";
    item.Memo = "note";
    item.Loop = 1;
    item.DeviceIndex = 2;
    item.PlayOrder = 1;
    return item;
}

}  // namespace

TEST(PlayItemRecord, MatchesTheFileLayoutByteForByte) {
    const QByteArray expected = HandMadeRecord();
    const PlayItemRecord encoded = EncodePlayItem(BellItem());
    EXPECT_EQ(QByteArray(encoded.data(), 600), expected);
    EXPECT_EQ(DecodePlayItem(std::span<const char, 600>(expected.constData(), 600)), BellItem());
}

TEST(PlayItemRecord, IgnoresBytesAfterTerminatorsAndPadding) {
    QByteArray r = HandMadeRecord();
    r[51] = 'P';                                  // padding after Title
    std::memcpy(r.data() + 73 + 11, "junk", 4);   // after Source's terminator
    std::memcpy(r.data() + 586, "\xFF\xFF", 2);   // padding after Loop
    std::memcpy(r.data() + 596, "\xFF\xFF\xFF\xFF", 4);
    EXPECT_EQ(DecodePlayItem(std::span<const char, 600>(r.constData(), 600)), BellItem());
}

TEST(PlayItemRecord, LongTextsAreCutAtACharacterAndKeepTheirTerminator) {
    PlayItem item;
    item.Title = QString("a") + QString("上").repeated(30);  // 61 bytes
    item.Source = QString("x").repeated(300);
    item.Memo = QString("备").repeated(200);
    const PlayItemRecord r = EncodePlayItem(item);
    EXPECT_EQ(r[50], '\0');  // 1 + 24*2 = 49 bytes of text; the half character is dropped
    EXPECT_EQ(r[49], '\0');
    const PlayItem back = DecodePlayItem(r);
    EXPECT_EQ(back.Title, QString("a") + QString("上").repeated(24));
    EXPECT_EQ(back.Source, QString("x").repeated(255));
    EXPECT_EQ(back.Memo, QString("备").repeated(127));
    EXPECT_EQ(back.Kind, KindFile);  // nothing spilled into the next field
}

TEST(PlayItemRecord, TitleOfExactlyFiftyBytesSurvives) {
    PlayItem item;
    item.Title = QString("铃").repeated(25);
    EXPECT_EQ(DecodePlayItem(EncodePlayItem(item)).Title, item.Title);
}

TEST(DayListFile, SavesAndLoadsWholeRecordsRenumbered) {
    TempFolder dir;
    TPlayList list;
    for (int i = 0; i < 3; ++i) {
        PlayItem item = BellItem();
        item.Index = 100 + i;
        item.Title = QString("item %1").arg(i);
        list.Items.push_back(item);
    }
    const QString written = list.SaveToFile(dir.Path("monday"));
    EXPECT_EQ(written, dir.Path("monday.lst"));
    EXPECT_EQ(dir.Read("monday.lst").size(), 1800);
    EXPECT_EQ(dir.Read("monday.lst").mid(52, 4), QByteArray("\x64\0\0\0", 4));  // Index written as held

    TPlayList loaded;
    loaded.LoadFromFile(written);
    ASSERT_EQ(loaded.Items.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(loaded.Items[i].Index, i + 1);
        EXPECT_EQ(loaded.Items[i].Title, QString("item %1").arg(i));
    }
}

TEST(DayListFile, ExtensionIsAppendedOnlyWhenMissing) {
    TempFolder dir;
    TPlayList list;
    struct Case { QString given, written; };
    for (const Case& c : {Case{"monday", "monday.lst"}, Case{"Monday.LST", "Monday.LST"},
                          Case{"week.v2", "week.v2.lst"}, Case{"a.lst", "a.lst"}})
        EXPECT_EQ(list.SaveToFile(dir.Path(c.given)), dir.Path(c.written));
}

TEST(DayListFile, EmptyListIsAnEmptyFile) {
    TempFolder dir;
    TPlayList list;
    list.SaveToFile(dir.Path("empty.lst"));
    EXPECT_TRUE(dir.Read("empty.lst").isEmpty());
    list.Items.push_back(BellItem());
    list.LoadFromFile(dir.Path("empty.lst"));
    EXPECT_TRUE(list.Items.empty());
}

TEST(DayListFile, TrailingPartialRecordIsIgnored) {
    TempFolder dir;
    const QString path = dir.Write("odd.lst", HandMadeRecord() + QByteArray(400, '\xAB'));
    TPlayList list;
    list.LoadFromFile(path);
    ASSERT_EQ(list.Items.size(), 1u);
    EXPECT_EQ(list.Items[0].Title, "上课铃");
}

TEST(DayListFile, BadFilesRaiseAClearErrorAndLeaveTheListEmpty) {
    TempFolder dir;
    QDir().mkpath(dir.Path("folder.lst"));
    // A FIFO would block the reader until someone writes into it.
    ASSERT_EQ(mkfifo(dir.Path("fifo.lst").toLocal8Bit().constData(), 0600), 0);
    struct Case { QString path, message; };
    for (const Case& c : {Case{dir.Path("missing.lst"), "File not found"}, Case{dir.Path("folder.lst"), "Is a folder, not a file"},
                          Case{dir.Path("fifo.lst"), "Not a regular file"}}) {
        TPlayList list;
        list.Items.push_back(BellItem());
        try {
            list.LoadFromFile(c.path);
            ADD_FAILURE() << "no error for " << c.path.toStdString();
        } catch (const EFileError& e) {
            EXPECT_EQ(e.Message, c.message);
            EXPECT_EQ(e.Path, c.path);
        }
        EXPECT_TRUE(list.Items.empty());
    }
}

TEST(DayListFile, RandomBytesLoadWithoutCrashing) {
    TempFolder dir;
    QByteArray noise(6000, '\0');
    uint32_t state = 12345;
    for (char& c : noise) c = static_cast<char>((state = state * 1103515245 + 12345) >> 16);
    TPlayList list;
    list.LoadFromFile(dir.Write("noise.lst", noise));
    EXPECT_EQ(list.Items.size(), 10u);
    for (const PlayItemRow& row : list.FillListView()) EXPECT_EQ(row.Start.size(), 8);
}

TEST(DayListFile, SaveReplacesTheWholeFileAndLeavesNoTemporaryFiles) {
    TempFolder dir;
    dir.Write("day.lst", QByteArray(6000, 'x'));
    TPlayList list;
    list.Items.push_back(BellItem());
    list.SaveToFile(dir.Path("day.lst"));
    EXPECT_EQ(dir.Read("day.lst").size(), 600);
    EXPECT_EQ(dir.Entries(), QStringList{"day.lst"});
}

TEST(DayListFile, SaveOverAFolderFailsAndKeepsIt) {
    TempFolder dir;
    QDir().mkpath(dir.Path("taken.lst"));
    TPlayList list;
    EXPECT_THROW(list.SaveToFile(dir.Path("taken.lst")), EFileError);
    EXPECT_TRUE(QFileInfo(dir.Path("taken.lst")).isDir());
}

TEST(DayListRows, ShowTimesPlayModesAndMemo) {
    struct Case {
        uint8_t kind;
        int32_t order;
        uint8_t loop;
        QString playMode;
    };
    const Case cases[] = {
        {KindFile, 0, 0, ""},          {KindFile, 0, 1, " 循环播放"},
        {KindFolder, 0, 0, "顺序"},    {KindFolder, 0, 1, "顺序 循环播放"},
        {KindFolder, 5, 1, "随机 循环播放"}, {KindDevice, 0, 0, ""},
    };
    for (const Case& c : cases) {
        PlayItem item;
        item.Kind = c.kind;
        item.PlayOrder = c.order;
        item.Loop = c.loop;
        EXPECT_EQ(RowOf(item).PlayMode, c.playMode);
    }
    PlayItem item = BellItem();
    item.StartTime = TimeValue(7, 5, 0);
    item.EndTime = TimeValue(19, 0, 0) + 45000.0;  // a date part is ignored
    const PlayItemRow row = RowOf(item);
    EXPECT_EQ(row.Title, "上课铃");
    EXPECT_EQ(row.Start, "07:05:00");
    EXPECT_EQ(row.End, "19:00:00");
    EXPECT_EQ(row.Source, "/srv/bells");
    EXPECT_EQ(row.Memo, "note");
}

TEST(TimeOfDayText, FormatsAndParses) {
    struct Case { double value; QString text; };
    for (const Case& c : {Case{0, "00:00:00"}, Case{TimeValue(23, 59, 59), "23:59:59"},
                          Case{TimeValue(8, 0, 0, 999.6), "08:00:01"}, Case{-1.25, "06:00:00"},
                          Case{TimeValue(12, 34, 56), "12:34:56"}}) {
        EXPECT_EQ(FormatTimeOfDay(c.value), c.text) << c.value;
    }
    EXPECT_DOUBLE_EQ(*ParseTimeOfDay("7:05:00"), TimeValue(7, 5, 0));
    for (const char* bad : {"24:00:00", "12:60:00", "12:00", "noon", ""}) EXPECT_FALSE(ParseTimeOfDay(bad)) << bad;
}

TEST(LocalMomentText, ParsesFractionsBelowTheMillisecond) {
    const auto moment = LocalMoment::Parse("2024-02-29T08:00:00.0005");
    ASSERT_TRUE(moment);
    EXPECT_EQ(moment->date, QDate(2024, 2, 29));
    EXPECT_NEAR(moment->timeOfDay * kMsPerDay, 8 * 3600000.0 + 0.5, 1e-6);
    for (const char* bad : {"2023-02-29T08:00:00", "2024-01-01 08:00:00", "2024-01-01T08:00:00.1234567", "2024-01-01T25:00:00"})
        EXPECT_FALSE(LocalMoment::Parse(bad)) << bad;
}

TEST(FileNames, BothSeparatorsCountAndTheExtensionIsLowerCased) {
    struct Case { QString path, name, extension; };
    const Case cases[] = {
        {"/srv/lists/Monday.LST", "Monday.LST", ".lst"},
        {"C:\\广播\\dir.v2\\周一", "周一", ""},
        {"music/tune.Mp3", "tune.Mp3", ".mp3"},
        {"noext", "noext", ""},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FileNameOf(c.path), c.name) << c.path.toStdString();
        EXPECT_EQ(LowerExtension(c.path), c.extension) << c.path.toStdString();
    }
}
