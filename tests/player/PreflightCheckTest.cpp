// The pre-flight check against small stations in a temporary folder, with a fake reader and a
// given number of outputs: each problem, where it is reported, and a clean station.
#include "PreflightCheck.h"

#include "PeriodicList.h"
#include "PlayerTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>

using namespace tessora;
using tessora::test::At;
using tessora::test::Item;

namespace {

const QDate kFriday(2026, 12, 11);

// A station folder: "good*.wav" files the fake reader takes, "bad.wav" it refuses.
class Station {
public:
    Station() {
        dir.Write("good.wav");
        dir.Write("good2.wav");
        dir.Write("bad.wav");
        dir.Write("tunes/a.wav");
        dir.Write("tunes/b.mp3");
    }
    QString Path(const QString& name) const { return dir.Path(name); }

    QString DayList(const QString& name, std::vector<PlayItem> items) const {
        TPlayList list;
        list.Items = std::move(items);
        return list.SaveToFile(dir.Path(name));
    }
    // One channel on output 0 following `listFile`.
    static ChannelConfig Channel(const QString& title, const QString& listFile, int soundCard = 0) {
        ChannelConfig c;
        c.Title = title;
        c.DayListFile = listFile;
        c.SoundCard = soundCard;
        return c;
    }

    CheckEnvironment Environment() {
        return {2, [this](const QString& path) -> std::optional<QString> {
                    ++opened[path];
                    if (QFileInfo(path).fileName() == "bad.wav") return QString("Invalid data found when processing input");
                    return std::nullopt;
                }};
    }

    std::vector<CheckFinding> Check(const std::vector<ChannelConfig>& channels) {
        return CheckStation(channels, kFriday, Environment());
    }

    TempFolder dir;
    QHash<QString, int> opened;
};

struct Expected {
    int channel;
    std::optional<int32_t> item;
    QString problem;
    QString detail;  // a part of the detail
};

void ExpectFindings(const std::vector<CheckFinding>& found, const std::vector<Expected>& expected, const char* name) {
    ASSERT_EQ(found.size(), expected.size()) << name << ": " << [&] {
        std::string all;
        for (const auto& f : found) all += "\n  " + f.Problem.toStdString() + " " + f.Detail.toStdString();
        return all;
    }();
    for (size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].Channel, expected[i].channel) << name;
        EXPECT_EQ(found[i].Item, expected[i].item) << name;
        EXPECT_EQ(found[i].Problem, expected[i].problem) << name;
        EXPECT_TRUE(found[i].Detail.contains(expected[i].detail))
            << name << ": \"" << found[i].Detail.toStdString() << "\" lacks \"" << expected[i].detail.toStdString() << '"';
    }
}

}  // namespace

TEST(PreflightCheck, ACleanStationHasNothingToSay) {
    Station s;
    const QString list = s.DayList("day", {
        Item(0, "bell", At(8, 0, 0), At(8, 0, 30), s.Path("good.wav"), KindFile),
        Item(0, "music", At(12, 0, 0), At(13, 0, 0), s.Path("tunes"), KindFolder),
        Item(0, "radio", At(19, 0, 0), At(20, 0, 0), "收音机", KindDevice),
        // Overlaps the bell but outlasts it: due from 08:00:30 on.
        Item(0, "after", At(8, 0, 10), At(8, 1, 0), s.Path("good2.wav"), KindFile),
    });
    const QString week = WritePeriodicList(s.Path("week"), {"", "", "", "", "", list, ""});
    EXPECT_TRUE(s.Check({Station::Channel("一号", list), Station::Channel("二号", list, 1)}).empty());
    ChannelConfig periodic = Station::Channel("周", "");
    periodic.PeriodicListFile = week;
    EXPECT_TRUE(s.Check({periodic}).empty());
}

TEST(PreflightCheck, EachProblemIsNamedWhereItLies) {
    struct Case {
        const char* name;
        std::function<std::vector<ChannelConfig>(Station&)> station;
        std::vector<Expected> expected;
    };
    const std::vector<Case> cases = {
        {"sound card past the outputs",
         [](Station& s) { return std::vector{Station::Channel("a", s.DayList("d", {}), 2)}; },
         {{0, {}, "no-device", "sound card 2; the outputs are 0 to 1"}}},
        {"negative sound card, on the second channel",
         [](Station& s) { return std::vector{Station::Channel("a", s.DayList("d", {})), Station::Channel("b", s.DayList("d", {}), -1)}; },
         {{1, {}, "no-device", "sound card -1"}}},
        {"no day list at all",
         [](Station&) { return std::vector{Station::Channel("a", "")}; },
         {{0, {}, "no-list", "no day list"}}},
        {"an empty line for the day: a holiday",
         [](Station& s) {
             ChannelConfig c = Station::Channel("a", "");
             c.PeriodicListFile = WritePeriodicList(s.Path("week"), {s.DayList("d", {}), "", "", "", "", "", ""});
             return std::vector{c};
         },
         {{0, {}, "no-list", "names no day list for 2026-12-11 Fri"}}},
        {"a periodic list that cannot be read",
         [](Station& s) {
             ChannelConfig c = Station::Channel("a", "");
             c.PeriodicListFile = s.Path("gone.lsm");
             return std::vector{c};
         },
         {{0, {}, "list-unreadable", "gone.lsm: File not found"}}},
        {"the day's line names a missing day list",
         [](Station& s) {
             ChannelConfig c = Station::Channel("a", "");
             c.PeriodicListFile = WritePeriodicList(s.Path("week"), {"", "", "", "", "", s.Path("friday.lst"), ""});
             return std::vector{c};
         },
         {{0, {}, "list-unreadable", "friday.lst: File not found"}}},
        {"a folder in the day list's place",
         [](Station& s) { return std::vector{Station::Channel("a", s.dir.MakeFolder("x.lst"))}; },
         {{0, {}, "list-unreadable", "Is a folder"}}},
        {"a day list that is not a whole number of records, its items checked all the same",
         [](Station& s) {
             const QString list = s.DayList("d", {Item(0, "gone", At(8, 0, 0), At(9, 0, 0), s.Path("gone.wav"), KindFile)});
             QFile file(list);
             EXPECT_TRUE(file.open(QIODevice::Append));
             file.write(QByteArray(400, 'x'));
             return std::vector{Station::Channel("a", list)};
         },
         {{0, {}, "list-damaged", "1000 bytes is not a whole number of 600-byte records (400 bytes left over)"},
          {0, 1, "file-missing", "gone.wav"}}},
        {"missing and unplayable files",
         [](Station& s) {
             return std::vector{Station::Channel("a", s.DayList("d", {
                 Item(0, "ok", At(7, 0, 0), At(7, 1, 0), s.Path("good.wav"), KindFile),
                 Item(0, "gone", At(8, 0, 0), At(8, 1, 0), s.Path("gone.wav"), KindFile),
                 Item(0, "bad", At(9, 0, 0), At(9, 1, 0), s.Path("bad.wav"), KindFile),
                 Item(0, "a folder", At(10, 0, 0), At(10, 1, 0), s.Path("tunes"), KindFile),
                 Item(0, "nothing", At(11, 0, 0), At(11, 1, 0), "", KindFile),
             }))};
         },
         {{0, 2, "file-missing", "gone.wav"},
          {0, 3, "file-unplayable", "Invalid data found"},
          {0, 4, "file-unplayable", "Not a regular file"},
          {0, 5, "file-missing", "names no file"}}},
        {"folders with nothing folder play would take, or a file it cannot play",
         [](Station& s) {
             s.dir.Write("texts/c.txt");
             s.dir.Write("mixed/bad.wav");
             s.dir.Write("mixed/good.wav");
             return std::vector{Station::Channel("a", s.DayList("d", {
                 Item(0, "texts", At(8, 0, 0), At(9, 0, 0), s.Path("texts"), KindFolder),
                 Item(0, "gone", At(9, 0, 0), At(10, 0, 0), s.Path("nowhere"), KindFolder),
                 Item(0, "mixed", At(10, 0, 0), At(11, 0, 0), s.Path("mixed"), KindFolder),
             }))};
         },
         {{0, 1, "folder-empty", "holds no .mp3, .wav, .mid or .wma file"},
          {0, 2, "folder-empty", "no such folder"},
          {0, 3, "file-unplayable", "mixed/bad.wav: Invalid data found"}}},
        {"start not before end, midnight included",
         [](Station& s) {
             return std::vector{Station::Channel("a", s.DayList("d", {
                 Item(0, "backwards", At(9, 0, 0), At(8, 0, 0), s.Path("good.wav"), KindFile),
                 Item(0, "no length", At(9, 0, 0), At(9, 0, 0), s.Path("good.wav"), KindFile),
                 Item(0, "late", At(23, 0, 0), At(0, 0, 0), s.Path("good.wav"), KindFile),
             }))};
         },
         {{0, 1, "bad-times", "start 09:00:00 is not before end 08:00:00"},
          {0, 2, "bad-times", "start 09:00:00 is not before end 09:00:00"},
          {0, 3, "bad-times", "start 23:00:00 is not before end 00:00:00"}}},
        {"items that earlier items hide",
         [](Station& s) {
             const QString f = s.Path("good.wav");
             return std::vector{Station::Channel("a", s.DayList("d", {
                 Item(0, "long", At(8, 0, 0), At(9, 0, 0), f, KindFile),
                 Item(0, "inside", At(8, 10, 0), At(8, 20, 0), f, KindFile),
                 Item(0, "same", At(8, 0, 0), At(9, 0, 0), s.Path("gone.wav"), KindFile),  // hidden: its file does not matter
                 Item(0, "radio", At(10, 0, 0), At(10, 31, 0), "CD", KindDevice),
                 Item(0, "late", At(10, 29, 0), At(11, 0, 0), f, KindFile),
                 Item(0, "between", At(10, 15, 0), At(10, 45, 0), f, KindFile),  // radio, then late, leave it no moment
                 Item(0, "short", At(12, 0, 0, 0), At(12, 0, 0, 1), f, KindFile),
             }))};
         },
         {{0, 2, "never-due", "earlier item 1 covers its whole time"},
          {0, 3, "never-due", "earlier items 1, 2 cover its whole time"},
          {0, 6, "never-due", "earlier items 4, 5 cover its whole time"},
          {0, 7, "never-due", "less than 2 ms"}}},
    };
    for (const Case& c : cases) {
        Station s;
        ExpectFindings(s.Check(c.station(s)), c.expected, c.name);
    }
}

TEST(PreflightCheck, ItemsThatMeetLeaveAMomentToTheItemBehindThem) {
    // At 08:30:00.000 exactly neither 08:00-08:30 nor 08:30-09:00 qualifies (each allows 1 ms),
    // so the third item is due at that moment.
    Station s;
    const QString f = s.Path("good.wav");
    EXPECT_TRUE(s.Check({Station::Channel("a", s.DayList("d", {
                    Item(0, "first", At(8, 0, 0), At(8, 30, 0), f, KindFile),
                    Item(0, "second", At(8, 30, 0), At(9, 0, 0), f, KindFile),
                    Item(0, "behind", At(8, 15, 0), At(8, 45, 0), f, KindFile),
                }))}).empty());
}

TEST(PreflightCheck, OpensEachFileOnceAndNeverAPipe) {
    Station s;
    ASSERT_EQ(::mkfifo(s.Path("pipe.wav").toLocal8Bit().constData(), 0600), 0);
    ASSERT_EQ(::mkfifo(s.Path("pipe.lst").toLocal8Bit().constData(), 0600), 0);
    const QString list = s.DayList("d", {
        Item(0, "one", At(8, 0, 0), At(8, 1, 0), s.Path("good.wav"), KindFile),
        Item(0, "two", At(9, 0, 0), At(9, 1, 0), s.Path("good.wav"), KindFile),
        Item(0, "pipe", At(10, 0, 0), At(10, 1, 0), s.Path("pipe.wav"), KindFile),
    });
    const auto found = s.Check({Station::Channel("a", list), Station::Channel("b", list), Station::Channel("c", s.Path("pipe.lst"))});
    ExpectFindings(found,
                   {{0, 3, "file-unplayable", "Not a regular file"},
                    {1, 3, "file-unplayable", "Not a regular file"},
                    {2, {}, "list-unreadable", "pipe.lst: Not a regular file"}},
                   "pipes");
    EXPECT_EQ(s.opened.value(s.Path("good.wav")), 1);
    EXPECT_FALSE(s.opened.contains(s.Path("pipe.wav")));
}

TEST(PreflightCheck, FindingsCarryTheChannelAndItemTitlesAndTheFile) {
    Station s;
    const QString list = s.DayList("d", {Item(0, "上课铃", At(8, 0, 0), At(8, 1, 0), s.Path("gone.wav"), KindFile)});
    const auto found = s.Check({Station::Channel("教学楼", list)});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].Title, "教学楼");
    EXPECT_EQ(found[0].ItemTitle, "上课铃");
    EXPECT_EQ(found[0].File, s.Path("gone.wav"));
}
