#pragma once
// Decodes any audio file FFmpeg can read into 8-bit unsigned or 16-bit signed
// interleaved PCM with one or two channels, at the file's own sample rate.

#include "AudioFileRead.h"

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
    uint32_t ConvertFrame();
    bool IsPassthrough() const;
    void ConfigureResampler();
    void SeekInContainer(int64_t frame);
    void RewindAndSkipTo(int64_t frame);

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
    int64_t frameAfterPending_ = 0;  // output frame index just past the pending block
    int64_t discardUntil_ = 0;       // frames before this one are decoded and dropped
};

}  // namespace tessora
