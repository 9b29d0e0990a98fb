#pragma once
// Tells what sounded when on a virtual capture output, in wall-clock time.

#include "CaptureFile.h"

#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <utility>

namespace tessora {

class CaptureTimeline {
public:
    static std::optional<CaptureTimeline> Load(const QString& base) {
        auto file = ReadCaptureFile(base);
        if (!file || file->bits != 16 || file->channels == 0) return std::nullopt;
        return CaptureTimeline(std::move(*file));
    }

    // Strength of a frequency over the left channel between two wall-clock times (Goertzel).
    double Power(double hz, int64_t fromMs, int64_t toMs) const {
        const auto [from, to] = Frames(fromMs, toMs);
        if (to - from < 64) return 0;
        const double k = 2 * std::cos(2 * M_PI * hz / file_.rate);
        double s1 = 0, s2 = 0;
        for (int64_t i = from; i < to; ++i) {
            const double s0 = Left(i) / 32768.0 + k * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        const double n = static_cast<double>(to - from);
        return (s1 * s1 + s2 * s2 - k * s1 * s2) / (n * n);
    }
    bool Sounds(double hz, int64_t fromMs, int64_t toMs) const { return Power(hz, fromMs, toMs) > 1e-3; }
    int64_t StartUnixMs() const { return file_.startUnixMs; }
    // The first moment, in 100 ms steps, at which the frequency sounds.
    std::optional<int64_t> FirstSound(double hz, int64_t fromMs, int64_t toMs) const {
        for (int64_t t = fromMs; t + 100 <= toMs; t += 100)
            if (Sounds(hz, t, t + 100)) return t;
        return std::nullopt;
    }
    // The first moment at which any sound louder than `threshold` starts.
    std::optional<int64_t> FirstLoud(int64_t fromMs, int64_t toMs, int threshold = 1000) const {
        const auto [from, to] = Frames(fromMs, toMs);
        for (int64_t i = from; i < to; ++i)
            if (std::abs(Left(i)) > threshold) return file_.startUnixMs + i * 1000 / file_.rate;
        return std::nullopt;
    }

    // The quietest stretch between two wall-clock times: the smallest peak of the left channel
    // over consecutive windows of `windowMs`. A gap of one window or more shows as (near) zero.
    int QuietestPeak(int64_t fromMs, int64_t toMs, int windowMs) const {
        const auto [from, to] = Frames(fromMs, toMs);
        const int64_t window = std::max<int64_t>(1, int64_t(windowMs) * file_.rate / 1000);
        int quietest = to - from >= window ? 32767 : 0;
        for (int64_t start = from; start + window <= to; start += window) {
            int peak = 0;
            for (int64_t i = start; i < start + window; ++i) peak = std::max(peak, std::abs(int(Left(i))));
            quietest = std::min(quietest, peak);
        }
        return quietest;
    }

private:
    explicit CaptureTimeline(CaptureFile file) : file_(std::move(file)) {}

    // The frames recorded between two wall-clock times.
    std::pair<int64_t, int64_t> Frames(int64_t fromMs, int64_t toMs) const {
        const auto frameAt = [&](int64_t ms) { return (ms - file_.startUnixMs) * file_.rate / 1000; };
        return {std::max<int64_t>(0, frameAt(fromMs)), std::min<int64_t>(static_cast<int64_t>(file_.Frames()), frameAt(toMs))};
    }
    int16_t Left(int64_t frame) const { return file_.samples[static_cast<size_t>(frame) * file_.channels]; }

    CaptureFile file_;
};

}  // namespace tessora
