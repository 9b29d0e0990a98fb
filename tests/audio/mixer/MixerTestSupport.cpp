#include "MixerTestSupport.h"

#include <QCoreApplication>
#include <QDateTime>
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
    const QString base = QDir(dir).filePath(QString("device-%1").arg(index));
    const std::optional<Capture> capture = ReadCaptureFile(base);
    if (!capture) {
        ADD_FAILURE() << "no capture, or a malformed one, at " << base.toStdString();
        return {};
    }
    EXPECT_EQ(capture->bits, 16);
    EXPECT_EQ(capture->headerDataBytes, capture->samples.size() * 2) << "header not brought up to date";
    return *capture;
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

Station::Station(int device) : device(device) {
    mixer = std::make_unique<TSoundMixer>();
    mixer->SetDeviceIndex(device);
    channel = new TSoundMixerChannel(mixer.get());
    channel->OnEnd = [this](TSoundMixerChannel*) {
        ++ends;
        endUnixMs = QDateTime::currentMSecsSinceEpoch();
    };
}

Capture Station::Finish() {
    mixer.reset();
    return ReadCapture(device);
}

bool Station::WaitForEnd(int timeoutMs) {
    return WaitFor([this] { return ends > 0; }, timeoutMs);
}

int64_t Station::LastHeardUnixMs(const Capture& capture) {
    const auto heard = HeardCounter(capture);
    if (heard.empty()) return -1;
    return capture.startUnixMs + int64_t(heard.back().at) * 1000 / capture.rate;
}

}  // namespace tessora::test
