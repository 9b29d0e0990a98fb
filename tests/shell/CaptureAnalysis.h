#pragma once
// Reads what a virtual capture output recorded and tells what sounded when.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

namespace tessora {

// What one capture file holds: 16-bit stereo frames from a known wall-clock time.
struct Capture {
    int rate = 0;
    int channels = 0;
    int64_t startMs = 0;
    std::vector<int16_t> samples;  // interleaved

    static std::optional<Capture> Load(const QString& base) {
        QFile wav(base + ".wav"), start(base + ".start");
        if (!wav.open(QIODevice::ReadOnly) || !start.open(QIODevice::ReadOnly)) return std::nullopt;
        const QByteArray bytes = wav.readAll();
        const qsizetype data = bytes.indexOf("data");
        if (bytes.size() < 44 || data < 0) return std::nullopt;
        Capture c;
        std::memcpy(&c.channels, bytes.constData() + 22, 2);
        c.channels &= 0xffff;
        std::memcpy(&c.rate, bytes.constData() + 24, 4);
        const int bits = static_cast<unsigned char>(bytes[34]);
        if (bits != 16) return std::nullopt;
        // The header may lag behind the data: the file's size tells how much was written.
        const qsizetype first = data + 8;
        c.samples.resize(static_cast<size_t>((bytes.size() - first) / 2));
        std::memcpy(c.samples.data(), bytes.constData() + first, c.samples.size() * 2);
        c.startMs = start.readAll().trimmed().toLongLong();
        return c;
    }

    // Strength of a frequency over the left channel between two wall-clock times (Goertzel).
    double Power(double hz, int64_t fromMs, int64_t toMs) const {
        const int64_t from = std::max<int64_t>(0, (fromMs - startMs) * rate / 1000);
        const int64_t to = std::min<int64_t>(static_cast<int64_t>(samples.size() / channels), (toMs - startMs) * rate / 1000);
        if (to - from < 64) return 0;
        const double w = 2 * M_PI * hz / rate, k = 2 * std::cos(w);
        double s1 = 0, s2 = 0;
        for (int64_t i = from; i < to; ++i) {
            const double s0 = samples[static_cast<size_t>(i * channels)] / 32768.0 + k * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        const double n = static_cast<double>(to - from);
        return (s1 * s1 + s2 * s2 - k * s1 * s2) / (n * n);
    }
    // The first moment at or after fromMs at which any sound louder than `threshold` starts.
    std::optional<int64_t> FirstLoud(int64_t fromMs, int64_t toMs, int threshold = 1000) const {
        const int64_t from = std::max<int64_t>(0, (fromMs - startMs) * rate / 1000);
        const int64_t to = std::min<int64_t>(static_cast<int64_t>(samples.size() / channels), (toMs - startMs) * rate / 1000);
        for (int64_t i = from; i < to; ++i)
            if (std::abs(samples[static_cast<size_t>(i * channels)]) > threshold) return startMs + i * 1000 / rate;
        return std::nullopt;
    }
    bool Sounds(double hz, int64_t fromMs, int64_t toMs) const { return Power(hz, fromMs, toMs) > 1e-3; }
    // The first moment, in 100 ms steps, at which the frequency sounds.
    std::optional<int64_t> FirstSound(double hz, int64_t fromMs, int64_t toMs) const {
        for (int64_t t = fromMs; t + 100 <= toMs; t += 100)
            if (Sounds(hz, t, t + 100)) return t;
        return std::nullopt;
    }
};

}  // namespace tessora
