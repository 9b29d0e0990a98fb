// Runs the real station with many channels on virtual capture outputs, one output per channel,
// and measures, for every timetable item, the delay from its start time to its first audible
// sample on its output; how busy the GUI thread was while they played; and what one item start
// cost the GUI thread: its CPU time while items started, less what it spent at the same rate
// before the first item, divided by the starts (every channel starts an item at the same tick).
//   station-bench [CHANNELS [ITEMS]]   (default 16 channels of 20 items)
#include "CaptureAnalysis.h"
#include "StationRun.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <cstdio>

using namespace tessora;


int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int channels = argc > 1 ? std::atoi(argv[1]) : 16;
    const int items = argc > 2 ? std::atoi(argv[2]) : 20;
    // An item every 3 s, each 2 s long, of a tone longer than the item: one start per item.
    constexpr int kSpacing = 3, kLength = 2, kIdleSeconds = 5;

    StationRun station(TESSORA_PROGRAM, TESSORA_CLI);
    if (!station.Ready() || !station.MakeTone("tone.wav", 523, 2.5)) return std::fprintf(stderr, "set-up failed\n"), 1;
    const QDateTime t0 = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() + 10 + channels / 8);
    if (!station.MakeEvenTimetables(channels, items, kSpacing, kLength, t0, "tone.wav") || !station.Start(channels + 1))
        return std::fprintf(stderr, "start failed\n"), 1;

    const int64_t first = t0.toMSecsSinceEpoch(), last = first + int64_t(items * kSpacing) * 1000;
    const int64_t idleFrom = first - kIdleSeconds * 1000;
    while (QDateTime::currentMSecsSinceEpoch() < idleFrom) QThread::msleep(50);
    const int64_t cpuIdle = StationRun::MainThreadCpuMs(station.Pid());
    while (QDateTime::currentMSecsSinceEpoch() < first) QThread::msleep(50);
    const int64_t cpuBefore = StationRun::MainThreadCpuMs(station.Pid());
    while (QDateTime::currentMSecsSinceEpoch() < last) QThread::msleep(100);
    const int64_t cpuAfter = StationRun::MainThreadCpuMs(station.Pid());
    station.Terminate();

    std::vector<int64_t> delays;
    int missing = 0;
    for (int c = 0; c < channels; ++c) {
        const auto capture = CaptureTimeline::Load(station.CaptureFolder() + QString("/device-%1").arg(c + 1));
        for (int i = 0; i < items; ++i) {
            const int64_t start = first + int64_t(i * kSpacing) * 1000;
            const auto heard = capture ? capture->FirstLoud(start, start + kLength * 1000) : std::nullopt;
            if (heard) delays.push_back(*heard - start);
            else ++missing;
        }
    }
    std::sort(delays.begin(), delays.end());
    const auto percentile = [&](double p) { return delays.empty() ? -1 : delays[size_t(p * double(delays.size() - 1))]; };
    std::printf("channels %d, items %d each: %zu items heard, %d not heard within their window\n", channels, items,
                delays.size(), missing);
    std::printf("start delay: median %lld ms, 90th percentile %lld ms, worst %lld ms\n", (long long)percentile(0.5),
                (long long)percentile(0.9), (long long)(delays.empty() ? -1 : delays.back()));
    std::printf("GUI thread busy: %.1f %% of %lld s\n", 100.0 * double(cpuAfter - cpuBefore) / double(last - first),
                (long long)((last - first) / 1000));
    const double idlePerMs = double(cpuBefore - cpuIdle) / double(first - idleFrom);
    const double startsCost = double(cpuAfter - cpuBefore) - idlePerMs * double(last - first);
    std::printf("GUI thread per item start: %.2f ms (%.1f %% busy between items)\n",
                startsCost / double(channels * items), 100.0 * idlePerMs);
    return 0;
}
