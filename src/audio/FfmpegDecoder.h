#pragma once
// Decodes any audio file FFmpeg can read into 8-bit unsigned or 16-bit signed
// interleaved PCM with one or two channels, at the file's own sample rate.

#include "AudioFileRead.h"

#include <cstdint>
#include <vector>

struct AVFormatContext;
struct AVCodecContext;
struct AVPacket;
struct AVFrame;
struct SwrContext;

namespace tessora {

// Raises EAudioReadError with FFmpeg's code and the text that fits it.
[[noreturn]] void RaiseFfmpegError(int code);
[[noreturn]] void RaiseFfmpegError(int code, const QString& text);

class FfmpegDecoder final : public TAudioFileReader::Decoder {
public:
    explicit FfmpegDecoder(const QString& fileName);
    ~FfmpegDecoder() override;

    void SeekToFrame(int64_t frame) override;

private:
    bool DecodeNextBlock() override;
    void OpenInput();
    void CloseInput();
    void ChooseOutputFormat();
    int64_t CountFrames();
    int64_t ScanPacketFrames();
    bool ReceiveFrame();
    bool FeedPacket();
    bool AcceptFrame();
    bool SyncFromTimestamp();
    bool SyncFromCheckpoint();
    uint32_t ConvertFrame();
    bool IsPassthrough() const;
    void ConfigureResampler();

    // Where decoding may start again: the byte position of a packet, the raw frame index
    // of its first sample and its time, one about every second of what has been decoded.
    struct Checkpoint {
        int64_t pos;
        int64_t raw;
        int64_t pts;
    };
    void RecordCheckpoint(int64_t raw);
    void ScanCheckpointsTo(int64_t raw);
    const Checkpoint* CheckpointBefore(int64_t raw) const;
    void SetGaplessTrim(int64_t rawFrames, int64_t delay, int64_t padding);
    int64_t RawToOutput(int64_t raw) const;
    int64_t OutputToRaw(int64_t frame) const;
    void SeekInContainer(int64_t raw);
    void SeekToCheckpoint(const Checkpoint& checkpoint, int64_t raw);
    void RestartDecoding(int64_t discardUntilRaw);
    void RewindAndSkipTo(int64_t raw);

    QString fileName_;
    AVFormatContext* demuxer_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    SwrContext* swr_ = nullptr;
    int swrInputFormat_ = -1;
    int swrInputRate_ = 0;
    uint64_t swrInputLayoutKey_ = 0;
    int stream_ = -1;
    int outSampleFormat_ = -1;

    // PCM-like codecs carry exact timestamps, so a container seek lands where it says.
    bool ready_ = false;  // the file is open and the decoder set up
    bool exactTimestamps_ = false;
    bool syncFromTimestamp_ = false;
    bool inputDrained_ = false;
    int64_t startPts_ = 0;

    std::vector<uint8_t> converted_;

    // The raw timeline counts every frame the decoder makes. The delivered one leaves out
    // the head and tail trims, which only a gapless mp3 has.
    bool ownTrimming_ = false;
    bool timeCheckpoints_ = false;  // checkpoints found again by their time
    int64_t trimHead_ = 0;
    int64_t tailStart_ = INT64_MAX;
    int64_t tailEnd_ = INT64_MAX;
    int64_t rawAfterPending_ = 0;  // raw frame index just past the pending block
    int64_t discardUntilRaw_ = 0;  // frames before this one are decoded and dropped
    std::vector<Checkpoint> checkpoints_;
    bool syncFromCheckpoint_ = false;
    Checkpoint sync_{};
};

}  // namespace tessora
