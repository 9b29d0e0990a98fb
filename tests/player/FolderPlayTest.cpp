// Which files a folder item plays, and in which order.
#include "FolderPlay.h"
#include "PlayerTestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

#include <set>

namespace tessora::test {
namespace {

TEST(FolderScan, TakesAudioFilesBeforeSubfoldersAndSkipsDotFolders) {
    TempFolder t;
    for (const char* name : {"b.wav", "a.MP3", "c.txt", "e.wma", "f.midi", "g.asf", "noext", "sub/d.mid",
                             "sub/deeper/k.wav", ".hidden/h.mp3", "x.mp3/i.wav", ".j.mp3"})
        t.Write(name);
    QStringList list{"kept"};
    ScanAudioFiles(t.Path(), list);
    const QString root = t.Path() + '/';
    EXPECT_EQ(list, (QStringList{"kept", root + ".j.mp3", root + "a.MP3", root + "b.wav", root + "e.wma",
                                 root + "sub/d.mid", root + "sub/deeper/k.wav", root + "x.mp3/i.wav"}));
}

TEST(FolderScan, AFolderThatCannotBeListedAddsNothing) {
    TempFolder t;
    QStringList list;
    ScanAudioFiles(t.Path("missing"), list);
    ScanAudioFiles(t.Write("file.mp3"), list);
    EXPECT_TRUE(list.isEmpty());
}

TEST(FolderScan, ALinkBackToAnOuterFolderIsNotFollowedForever) {
    TempFolder t;
    t.Write("music/a.wav");
    t.MakeFolder("music/sub");
    ASSERT_TRUE(QFile::link(t.Path("music"), t.Path("music/sub/back")));
    QStringList list;
    ScanAudioFiles(t.Path("music"), list);
    EXPECT_EQ(list, QStringList{t.Path("music/a.wav")});
}

TEST(FolderScan, AudioExtensions) {
    const std::pair<const char*, bool> cases[] = {
        {"a.mp3", true},  {"a.MP3", true},   {"a.Wav", true},   {"a.mid", true},    {"a.wma", true},
        {"a.midi", false}, {"a.asf", false}, {"a", false},      {"a.mp3.txt", false}, {"a.txt.mp3", true},
        {"mp3", false},   {".mp3", true},    {"a.mp", false},   {"a.", false},
    };
    for (const auto& [name, audio] : cases) EXPECT_EQ(IsAudioFileName(name), audio) << name;
}

TEST(FolderNext, SequentialWrapsToTheFirst) {
    FolderRandom random(1);
    const std::tuple<int, int, int> cases[] = {{0, 3, 1}, {1, 3, 2}, {2, 3, 0}, {0, 1, 0}, {7, 3, 0}, {-5, 3, 0}};
    for (const auto& [current, count, next] : cases)
        EXPECT_EQ(NextFolderIndex(current, count, false, random), next) << current << " of " << count;
}

TEST(FolderNext, RandomCoversEveryFileAndMayRepeatOne) {
    FolderRandom random(20261207);
    std::set<int> seen;
    int repeats = 0, last = 0;
    for (int i = 0; i < 600; ++i) {
        const int next = NextFolderIndex(last, 3, true, random);
        ASSERT_GE(next, 0);
        ASSERT_LT(next, 3);
        seen.insert(next);
        repeats += next == last;
        last = next;
    }
    EXPECT_EQ(seen.size(), 3u);
    EXPECT_GT(repeats, 0);
}

// ---------------------------------------------------------------------------------------------
// Folder items in the player

std::vector<QString> Played(const FakeChannel& channel) {
    std::vector<QString> files;
    for (const ChannelEvent& e : channel.Events("Open"))
        if (!e.file.isEmpty()) files.push_back(e.file);
    return files;
}

class FolderItems : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"songs/1.mp3", "songs/2.mp3", "songs/3.mp3", "news/n1.wav", "news/n2.wav"}) {
            const QString path = t.Write(name);
            s.channel->files[path] = {10000};
        }
    }
    QString P(const char* name) const { return t.Path(name); }
    TempFolder t;
    Station s;
};

TEST_F(FolderItems, SequentialPlayGoesRoundUntilTheItemEnds) {
    s.SetDayList({Item(1, "午间", At(12, 0, 0), At(12, 1, 0), P("songs"), KindFolder)});
    s.RunUntil(At(12, 5, 0));
    const QString a = P("songs/1.mp3"), b = P("songs/2.mp3"), c = P("songs/3.mp3");
    // The last file ends just as the item does: nothing more starts.
    EXPECT_EQ(Played(*s.channel), (std::vector<QString>{a, b, c, a, b, c}));
    EXPECT_TRUE(s.channel->FileName().isEmpty());
    EXPECT_EQ(s.panel.caption, "一号-");
}

TEST_F(FolderItems, APanelShowsTheFolderItemAndTheFilePlaying) {
    s.SetDayList({Item(1, "午间", At(12, 0, 0), At(12, 1, 0), P("songs"), KindFolder)});
    s.RunUntil(At(12, 0, 12));
    EXPECT_EQ(s.panel.caption, "一号-午间");
    EXPECT_EQ(s.panel.fileLabel, "2.mp3");
    EXPECT_EQ(s.panel.rangeMax, 10000);
}

TEST_F(FolderItems, RandomPlayStartsWithTheFirstFileThenDraws) {
    s.player.SeedRandom(7);
    s.SetDayList({Item(1, "午间", At(12, 0, 0), At(13, 0, 0), P("songs"), KindFolder, 0, 1)});
    s.RunUntil(At(13, 0, 0));
    const std::vector<QString> played = Played(*s.channel);
    ASSERT_GT(played.size(), 300u);
    EXPECT_EQ(played.front(), P("songs/1.mp3"));
    std::set<QString> distinct(played.begin(), played.end());
    EXPECT_EQ(distinct.size(), 3u);
    int repeats = 0;
    for (size_t i = 1; i < played.size(); ++i) repeats += played[i] == played[i - 1];
    EXPECT_GT(repeats, 0);  // the file that just ended may come again
}

TEST_F(FolderItems, TheNextFolderItemPlaysOnlyItsOwnFiles) {
    s.SetDayList({Item(1, "音乐", At(12, 0, 0), At(12, 0, 15), P("songs"), KindFolder),
                  Item(2, "新闻", At(12, 0, 15), At(12, 1, 0), P("news"), KindFolder)});
    s.RunUntil(At(12, 1, 0));
    const std::vector<QString> played = Played(*s.channel);
    ASSERT_GE(played.size(), 3u);
    EXPECT_EQ(played[0], P("songs/1.mp3"));
    EXPECT_EQ(played[1], P("songs/2.mp3"));
    for (size_t i = 2; i < played.size(); ++i) EXPECT_TRUE(played[i].startsWith(P("news"))) << i;
    EXPECT_EQ(played[2], P("news/n1.wav"));
}

TEST_F(FolderItems, PauseAndPlayResumeTheSameFile) {
    s.SetDayList({Item(1, "午间", At(12, 0, 0), At(12, 1, 0), P("songs"), KindFolder)});
    s.RunUntil(At(12, 0, 12));
    s.player.PlayState = PlayPaused;
    s.RunUntil(At(12, 0, 40));
    EXPECT_EQ(s.player.FolderIndex, 1);
    s.player.PlayState = PlayOn;
    s.RunUntil(At(12, 0, 41));
    EXPECT_EQ(s.channel->FileName(), P("songs/2.mp3"));
    EXPECT_EQ(s.channel->GetState(), PlayerChannel::Playing);
    EXPECT_GT(s.channel->Position(), 1000u);
}

}  // namespace
}  // namespace tessora::test
