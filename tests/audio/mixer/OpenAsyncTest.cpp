// Opening off the owner's thread: the result arrives through the event loop, a pipe is refused
// at once, a file whose open hangs is given up while everything else goes on, and a later open
// wins over an earlier one.
#include "MixerTestSupport.h"
#include "SlowFile.h"
#include "SoundMixer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <optional>
#include <sys/stat.h>

namespace tessora {
namespace {

using test::CounterRuns;
using test::HeardCounter;
using test::RunEventsFor;
using test::Station;
using test::WaitFor;

constexpr uint32_t kRate = 44100;
using Runs = std::vector<std::pair<int64_t, int64_t>>;

// Opens `file` on the station's channel without waiting; `result` holds what `done` was given.
struct PendingOpen {
    PendingOpen(Station& station, const QString& file, std::optional<TOpenResult> known = std::nullopt) {
        timer.start();
        station.channel->OpenAsync(
            file,
            [this](const TOpenResult& r) {
                result = r;
                ++calls;
                elapsedMs = timer.elapsed();
            },
            std::move(known));
    }
    bool Wait(int timeoutMs = 3000) {
        return WaitFor([this] { return calls > 0; }, timeoutMs);
    }
    QElapsedTimer timer;
    std::optional<TOpenResult> result;
    int calls = 0;
    qint64 elapsedMs = -1;
};

// The largest gap between two turns of the event loop while it runs.
struct LoopWatch {
    LoopWatch() {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (since.isValid()) worstGapMs = std::max(worstGapMs, since.elapsed());
            since.restart();
        });
        timer.start(20);
    }
    QTimer timer;
    QElapsedTimer since;
    qint64 worstGapMs = 0;
};

TEST(MixerChannelOpenAsync, OpensOffTheOwnerThreadAndPlaysAsAnOpenDoes) {
    const QString file = test::WriteCounterWav("async.wav", kRate);
    const struct {
        const char* why;
        bool loop;
        uint32_t seekMs;  // before Play; 0 for none
        Runs expected;    // the first runs heard
    } cases[] = {
        {"once", false, 0, {{0, kRate - 1}}},
        {"after a seek", false, 500, {{kRate / 2, kRate - 1}}},
        {"looping", true, 0, {{0, kRate - 1}, {0, kRate - 1}}},
    };
    for (const auto& c : cases) {
        Station station;
        PendingOpen open(station, file);
        EXPECT_EQ(station.channel->OpeningFile(), file) << c.why;
        EXPECT_TRUE(station.channel->FileName().isEmpty()) << c.why;
        ASSERT_TRUE(open.Wait()) << c.why;
        EXPECT_EQ(open.calls, 1) << c.why;
        EXPECT_TRUE(open.result->error.isEmpty()) << c.why;
        EXPECT_EQ(open.result->fileName, file);
        EXPECT_TRUE(open.result->stamp.exists);
        EXPECT_TRUE(station.channel->OpeningFile().isEmpty());
        EXPECT_EQ(station.channel->FileName(), file);
        EXPECT_EQ(station.channel->Length(), 1000u);
        EXPECT_EQ(station.channel->Position(), 0u);
        station.channel->SetLoop(c.loop);
        if (c.seekMs) {
            station.channel->Seek(c.seekMs);
            EXPECT_EQ(station.channel->Position(), c.seekMs);
        }
        station.channel->Play();
        if (c.loop) {
            RunEventsFor(2600);
            station.channel->Stop();
        } else {
            ASSERT_TRUE(station.WaitForEnd()) << c.why;
        }
        const Runs runs = CounterRuns(HeardCounter(station.Finish()));
        ASSERT_GE(runs.size(), c.expected.size()) << c.why;
        EXPECT_EQ(Runs(runs.begin(), runs.begin() + c.expected.size()), c.expected) << c.why;
    }
}

TEST(MixerChannelOpenAsync, APipeIsRefusedAtOnce) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("bell.wav");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    Station station;
    PendingOpen open(station, fifo);
    ASSERT_TRUE(open.Wait(1000));
    EXPECT_EQ(open.result->error, "Not a regular file: a pipe (FIFO) cannot be played.");
    EXPECT_TRUE(station.channel->FileName().isEmpty());
}

TEST(MixerChannelOpenAsync, AFileWhoseOpenHangsIsGivenUpWhileEverythingElseGoesOn) {
    QTemporaryDir dir;
    test::SlowFile slow(test::WriteCounterWav("slow-source.wav", kRate), dir.filePath("slow.wav"));
    if (!slow.Held()) GTEST_SKIP() << "this file system gives no leases";
    const QString slowName = dir.filePath("slow.wav");

    Station other(1);  // plays on through all of it
    PendingOpen otherOpen(other, test::WriteCounterWav("other.wav", 8 * kRate));
    ASSERT_TRUE(otherOpen.Wait());
    other.channel->Play();

    LoopWatch watch;
    Station station;
    PendingOpen open(station, slowName);
    ASSERT_TRUE(open.Wait(TSoundMixerChannel::kOpenTimeoutMs + 2000));
    EXPECT_EQ(open.result->error, "The file did not open within 5 seconds.");
    EXPECT_GE(open.elapsedMs, TSoundMixerChannel::kOpenTimeoutMs - 50);
    EXPECT_TRUE(station.channel->OpeningFile().isEmpty());
    EXPECT_LT(watch.worstGapMs, 200) << "the owner's thread waited";

    // Tried again while the first open still hangs: refused at once, without another thread.
    PendingOpen again(station, slowName);
    ASSERT_TRUE(again.Wait(1000));
    EXPECT_EQ(again.result->error, "The file is still opening after 5 seconds.");

    // A channel whose open hangs is freed at once.
    {
        Station leaving(2);
        PendingOpen hanging(leaving, slowName);
        RunEventsFor(200);
        QElapsedTimer freeing;
        freeing.start();
        leaving.mixer.reset();
        EXPECT_LT(freeing.elapsed(), 500);
    }

    // The share answers again: the stale result is dropped, and the file opens.
    slow.Release();
    RunEventsFor(300);
    EXPECT_TRUE(station.channel->FileName().isEmpty()) << "a late result must not act";
    PendingOpen late(station, slowName);
    ASSERT_TRUE(late.Wait());
    EXPECT_TRUE(late.result->error.isEmpty()) << late.result->error.toStdString();
    EXPECT_EQ(station.channel->FileName(), slowName);

    EXPECT_EQ(other.channel->State(), TSoundMixerChannel::Playing);
    other.channel->Stop();
    const Runs runs = CounterRuns(HeardCounter(other.Finish()));
    ASSERT_EQ(runs.size(), 1u) << "the other channel was interrupted";
    EXPECT_EQ(runs[0].first, 0);
}

TEST(MixerChannelOpenAsync, ALaterOpenAbandonsAnEarlierOne) {
    const QString first = test::WriteCounterWav("first.wav", kRate);
    const QString second = test::WriteCounterWav("second.wav", 2 * kRate);
    Station station;
    PendingOpen abandoned(station, first);
    PendingOpen wanted(station, second);
    ASSERT_TRUE(wanted.Wait());
    RunEventsFor(300);
    EXPECT_EQ(abandoned.calls, 0);
    EXPECT_EQ(station.channel->FileName(), second);
    EXPECT_EQ(station.channel->Length(), 2000u);

    PendingOpen overtaken(station, first);
    station.channel->Open(second);
    RunEventsFor(300);
    EXPECT_EQ(overtaken.calls, 0);
    EXPECT_EQ(station.channel->FileName(), second);
}

TEST(MixerChannelOpenAsync, AKnownFailureStandsUntilTheFileChanges) {
    const QString file = test::WriteCounterWav("known.wav", kRate);
    Station station;
    PendingOpen first(station, file);
    ASSERT_TRUE(first.Wait());
    TOpenResult known = *first.result;
    known.error = "Unsupported file format.";
    // The file still looks as it did: the old verdict, without reading it.
    PendingOpen same(station, file, known);
    ASSERT_TRUE(same.Wait());
    EXPECT_EQ(same.result->error, "Unsupported file format.");
    EXPECT_TRUE(station.channel->FileName().isEmpty());
    // Replaced by a longer file: read again.
    test::WriteCounterWav("known.wav", 2 * kRate);
    PendingOpen changed(station, file, known);
    ASSERT_TRUE(changed.Wait());
    EXPECT_TRUE(changed.result->error.isEmpty());
    EXPECT_EQ(station.channel->Length(), 2000u);
}

}  // namespace
}  // namespace tessora
