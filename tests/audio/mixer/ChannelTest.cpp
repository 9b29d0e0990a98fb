// The mixer channel heard through a capturing virtual output: what reaches the device, sample
// by sample, for play to the end, loops, volume, pause, stop, seek, lent data and lost devices.
#include "MixerTestSupport.h"
#include "SoundMixer.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>

namespace tessora {
namespace {

using test::CounterRuns;
using test::HeardCounter;
using test::ReadCapture;
using test::RunEventsFor;
using test::WaitFor;

using test::Station;

constexpr uint32_t kRate = 44100;
constexpr int64_t kPeriodMs = TSoundMixerChannel::kBufferTime / 10;
// How late a thread of a busy test machine may wake.
constexpr int64_t kLateMs = 150;

using Runs = std::vector<std::pair<int64_t, int64_t>>;

TEST(MixerChannel, PlaysTheFileOnceThenSilenceAndEndsAfterTheLastSample) {
    const QString file = test::WriteCounterWav("one-second.wav", kRate);
    Station station;
    station.channel->Open(file);
    EXPECT_EQ(station.channel->Length(), 1000u);
    station.channel->Play();
    EXPECT_EQ(station.channel->State(), TSoundMixerChannel::Playing);
    RunEventsFor(500);
    const uint32_t midway = station.channel->Position();
    EXPECT_GT(midway, 100u);
    EXPECT_LT(midway, 1000u);
    ASSERT_TRUE(station.WaitForEnd());
    EXPECT_EQ(station.channel->State(), TSoundMixerChannel::Stopped);
    EXPECT_EQ(station.channel->Position(), 0u);
    RunEventsFor(300);  // silence after the end
    const int64_t endUnixMs = station.endUnixMs;
    const test::Capture capture = station.Finish();

    const auto heard = HeardCounter(capture);
    EXPECT_EQ(CounterRuns(heard), (Runs{{0, kRate - 1}}));
    ASSERT_FALSE(heard.empty());
    const size_t lastFrameAt = heard.back().at;
    EXPECT_EQ(lastFrameAt - heard.front().at, kRate - 1);
    EXPECT_GT(capture.Frames(), lastFrameAt + kRate / 10) << "the capture goes on with silence";
    // The end arrives after the last sample was heard, within one refill period.
    const int64_t lastSampleUnixMs = Station::LastHeardUnixMs(capture);
    EXPECT_GE(endUnixMs, lastSampleUnixMs - 20);
    EXPECT_LE(endUnixMs, lastSampleUnixMs + kPeriodMs + kLateMs);
}

TEST(MixerChannel, LoopsWithoutAGapAndNeverEnds) {
    const QString file = test::WriteCounterWav("loop.wav", kRate);
    Station station;
    station.channel->Open(file);
    station.channel->SetLoop(true);
    station.channel->Play();
    bool sawRestart = false;
    uint32_t last = 0;
    WaitFor(
        [&] {
            const uint32_t now = station.channel->Position();
            if (now + 500 < last) sawRestart = true;
            last = now;
            return false;
        },
        2700);
    EXPECT_TRUE(sawRestart) << "the position goes back to 0 at every restart";
    EXPECT_EQ(station.ends, 0);
    station.channel->Stop();
    const test::Capture capture = station.Finish();
    const Runs runs = CounterRuns(HeardCounter(capture));
    ASSERT_GE(runs.size(), 3u);
    EXPECT_EQ(runs[0], std::make_pair(int64_t(0), int64_t(kRate - 1)));
    EXPECT_EQ(runs[1], std::make_pair(int64_t(0), int64_t(kRate - 1)));
    EXPECT_EQ(runs[2].first, 0);
    // Back to back: the frame after the last of one pass is the first of the next.
    const auto heard = HeardCounter(capture);
    for (size_t i = 1; i < heard.size(); ++i) ASSERT_EQ(heard[i].at, heard[i - 1].at + 1) << "gap at " << i;
}

TEST(MixerChannel, VolumeScalesTheLevel) {
    const QString file = test::WriteWav("sine.wav", kRate, kRate, 2, 16, [](uint32_t n) {
        return int(std::lround(16000 * std::sin(2 * M_PI * 441.0 * (n / 2) / kRate)));
    });
    const struct {
        int32_t volume;
        double factor;
    } cases[] = {{0, 1.0}, {-600, 0.501187}, {-2000, 0.1}, {-10000, 0.0}};
    for (const auto& c : cases) {
        Station station;
        station.channel->Open(file);
        station.channel->Play();
        station.channel->SetVolume(c.volume);  // as the channel player does: after Play
        EXPECT_EQ(station.channel->Volume(), c.volume);
        RunEventsFor(600);
        const test::Capture capture = station.Finish();
        int peak = 0;
        for (int16_t s : capture.samples) peak = std::max(peak, std::abs(int(s)));
        // The first render period may still be at the level before the volume was set.
        int peakLater = 0;
        const size_t toneEnd = std::min(capture.samples.size(), size_t(2 * kRate));
        for (size_t i = 2 * kRate / 10; i < toneEnd; ++i)
            peakLater = std::max(peakLater, std::abs(int(capture.samples[i])));
        EXPECT_NEAR(peakLater, 16000 * c.factor, 16000 * c.factor * 0.01 + 2) << c.volume;
        EXPECT_LE(peak, 16001);
    }
}

TEST(MixerChannel, VolumeSetBeforeTheBufferExistsAppliesFromTheFirstSample) {
    const QString file = test::WriteWav("dc.wav", kRate / 2, kRate, 2, 16, [](uint32_t) { return 10000; });
    Station station;
    station.channel->Open(file);
    station.channel->SetVolume(-2000);
    station.channel->Play();
    RunEventsFor(300);
    const test::Capture capture = station.Finish();
    int peak = 0;
    for (int16_t s : capture.samples) peak = std::max(peak, int(s));
    EXPECT_EQ(peak, 1000);
}

// The peak the as-run log gets: the loudest sample that went out, at the channel's volume, for a
// sound much shorter than a refill period; taken once, then counted afresh.
TEST(MixerChannel, TheOutputPeakIsTheLoudestSampleSentAtTheChannelsVolume) {
    const QString file = test::WriteWav("click.wav", kRate / 10, kRate, 2, 16,
                                        [](uint32_t frame) { return frame == 100 ? -20000 : 3000; });
    for (const auto& [volume, gain] : {std::pair{0, 1.0}, std::pair{-600, 0.501187}}) {
        Station station;
        station.channel->Open(file);
        station.channel->SetVolume(volume);
        EXPECT_EQ(station.channel->TakeOutputPeak(), 0.0f) << "nothing has gone out yet";
        station.channel->Play();
        ASSERT_TRUE(station.WaitForEnd());
        EXPECT_NEAR(station.channel->TakeOutputPeak(), 20000.0 / 32768 * gain, 0.001) << volume;
        EXPECT_EQ(station.channel->TakeOutputPeak(), 0.0f) << "taken";
        station.Finish();
    }
}

TEST(MixerChannel, PauseAndPlayResumeAtTheSameSample) {
    const QString file = test::WriteCounterWav("pause.wav", 2 * kRate);
    Station station;
    station.channel->Open(file);
    station.channel->Play();
    RunEventsFor(700);
    station.channel->Pause();
    EXPECT_EQ(station.channel->State(), TSoundMixerChannel::Paused);
    const uint32_t pausedAt = station.channel->Position();
    RunEventsFor(500);
    EXPECT_EQ(station.channel->Position(), pausedAt);
    station.channel->Play();
    ASSERT_TRUE(station.WaitForEnd());
    const test::Capture capture = station.Finish();
    const auto heard = HeardCounter(capture);
    EXPECT_EQ(CounterRuns(heard), (Runs{{0, 2 * kRate - 1}})) << "every frame once, in order";
    size_t longestGap = 0;
    for (size_t i = 1; i < heard.size(); ++i) longestGap = std::max(longestGap, heard[i].at - heard[i - 1].at);
    EXPECT_GT(longestGap, kRate * 3 / 10) << "the pause is heard as silence";
}

TEST(MixerChannel, StopThenPlayStartsAgainFromTheBeginning) {
    const QString file = test::WriteCounterWav("stop.wav", 2 * kRate);
    Station station;
    station.channel->Open(file);
    station.channel->Play();
    RunEventsFor(600);
    station.channel->Stop();
    EXPECT_EQ(station.channel->State(), TSoundMixerChannel::Stopped);
    EXPECT_EQ(station.channel->Position(), 0u);
    RunEventsFor(200);
    station.channel->Play();
    ASSERT_TRUE(station.WaitForEnd());
    const Runs runs = CounterRuns(HeardCounter(station.Finish()));
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].first, 0);
    EXPECT_GT(runs[0].second, int64_t(kRate / 4));
    EXPECT_LT(runs[0].second, int64_t(2 * kRate - 1));
    EXPECT_EQ(runs[1], std::make_pair(int64_t(0), int64_t(2 * kRate - 1)));
}

TEST(MixerChannel, SeekStopsAndTheNextPlayStartsThere) {
    const QString file = test::WriteCounterWav("seek.wav", 3 * kRate);
    Station station;
    station.channel->Open(file);
    station.channel->Play();
    RunEventsFor(500);
    station.channel->Pause();
    station.channel->Seek(2000);
    EXPECT_EQ(station.channel->State(), TSoundMixerChannel::Stopped);
    EXPECT_EQ(station.channel->Position(), 2000u);
    station.channel->Play();
    RunEventsFor(300);
    EXPECT_GE(station.channel->Position(), 2000u);
    ASSERT_TRUE(station.WaitForEnd());
    const Runs runs = CounterRuns(HeardCounter(station.Finish()));
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].first, 0);
    EXPECT_EQ(runs[1], std::make_pair(int64_t(2 * kRate), int64_t(3 * kRate - 1)));
}

TEST(MixerChannel, EveryLengthPlaysOnceAndEndsWithinOnePeriodAfterItsLastSample) {
    const struct {
        const char* why;
        uint32_t frames;
    } cases[] = {
        // The end falls before the first refill looks for it.
        {"a 150 ms bell", kRate * 150 / 1000},
        {"shorter than one refill period", kRate / 4},
        // The data ends exactly where the first fill ends: the next fill reads nothing.
        {"exactly one ring", 4 * kRate},
        {"longer than the ring", 4 * kRate + kRate / 2},
    };
    for (const auto& c : cases) {
        const QString file = test::WriteCounterWav(QString("length-%1.wav").arg(c.frames), c.frames);
        Station station;
        station.channel->Open(file);
        station.channel->Play();
        ASSERT_TRUE(station.WaitForEnd()) << c.why;
        EXPECT_EQ(station.channel->State(), TSoundMixerChannel::Stopped) << c.why;
        const test::Capture capture = station.Finish();
        EXPECT_EQ(CounterRuns(HeardCounter(capture)), (Runs{{0, c.frames - 1}})) << c.why;
        EXPECT_LE(station.endUnixMs, Station::LastHeardUnixMs(capture) + kPeriodMs + kLateMs) << c.why;
    }
}

TEST(MixerChannel, EightBitSilenceIsTheMidpoint) {
    // 0x80 + 50 for 1.5 s, then the channel's own silence, which must be 0x80 too.
    const uint32_t frames = kRate * 3 / 2;
    const QString file = test::WriteWav("u8.wav", frames, kRate, 1, 8, [](uint32_t) { return 0x80 + 50; });
    Station station;
    station.channel->Open(file);
    EXPECT_EQ(station.channel->BitsPerSample(), 8u);
    station.channel->Play();
    RunEventsFor(1000);
    // The silence after the end, as the level meters would see it.
    const TPlayingData lent = station.channel->GetPlayingData(0, station.channel->BufferSize());
    ASSERT_GT(lent.Length1 + lent.Length2, 0u);
    const uint8_t* tail = lent.Length2 ? lent.Data2 + lent.Length2 - 1 : lent.Data1 + lent.Length1 - 1;
    EXPECT_EQ(*tail, 0x80);
    station.channel->ReleasePlayingData();
    ASSERT_TRUE(station.WaitForEnd());
    const test::Capture capture = station.Finish();
    size_t loud = 0, other = 0;
    for (size_t f = 0; f < capture.Frames(); ++f) {
        const int16_t left = capture.samples[2 * f];
        if (left == 50 * 256) ++loud;
        else if (left != 0) ++other;
    }
    EXPECT_EQ(loud, frames);
    EXPECT_EQ(other, 0u);
}

TEST(MixerChannel, ResamplesToTheDeviceRateKeepingTheLength) {
    const uint32_t rate = 22050;
    const QString file = test::WriteWav("mono-22050.wav", rate, rate, 1, 16, [](uint32_t n) {
        return int(std::lround(12000 * std::sin(2 * M_PI * 441.0 * n / rate)));
    });
    Station station;
    station.channel->Open(file);
    station.channel->Play();
    ASSERT_TRUE(station.WaitForEnd());
    const test::Capture capture = station.Finish();
    ASSERT_EQ(capture.rate, kRate);
    size_t first = capture.Frames(), last = 0;
    int peak = 0;
    for (size_t f = 0; f < capture.Frames(); ++f) {
        const int left = capture.samples[2 * f];
        EXPECT_EQ(left, capture.samples[2 * f + 1]) << "mono goes to both sides";
        if (std::abs(left) > 200) {
            first = std::min(first, f);
            last = f;
        }
        peak = std::max(peak, std::abs(left));
    }
    EXPECT_NEAR(double(last - first), double(kRate), 150.0);
    EXPECT_NEAR(peak, 12000, 400);
}

TEST(MixerChannel, ChannelsOnOneOutputAreMixed) {
    const QString low = test::WriteWav("dc-1000.wav", 2 * kRate, kRate, 2, 16, [](uint32_t) { return 1000; });
    const QString high = test::WriteWav("dc-2000.wav", 2 * kRate, kRate, 2, 16, [](uint32_t) { return 2000; });
    Station first(1);
    TSoundMixer secondMixer;
    secondMixer.SetDeviceIndex(1);
    auto* second = new TSoundMixerChannel(&secondMixer);
    // Both mixers must be open while the output is captured, and the capture is read after both.
    first.channel->Open(low);
    second->Open(high);
    first.channel->Play();
    second->Play();
    RunEventsFor(800);
    second->Open(QString());
    first.channel->Open(QString());
    first.mixer.reset();
    secondMixer.CloseDevice();
    const test::Capture capture = ReadCapture(1);
    size_t both = 0;
    for (size_t f = 0; f < capture.Frames(); ++f) {
        const int16_t s = capture.samples[2 * f];
        EXPECT_TRUE(s == 0 || s == 1000 || s == 2000 || s == 3000) << s;
        if (s == 3000) ++both;
    }
    EXPECT_GT(both, kRate / 2);
}

TEST(MixerChannel, LendsTheBytesAboutToBePlayed) {
    const QString file = test::WriteCounterWav("lend.wav", 3 * kRate);
    Station station;
    station.channel->Open(file);
    TPlayingData none = station.channel->GetPlayingData(0, 400);
    EXPECT_EQ(none.Length1 + none.Length2, 0u) << "nothing before the first fill";
    station.channel->Play();
    RunEventsFor(900);  // past the first refill
    const uint32_t position = station.channel->Position();
    TPlayingData lent = station.channel->GetPlayingData(0, 400);
    ASSERT_EQ(lent.Length1 + lent.Length2, 400u);
    ASSERT_GE(lent.Length1, 4u);
    const auto* frame = reinterpret_cast<const int16_t*>(lent.Data1);
    const int64_t index = test::CounterIndex(frame[0], frame[1]);
    EXPECT_NEAR(double(index), position * 44.1, 44.1 * 100);
    // While lent, refills leave the lent bytes alone.
    std::vector<uint8_t> copy(lent.Data1, lent.Data1 + lent.Length1);
    RunEventsFor(900);
    EXPECT_EQ(std::vector<uint8_t>(lent.Data1, lent.Data1 + lent.Length1), copy);
    station.channel->ReleasePlayingData();
    EXPECT_EQ(station.channel->State(), TSoundMixerChannel::Playing);
}

TEST(MixerChannel, ALostDeviceStopsTheChannelAndKeepsTheFile) {
    const QString file = test::WriteCounterWav("lost.wav", 3 * kRate);
    Station station(2);
    std::atomic<int> lost{0};
    station.channel->OnBufferLost = [&](TSoundMixerChannel*) { ++lost; };
    station.channel->Open(file);
    station.channel->Play();
    RunEventsFor(500);
    RemoveVirtualDevice(2);
    ASSERT_TRUE(WaitFor([&] { return lost.load() > 0; }, 5000));
    EXPECT_EQ(lost.load(), 1);
    EXPECT_EQ(station.channel->State(), TSoundMixerChannel::Stopped);
    EXPECT_EQ(station.channel->FileName(), file);
    EXPECT_EQ(station.channel->Mirror(), nullptr);
    EXPECT_EQ(station.channel->Position(), 0u);
    // Playing again opens the output afresh.
    station.channel->Play();
    EXPECT_EQ(station.channel->State(), TSoundMixerChannel::Playing);
    RunEventsFor(300);
    EXPECT_GT(station.channel->Position(), 0u);
}

TEST(MixerChannel, ABufferLostBeforePlayLeavesTheChannelStoppedWithItsFile) {
    const QString file = test::WriteCounterWav("lost-first.wav", kRate);
    Station station(3);
    std::atomic<int> lost{0};
    station.channel->OnBufferLost = [&](TSoundMixerChannel*) { ++lost; };
    station.channel->Open(file);
    station.channel->Pause();  // makes the buffer without playing
    ASSERT_NE(station.channel->Mirror(), nullptr);
    RemoveVirtualDevice(3);
    EXPECT_NO_THROW(station.channel->Play());
    EXPECT_EQ(station.channel->State(), TSoundMixerChannel::Stopped);
    EXPECT_EQ(lost.load(), 1);
    EXPECT_EQ(station.channel->FileName(), file);
}

TEST(MixerChannel, CloseDeviceStopsAndRewindsButKeepsTheFile) {
    const QString file = test::WriteCounterWav("close.wav", 3 * kRate);
    Station station;
    station.channel->Open(file);
    station.channel->Play();
    RunEventsFor(600);
    station.mixer->CloseDevice();
    EXPECT_FALSE(station.mixer->IsOpen());
    EXPECT_EQ(station.channel->State(), TSoundMixerChannel::Stopped);
    EXPECT_EQ(station.channel->Position(), 0u);
    EXPECT_EQ(station.channel->FileName(), file);
    station.channel->Play();
    EXPECT_TRUE(station.mixer->IsOpen());
    EXPECT_EQ(station.channel->State(), TSoundMixerChannel::Playing);
}

TEST(MixerChannel, OpenResetsVolumeAndLoopAndAnEmptyNameCloses) {
    const QString file = test::WriteCounterWav("reset.wav", kRate);
    Station station;
    station.channel->Open(file);
    station.channel->SetVolume(-500);
    station.channel->SetLoop(true);
    station.channel->Open(file);
    EXPECT_EQ(station.channel->Volume(), 0);
    EXPECT_FALSE(station.channel->Loop());
    station.channel->Play();
    station.channel->Open(QString());
    EXPECT_TRUE(station.channel->FileName().isEmpty());
    EXPECT_EQ(station.channel->State(), TSoundMixerChannel::Stopped);
    EXPECT_EQ(station.channel->Position(), 0u);
    EXPECT_EQ(station.channel->Length(), 0u);
}

TEST(MixerChannel, OperationsThatNeedAFileSayso) {
    Station station;
    EXPECT_EQ(station.channel->Position(), 0u);
    EXPECT_NO_THROW(station.channel->Seek(1000));
    EXPECT_NO_THROW(station.channel->Stop());
    for (auto operation : {&TSoundMixerChannel::Play, &TSoundMixerChannel::Pause}) {
        try {
            (station.channel->*operation)();
            ADD_FAILURE() << "no error without a file";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "No file opened");
        }
    }
}

TEST(MixerChannel, AFailedOpenLeavesNoFile) {
    const QString good = test::WriteCounterWav("good.wav", kRate);
    const QString empty = test::WriteWav("no-frames.wav", 0, kRate, 2, 16, [](uint32_t) { return 0; });
    Station station;
    for (const QString& bad : {QString("/nonexistent/file.wav"), empty}) {
        station.channel->Open(good);
        EXPECT_THROW(station.channel->Open(bad), std::exception) << bad.toStdString();
        EXPECT_TRUE(station.channel->FileName().isEmpty());
        EXPECT_EQ(station.channel->Length(), 0u);
    }
}

TEST(MixerChannel, SeekBeforePlayShowsThePosition) {
    const QString file = test::WriteCounterWav("seek-stopped.wav", 2 * kRate);
    Station station;
    station.channel->Open(file);
    station.channel->Seek(1500);
    EXPECT_EQ(station.channel->Position(), 1500u);
    EXPECT_EQ(station.channel->State(), TSoundMixerChannel::Stopped);
}

TEST(MixerChannel, VolumeOutsideTheRangeIsRefused) {
    Station station;
    station.channel->Open(test::WriteCounterWav("volume-range.wav", kRate));
    EXPECT_THROW(station.channel->SetVolume(1), EDirectXError);
    EXPECT_THROW(station.channel->SetVolume(-10001), EDirectXError);
    EXPECT_EQ(station.channel->Volume(), 0);
}

}  // namespace
}  // namespace tessora

namespace tessora {
namespace {

// Closing from the mixer or by destruction at any moment of a running update thread, and the
// owner's calls interleaved with ticks: nothing may race (the ThreadSanitizer build runs this).
TEST(MixerChannelThreads, ClosingAtAnyMomentOfTheUpdateThreadIsSafe) {
    const QString file = test::WriteCounterWav("threads.wav", 2 * kRate);
    for (int round = 0; round < 12; ++round) {
        auto mixer = std::make_unique<TSoundMixer>();
        mixer->SetDeviceIndex(round % 4);
        auto* channel = new TSoundMixerChannel(mixer.get());
        channel->Open(file);
        channel->SetLoop(round % 2 == 0);
        channel->Play();
        RunEventsFor(100 + 137 * (round % 4));  // lands before, during and between ticks
        const TPlayingData lent = channel->GetPlayingData(0, 800);
        if (round % 3 == 0) {
            mixer->CloseDevice();  // with the data still lent, which must stay readable
            EXPECT_EQ(channel->State(), TSoundMixerChannel::Stopped);
            const std::vector<uint8_t> copy(lent.Data1, lent.Data1 + lent.Length1);
            EXPECT_EQ(copy.size(), lent.Length1);
            channel->ReleasePlayingData();
        } else if (round % 3 == 1) {
            delete channel;  // the channel goes first, with the data lent
        }
        mixer.reset();
    }
}

TEST(MixerChannelThreads, OwnerCallsInterleaveWithTicks) {
    const QString file = test::WriteCounterWav("interleave.wav", 3 * kRate);
    Station station;
    station.channel->Open(file);
    station.channel->SetLoop(true);
    station.channel->Play();
    for (int i = 0; i < 40; ++i) {
        station.channel->Position();
        const TPlayingData lent = station.channel->GetPlayingData(0, 400);
        if (lent.Length1 > 0) {
            EXPECT_NE(lent.Data1, nullptr);
        }
        station.channel->ReleasePlayingData();
        if (i % 10 == 5) station.channel->Pause();
        if (i % 10 == 7) station.channel->Play();
        if (i == 20) station.channel->Seek(1000);
        if (i == 21) station.channel->Play();
        station.channel->SetVolume(-(i % 5) * 100);
        RunEventsFor(50);
    }
    EXPECT_EQ(station.channel->State(), TSoundMixerChannel::Playing);
    EXPECT_EQ(station.ends, 0);
}

}  // namespace
}  // namespace tessora

namespace tessora {
namespace {

TEST(MixerChannel, ADeviceFailureDuringRefillStopsTheSoundAndTellsTheOwner) {
    const QString file = test::WriteCounterWav("failing.wav", 3 * kRate);
    Station station(3);
    QString error;
    int errors = 0;
    station.channel->OnError = [&](TSoundMixerChannel* channel, const QString& text) {
        EXPECT_EQ(channel, station.channel);
        error = text;
        ++errors;
    };
    station.channel->Open(file);
    station.channel->SetLoop(true);
    station.channel->Play();
    RunEventsFor(600);
    FailVirtualDevice(3, audio_result::Generic);
    ASSERT_TRUE(WaitFor([&] { return errors > 0; }, 5000));
    EXPECT_EQ(error, "An undetermined error occurred inside the DirectSound subsystem.");
    EXPECT_EQ(station.channel->State(), TSoundMixerChannel::Stopped);
    EXPECT_EQ(station.channel->FileName(), file);
    FailVirtualDevice(3, audio_result::Ok);
    RunEventsFor(1500);  // a buffer still playing would go on sounding here
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(station.ends, 0);
    const test::Capture capture = station.Finish();
    const auto heard = HeardCounter(capture);
    ASSERT_FALSE(heard.empty());
    EXPECT_GT(capture.Frames() - heard.back().at, kRate) << "sound went on after the failure";
    EXPECT_EQ(CounterRuns(heard).size(), 1u);
}

}  // namespace
}  // namespace tessora
