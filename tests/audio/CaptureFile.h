#pragma once
// What a virtual capture output recorded: DIR/device-<index>.wav (16-bit PCM after a 44-byte
// header) and the wall-clock time of its first frame in DIR/device-<index>.start.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

namespace tessora {

struct CaptureFile {
    uint32_t rate = 0;
    uint16_t channels = 0;
    uint16_t bits = 0;
    uint32_t headerDataBytes = 0;  // what the header says; the samples are all the file holds
    std::vector<int16_t> samples;  // interleaved; empty unless 16-bit
    int64_t startUnixMs = 0;
    size_t Frames() const { return channels ? samples.size() / channels : 0; }
};

// `base` is the path without ".wav" / ".start"; nothing when either is missing or malformed.
inline std::optional<CaptureFile> ReadCaptureFile(const QString& base) {
    QFile wav(base + ".wav"), start(base + ".start");
    if (!wav.open(QIODevice::ReadOnly) || !start.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray bytes = wav.readAll();
    if (bytes.size() < 44 || !bytes.startsWith("RIFF") || bytes.mid(36, 4) != "data") return std::nullopt;
    const auto get = [&](int at, int size) {
        uint32_t value = 0;
        std::memcpy(&value, bytes.constData() + at, static_cast<size_t>(size));
        return value;
    };
    CaptureFile capture;
    capture.channels = static_cast<uint16_t>(get(22, 2));
    capture.rate = get(24, 4);
    capture.bits = static_cast<uint16_t>(get(34, 2));
    capture.headerDataBytes = get(40, 4);
    if (capture.bits == 16) {
        capture.samples.resize(static_cast<size_t>((bytes.size() - 44) / 2));
        std::memcpy(capture.samples.data(), bytes.constData() + 44, capture.samples.size() * 2);
    }
    capture.startUnixMs = start.readAll().trimmed().toLongLong();
    return capture;
}

}  // namespace tessora
