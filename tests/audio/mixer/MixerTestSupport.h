#pragma once
// Helpers of the mixer tests: sound files made in code, the virtual outputs' captures read
// back, and waiting on the Qt event loop.

#include "CaptureFile.h"
#include "SoundMixer.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace tessora::test {

// A 16-bit PCM WAV whose frame i is counterFrame(i): every frame can be told from every other,
// so a capture shows exactly which frames were played, in which order.
QString WriteCounterWav(const QString& name, uint32_t frames, uint32_t rate = 44100);
int16_t CounterLeft(uint32_t frame);
int16_t CounterRight(uint32_t frame);
// The frame index a captured stereo frame stands for, or -1 for silence or anything else.
int64_t CounterIndex(int16_t left, int16_t right);

// A WAV of `frames` frames from a function of the frame index (one value for every channel).
QString WriteWav(const QString& name, uint32_t frames, uint32_t rate, uint16_t channels, uint16_t bits,
                 const std::function<int(uint32_t)>& sample);

// The folder the virtual outputs capture into (set up by the test main).
QString CaptureDir();

using Capture = CaptureFile;
// Reads DIR/device-<index>.wav and .start; fails the test when they are missing or malformed.
Capture ReadCapture(int index, const QString& dir = CaptureDir());

// The frame indices of the counter signal in a stereo capture, silence left out, with the
// capture frame each was heard at.
struct HeardFrame {
    size_t at;
    int64_t index;
};
std::vector<HeardFrame> HeardCounter(const Capture& capture);
// The runs of consecutive frame indices, as (first index, last index) pairs.
std::vector<std::pair<int64_t, int64_t>> CounterRuns(const std::vector<HeardFrame>& heard);

// Processes Qt events until `done` or the timeout; returns `done()`.
bool WaitFor(const std::function<bool()>& done, int timeoutMs);
void RunEventsFor(int ms);

// One mixer on a virtual output with one channel; the capture is read once the mixer is gone.
struct Station {
    static constexpr int kEndTimeoutMs = 15000;
    explicit Station(int device = 0);
    Capture Finish();
    bool WaitForEnd(int timeoutMs = kEndTimeoutMs);
    // When the last sound of the counter signal was heard, from the capture (Unix ms).
    static int64_t LastHeardUnixMs(const Capture& capture);

    int device;
    std::unique_ptr<TSoundMixer> mixer;
    TSoundMixerChannel* channel;  // freed with the mixer
    int ends = 0;
    int64_t endUnixMs = 0;
};

}  // namespace tessora::test
