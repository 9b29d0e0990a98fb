// What the player tells the as-run log, stepped through simulated time with a fake channel.
#include "PlayerTestSupport.h"

#include <gtest/gtest.h>

namespace tessora::test {
namespace {

const QString kBell = QStringLiteral("/music/bell.wav");
const QString kQuiet = QStringLiteral("/music/quiet.wav");
const QString kSong = QStringLiteral("/music/song.wav");

// A station whose player's events are kept as "hh:mm:ss.mmm kind item detail" (the item's
// Index, or - when there is none).
class LoggedStation : public Station {
public:
    LoggedStation() {
        player.OnAsRun = [this](const AsRunEvent& e) {
            events.push_back(e);
            lines << QString("%1 %2 %3 %4")
                         .arg(FormatTimeOfDayMs(e.Time), AsRunEventName(e.Kind), e.Item ? QString::number(*e.Item) : "-",
                              e.Detail);
        };
        // One second of sound well away from silence: the analysis and the output read 70 from it.
        channel->sound.assign(44100 * 4, 0x40);
    }
    std::vector<AsRunEvent> events;
    QStringList lines;
};

TEST(PlayerAsRun, ASoundingItemStartsWithItsDelayAndEndsWithItsPeak) {
    LoggedStation s;
    s.SetDayList({Item(1, "早铃", At(8, 0, 0), At(8, 0, 30), kBell)});
    s.channel->files[kBell] = {12000};
    s.JumpTo(At(7, 59, 59, 250));
    s.RunUntil(At(8, 0, 31));
    EXPECT_EQ(s.lines, (QStringList{"08:00:00.250 start 1 250", "08:00:12.250 end 1 70", "08:00:12.250 start 1 12250",
                                    "08:00:24.250 end 1 70", "08:00:24.250 start 1 24250", "08:00:30.250 stop 1 70"}));
    const AsRunEvent& first = s.events.front();
    EXPECT_EQ(first.Channel, 0);
    EXPECT_EQ(first.Title, "一号");
    EXPECT_EQ(first.ItemTitle, "早铃");
    EXPECT_EQ(first.File, kBell);
    EXPECT_EQ(first.Time.date, s.firstDay);
}

TEST(PlayerAsRun, ASilentFileEndsWithPeakZero) {
    LoggedStation s;
    s.channel->sound.assign(44100 * 4, 0);
    s.SetDayList({Item(1, "静", At(8, 0, 0), At(8, 0, 10), kQuiet)});
    s.channel->files[kQuiet] = {3000};
    s.JumpTo(At(7, 59, 59, 250));
    s.RunUntil(At(8, 0, 4));
    EXPECT_EQ(s.lines, (QStringList{"08:00:00.250 start 1 250", "08:00:03.250 end 1 0", "08:00:03.250 start 1 3250"}));
}

TEST(PlayerAsRun, AFileShorterThanATickIsMeasuredAsItStarts) {
    LoggedStation s;
    s.SetDayList({Item(1, "嘀", At(8, 0, 0), At(8, 0, 1), kBell)});
    s.channel->files[kBell] = {300};
    s.JumpTo(At(7, 59, 59, 250));
    s.RunUntil(At(8, 0, 0, 750));
    EXPECT_EQ(s.lines, (QStringList{"08:00:00.250 start 1 250", "08:00:00.750 end 1 70", "08:00:00.750 start 1 750"}));
}

TEST(PlayerAsRun, PauseResumeStopAndPlayAgain) {
    LoggedStation s;
    s.SetDayList({Item(1, "歌", At(8, 0, 0), At(9, 0, 0), kSong)});
    s.channel->files[kSong] = {600000};
    s.JumpTo(At(7, 59, 59, 250));
    s.RunUntil(At(8, 0, 1));
    s.player.PlayState = PlayPaused;
    s.RunUntil(At(8, 0, 3));
    s.player.PlayState = PlayOn;
    s.RunUntil(At(8, 0, 5));
    s.player.PlayState = PlayStopped;
    s.RunUntil(At(8, 0, 7));
    s.player.PlayState = PlayOn;
    s.RunUntil(At(8, 0, 8));
    EXPECT_EQ(s.lines, (QStringList{"08:00:00.250 start 1 250", "08:00:01.250 pause 1 ", "08:00:03.250 resume 1 ",
                                    "08:00:05.250 stop 1 70", "08:00:07.250 start 1 7250"}));
}

TEST(PlayerAsRun, AFileThatCannotBePlayedIsAnErrorOnceNotAtEveryTick) {
    LoggedStation s;
    s.SetDayList({Item(1, "缺", At(8, 0, 0), At(8, 0, 10), "/music/gone.wav"), Item(2, "铃", At(8, 0, 10), At(8, 0, 20), kBell)});
    s.channel->missing.insert("/music/gone.wav");
    s.channel->files[kBell] = {60000};
    s.JumpTo(At(7, 59, 59, 250));
    s.RunUntil(At(8, 0, 11));
    EXPECT_EQ(s.lines, (QStringList{"08:00:00.250 error 1 File not found", "08:00:10.250 start 2 250"}));
    EXPECT_EQ(s.events.front().File, "/music/gone.wav");
}

TEST(PlayerAsRun, ReadFailureWhilePlayingStopsThenSaysWhy) {
    LoggedStation s;
    s.SetDayList({Item(1, "歌", At(8, 0, 0), At(8, 1, 0), kSong)});
    s.channel->files[kSong] = {600000};
    s.JumpTo(At(7, 59, 59, 250));
    s.RunUntil(At(8, 0, 2));
    s.channel->FailWhilePlaying("Invalid data found when processing input");
    ASSERT_GE(s.lines.size(), 3);
    EXPECT_EQ(s.lines.mid(1, 2), (QStringList{"08:00:01.750 stop 1 70", "08:00:01.750 error 1 Invalid data found when processing input"}));
}

TEST(PlayerAsRun, AManualFileBelongsToNoItem) {
    LoggedStation s;
    s.channel->files[kSong] = {2000};
    s.player.PlayMode = ManualMode;
    s.player.ManualFile = kSong;
    s.RunUntil(At(0, 0, 4));
    EXPECT_EQ(s.lines, (QStringList{"00:00:00.250 start - ", "00:00:02.250 end - 70"}));
}

TEST(PlayerAsRun, TheSameFileInTheNextItemGoesOnAndTheNewItemStarts) {
    LoggedStation s;
    s.SetDayList({Item(1, "一", At(10, 0, 0), At(10, 0, 5), kSong), Item(2, "二", At(10, 0, 5), At(10, 0, 9), kSong)});
    s.channel->files[kSong] = {600000};
    s.JumpTo(At(9, 59, 59, 250));
    s.RunUntil(At(10, 0, 10));
    EXPECT_EQ(s.lines, (QStringList{"10:00:00.250 start 1 250", "10:00:05.250 stop 1 70", "10:00:05.250 start 2 250",
                                    "10:00:09.250 stop 2 70"}));
    EXPECT_EQ(s.channel->OpensOf(kSong).size(), 1u);
}

}  // namespace
}  // namespace tessora::test
