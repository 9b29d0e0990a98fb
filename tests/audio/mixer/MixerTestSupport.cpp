#include "MixerTestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cstring>

namespace tessora::test {

namespace {

constexpr uint32_t kCounterWrap = 30000;

QTemporaryDir& WorkDir() {
    static QTemporaryDir dir;
    return dir;
}

void Put16(QByteArray& out, uint16_t v) {
    out.append(char(v & 0xFF));
    out.append(char(v >> 8));
}

void Put32(QByteArray& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.append(char((v >> (8 * i)) & 0xFF));
}

uint32_t Get32(const QByteArray& in, int at) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t(uint8_t(in[at + i])) << (8 * i);
    return v;
}

uint16_t Get16(const QByteArray& in, int at) { return uint16_t(uint8_t(in[at]) | (uint8_t(in[at + 1]) << 8)); }

}  // namespace

int16_t CounterLeft(uint32_t frame) { return int16_t(1 + frame % kCounterWrap); }
int16_t CounterRight(uint32_t frame) { return int16_t(1 + frame / kCounterWrap); }

int64_t CounterIndex(int16_t left, int16_t right) {
    if (left < 1 || right < 1 || left > int(kCounterWrap)) return -1;
    return int64_t(left - 1) + int64_t(kCounterWrap) * (right - 1);
}

QString WriteWav(const QString& name, uint32_t frames, uint32_t rate, uint16_t channels, uint16_t bits,
                 const std::function<int(uint32_t)>& sample) {
    const uint32_t blockAlign = channels * bits / 8;
    QByteArray data;
    data.reserve(int(frames * blockAlign));
    for (uint32_t i = 0; i < frames; ++i) {
        for (uint16_t c = 0; c < channels; ++c) {
            const int v = sample(i * channels + c);
            if (bits == 8)
                data.append(char(uint8_t(v)));
            else
                Put16(data, uint16_t(int16_t(v)));
        }
    }
    QByteArray file("RIFF");
    Put32(file, 36 + uint32_t(data.size()));
    file.append("WAVEfmt ");
    Put32(file, 16);
    Put16(file, 1);
    Put16(file, channels);
    Put32(file, rate);
    Put32(file, rate * blockAlign);
    Put16(file, uint16_t(blockAlign));
    Put16(file, bits);
    file.append("data");
    Put32(file, uint32_t(data.size()));
    file.append(data);
    const QString path = QDir(WorkDir().path()).filePath(name);
    QSaveFile out(path);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(file);
    EXPECT_TRUE(out.commit());
    return path;
}

QString WriteCounterWav(const QString& name, uint32_t frames, uint32_t rate) {
    // sample() gets the interleaved sample number: even ones are left, odd ones right.
    return WriteWav(name, frames, rate, 2, 16, [](uint32_t n) {
        return n % 2 == 0 ? CounterLeft(n / 2) : CounterRight(n / 2);
    });
}

QString CaptureDir() { return qEnvironmentVariable("TESSORA_AUDIO").mid(QString("capture:").size()); }

Capture ReadCapture(int index, const QString& dir) {
    Capture capture;
    const QString base = QDir(dir).filePath(QString("device-%1").arg(index));
    QFile wav(base + ".wav");
    if (!wav.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "no capture " << base.toStdString() << ".wav";
        return capture;
    }
    const QByteArray bytes = wav.readAll();
    if (bytes.size() < 44 || !bytes.startsWith("RIFF") || bytes.mid(36, 4) != "data") {
        ADD_FAILURE() << "malformed capture header";
        return capture;
    }
    capture.channels = Get16(bytes, 22);
    capture.rate = Get32(bytes, 24);
    EXPECT_EQ(Get16(bytes, 34), 16);
    const uint32_t dataBytes = Get32(bytes, 40);
    EXPECT_EQ(dataBytes, uint32_t(bytes.size() - 44)) << "header not brought up to date";
    capture.samples.resize(dataBytes / 2);
    std::memcpy(capture.samples.data(), bytes.constData() + 44, capture.samples.size() * 2);
    QFile start(base + ".start");
    EXPECT_TRUE(start.open(QIODevice::ReadOnly));
    capture.startUnixMs = start.readAll().trimmed().toLongLong();
    return capture;
}

std::vector<HeardFrame> HeardCounter(const Capture& capture) {
    std::vector<HeardFrame> heard;
    for (size_t f = 0; f < capture.Frames(); ++f) {
        const int16_t left = capture.samples[2 * f];
        const int16_t right = capture.samples[2 * f + 1];
        if (left == 0 && right == 0) continue;
        heard.push_back({f, CounterIndex(left, right)});
    }
    return heard;
}

std::vector<std::pair<int64_t, int64_t>> CounterRuns(const std::vector<HeardFrame>& heard) {
    std::vector<std::pair<int64_t, int64_t>> runs;
    for (const auto& h : heard) {
        if (!runs.empty() && runs.back().second + 1 == h.index)
            runs.back().second = h.index;
        else
            runs.emplace_back(h.index, h.index);
    }
    return runs;
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

void RunEventsFor(int ms) {
    QElapsedTimer timer;
    timer.start();
    WaitFor([&] { return timer.elapsed() >= ms; }, ms + 1000);
}

}  // namespace tessora::test
