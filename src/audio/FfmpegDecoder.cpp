#include "FfmpegDecoder.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace tessora {

void RaiseFfmpegError(int code, const QString& text) {
    throw EAudioReadError(text, code);
}

void RaiseFfmpegError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    if (av_strerror(code, text, sizeof text) < 0 || text[0] == '\0')
        RaiseFfmpegError(code, QStringLiteral("Unrecognized error value."));
    RaiseFfmpegError(code, QString::fromUtf8(text));
}

namespace {

void Check(int result) {
    if (result < 0)
        RaiseFfmpegError(result);
}

// FFmpeg's complaints about damaged frames go nowhere: the reader skips such frames and
// reports real failures as exceptions.
void QuietFfmpegLog() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_FATAL); });
}

[[noreturn]] void RaiseOpenError(int code, const QString& fileName) {
    if (code == AVERROR(ENOENT))
        RaiseFfmpegError(code, QStringLiteral("File not found"));
    // A file no demuxer recognises fails its probe with one of these two.
    if (code == AVERROR_INVALIDDATA || code == AVERROR(EINVAL)) {
        QFileInfo info(fileName);
        if (info.exists() && info.size() == 0)
            RaiseFfmpegError(code, QStringLiteral("The file is empty."));
        RaiseFfmpegError(code, QStringLiteral("Unsupported file format."));
    }
    RaiseFfmpegError(code);
}

uint32_t BigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// What an MP3 encoder wrote into its Xing/Info header (with the LAME tag's encoder delay and
// padding) or its VBRI header. Nothing when the first frame carries no such header.
struct Mp3Tag {
    int64_t frames = 0;
    int64_t samplesPerFrame = 0;
    int64_t bytes = 0;           // of the frames, when the header says (0: it does not)
    int64_t leastFrameBytes = 0; // the smallest frame this version, layer and rate allow
    int64_t bytesPresent = 0;    // in the file from the header's frame on
    bool gapless = false;  // delay and padding are known
    int64_t delay = 0;
    int64_t padding = 0;
};

// The bytes of the smallest frame: the lowest bit rate at the file's sample rate.
int64_t LeastFrameBytes(int version, int layer, int rateIndex, int64_t samplesPerFrame) {
    static const int kRates[3] = {44100, 48000, 32000};
    const int64_t rate = kRates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    const int64_t leastBitRate = version == 3 ? 32000 : layer == 3 ? 32000 : 8000;
    return samplesPerFrame * leastBitRate / 8 / rate;
}

// Whether a cut file still holds the frames its header counts: the header is written first
// and knows nothing of a copy that stopped half way.
bool HeaderLengthFits(const Mp3Tag& tag) {
    if (tag.bytes > 0) return tag.bytesPresent >= tag.bytes * 9 / 10;
    return tag.bytesPresent >= tag.frames * tag.leastFrameBytes * 9 / 10;
}

std::optional<Mp3Tag> ReadMp3Tag(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    constexpr qint64 kSearchBytes = 64 * 1024;
    QByteArray head = file.read(10);
    qint64 start = 0;
    if (head.size() == 10 && head.startsWith("ID3")) {
        const auto* h = reinterpret_cast<const uint8_t*>(head.constData());
        start = 10 + ((h[6] & 0x7F) << 21 | (h[7] & 0x7F) << 14 | (h[8] & 0x7F) << 7 | (h[9] & 0x7F));
        if (h[5] & 0x10)
            start += 10;  // footer
    }
    if (!file.seek(start))
        return std::nullopt;
    const QByteArray data = file.read(kSearchBytes);
    const auto* d = reinterpret_cast<const uint8_t*>(data.constData());
    const qsizetype size = data.size();
    for (qsizetype i = 0; i + 4 <= size; ++i) {
        if (d[i] != 0xFF || (d[i + 1] & 0xE0) != 0xE0)
            continue;
        const int version = (d[i + 1] >> 3) & 3;  // 0 MPEG-2.5, 2 MPEG-2, 3 MPEG-1
        const int layer = (d[i + 1] >> 1) & 3;    // 1 III, 2 II, 3 I
        const int bitrateIndex = d[i + 2] >> 4;
        const int rateIndex = (d[i + 2] >> 2) & 3;
        if (version == 1 || layer == 0 || bitrateIndex == 15 || rateIndex == 3)
            continue;
        const bool mono = (d[i + 3] >> 6) == 3;
        const bool mpeg1 = version == 3;
        Mp3Tag tag;
        tag.samplesPerFrame = layer == 3 ? 384 : (layer == 2 || mpeg1) ? 1152 : 576;
        tag.leastFrameBytes = LeastFrameBytes(version, layer, rateIndex, tag.samplesPerFrame);
        tag.bytesPresent = file.size() - start - i;
        const qsizetype xing = i + 4 + (mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17));
        const qsizetype vbri = i + 4 + 32;
        if (xing + 8 <= size && (std::memcmp(d + xing, "Xing", 4) == 0 || std::memcmp(d + xing, "Info", 4) == 0)) {
            const uint32_t flags = BigEndian32(d + xing + 4);
            qsizetype p = xing + 8;
            if (!(flags & 1) || p + 4 > size)
                return std::nullopt;
            tag.frames = BigEndian32(d + p);
            p += 4;
            if (flags & 2) {
                if (p + 4 <= size) tag.bytes = BigEndian32(d + p);
                p += 4;
            }
            if (flags & 4) p += 100;
            if (flags & 8) p += 4;
            if (p + 24 <= size && (std::memcmp(d + p, "LAME", 4) == 0 || std::memcmp(d + p, "Lavf", 4) == 0 ||
                                   std::memcmp(d + p, "Lavc", 4) == 0)) {
                const uint8_t* gap = d + p + 21;
                tag.gapless = true;
                tag.delay = gap[0] << 4 | gap[1] >> 4;
                tag.padding = (gap[1] & 0x0F) << 8 | gap[2];
            }
            return tag;
        }
        if (vbri + 18 <= size && std::memcmp(d + vbri, "VBRI", 4) == 0) {
            tag.bytes = BigEndian32(d + vbri + 10);
            tag.frames = BigEndian32(d + vbri + 14);
            return tag;
        }
        return std::nullopt;  // the first frame is plain audio
    }
    return std::nullopt;
}

AVChannelLayout InputLayout(const AVChannelLayout& layout) {
    AVChannelLayout result{};
    if (layout.order != AV_CHANNEL_ORDER_UNSPEC) {
        av_channel_layout_copy(&result, &layout);
    } else if (layout.nb_channels == 3) {
        // Three channels without a mask are left, right and centre in a wave file.
        result = AV_CHANNEL_LAYOUT_SURROUND;
    } else {
        av_channel_layout_default(&result, layout.nb_channels);
    }
    return result;
}

uint64_t LayoutKey(const AVChannelLayout& layout) {
    const uint64_t mask = layout.order == AV_CHANNEL_ORDER_NATIVE ? layout.u.mask : 0;
    return mask ^ (uint64_t(layout.order) << 56) ^ (uint64_t(layout.nb_channels) << 48);
}

}  // namespace

FfmpegDecoder::FfmpegDecoder(const QString& fileName) : fileName_(fileName) {
    QuietFfmpegLog();
    try {
        OpenInput();
        ChooseOutputFormat();
        frameCount_ = CountFrames();
    } catch (...) {
        CloseInput();
        throw;
    }
}

FfmpegDecoder::~FfmpegDecoder() {
    CloseInput();
}

void FfmpegDecoder::OpenInput() {
    // Always a local file: a name with a colon is no protocol, and no file may make FFmpeg
    // open anything but other local files.
    const QByteArray url = "file:" + QFile::encodeName(fileName_);
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const int result = avformat_open_input(&demuxer_, url.constData(), nullptr, &options);
    av_dict_free(&options);
    if (result < 0)
        RaiseOpenError(result, fileName_);
    Check(avformat_find_stream_info(demuxer_, nullptr));
    const AVCodec* decoder = nullptr;
    stream_ = av_find_best_stream(demuxer_, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (stream_ == AVERROR_STREAM_NOT_FOUND)
        RaiseFfmpegError(stream_, QStringLiteral("The file has no audio stream."));
    if (stream_ == AVERROR_DECODER_NOT_FOUND) {
        const int audio = av_find_best_stream(demuxer_, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        const char* name = audio >= 0 ? avcodec_get_name(demuxer_->streams[audio]->codecpar->codec_id) : "unknown";
        RaiseFfmpegError(stream_, QStringLiteral("Unsupported audio format: %1.").arg(QString::fromUtf8(name)));
    }
    Check(stream_);
    const AVStream* stream = demuxer_->streams[stream_];
    codec_ = avcodec_alloc_context3(decoder);
    if (!codec_)
        RaiseFfmpegError(AVERROR(ENOMEM));
    Check(avcodec_parameters_to_context(codec_, stream->codecpar));
    codec_->thread_count = 1;
    codec_->pkt_timebase = stream->time_base;
    // For a plain mp3 file the reader drops the encoder delay and padding itself, on a
    // timeline of its own that byte-position seeks cannot confuse.
    ownTrimming_ = codec_->codec_id == AV_CODEC_ID_MP3 && std::strcmp(demuxer_->iformat->name, "mp3") == 0;
    if (ownTrimming_)
        codec_->flags2 |= AV_CODEC_FLAG2_SKIP_MANUAL;
    Check(avcodec_open2(codec_, decoder, nullptr));
    if (codec_->sample_rate <= 0 || codec_->ch_layout.nb_channels <= 0)
        RaiseFfmpegError(AVERROR_INVALIDDATA, QStringLiteral("Unsupported audio format: no sample rate or channels."));
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    if (!packet_ || !frame_)
        RaiseFfmpegError(AVERROR(ENOMEM));
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(codec_->codec_id);
    exactTimestamps_ = descriptor && (descriptor->props & AV_CODEC_PROP_INTRA_ONLY) &&
                       (descriptor->props & AV_CODEC_PROP_LOSSLESS);
    startPts_ = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    // Decoders whose state a few frames settle completely. Others (AAC and Opus with their
    // noise generators, for one) never sound the same after a seek as in a play-through.
    const AVCodecID settling[] = {AV_CODEC_ID_WMAV1, AV_CODEC_ID_WMAV2, AV_CODEC_ID_VORBIS};
    timeCheckpoints_ = !ownTrimming_ && !exactTimestamps_ &&
                       std::find(std::begin(settling), std::end(settling), codec_->codec_id) != std::end(settling);
    inputDrained_ = false;
    syncFromTimestamp_ = false;
    syncFromCheckpoint_ = false;
    ClearPending();
    rawAfterPending_ = 0;
    discardUntilRaw_ = 0;
    ready_ = true;
}

void FfmpegDecoder::CloseInput() {
    ready_ = false;
    swr_free(&swr_);
    swrInputFormat_ = -1;
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&codec_);
    avformat_close_input(&demuxer_);
    ClearPending();
}

void FfmpegDecoder::ChooseOutputFormat() {
    const bool eightBit = codec_->sample_fmt == AV_SAMPLE_FMT_U8 || codec_->sample_fmt == AV_SAMPLE_FMT_U8P;
    outSampleFormat_ = eightBit ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
    const uint16_t channels = codec_->ch_layout.nb_channels == 1 ? 1 : 2;
    format_ = PcmFormat(uint32_t(codec_->sample_rate), channels, eightBit ? 8 : 16);
}

int64_t FfmpegDecoder::CountFrames() {
    const AVStream* stream = demuxer_->streams[stream_];
    const AVRational outRate{1, int(format_.nSamplesPerSec)};
    if (ownTrimming_) {
        // The container's figure counts the encoder delay and padding; the tag or the
        // packets tell what really comes out.
        if (const std::optional<Mp3Tag> tag = ReadMp3Tag(fileName_)) {
            const int64_t raw = tag->frames * tag->samplesPerFrame;
            if (tag->gapless)
                SetGaplessTrim(raw, tag->delay, tag->padding);
            // A cut file: the frames that are there tell its length (the tail trim lies past them).
            return RawToOutput(HeaderLengthFits(*tag) ? raw : std::min(raw, ScanPacketFrames()));
        }
        return ScanPacketFrames();
    }
    // A length guessed from the bit rate is no length; the packets know better.
    if (demuxer_->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE)
        return ScanPacketFrames();
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
        return av_rescale_q(stream->duration, stream->time_base, outRate);
    if (demuxer_->duration != AV_NOPTS_VALUE && demuxer_->duration > 0)
        return av_rescale_q(demuxer_->duration, AV_TIME_BASE_Q, outRate);
    return ScanPacketFrames();
}

// Sums the packet durations without decoding, then starts the file afresh.
int64_t FfmpegDecoder::ScanPacketFrames() {
    const AVRational timeBase = demuxer_->streams[stream_]->time_base;
    int64_t total = 0;
    while (av_read_frame(demuxer_, packet_) >= 0) {
        if (packet_->stream_index == stream_ && packet_->duration > 0)
            total += packet_->duration;
        av_packet_unref(packet_);
    }
    CloseInput();
    OpenInput();
    return av_rescale_q(total, timeBase, AVRational{1, int(format_.nSamplesPerSec)});
}

bool FfmpegDecoder::DecodeNextBlock() {
    while (true) {
        if (ReceiveFrame()) {
            if (AcceptFrame())
                return true;
            continue;
        }
        if (!FeedPacket())
            return false;
    }
}

// True with a new frame in frame_; false when the decoder wants input or has ended.
bool FfmpegDecoder::ReceiveFrame() {
    if (!ready_)
        return false;
    const int result = avcodec_receive_frame(codec_, frame_);
    if (result == 0)
        return true;
    if (result == AVERROR(ENOMEM))
        RaiseFfmpegError(result);
    return false;  // EAGAIN, end of stream, or a damaged frame that is skipped
}

// Gives the decoder the next packet of our stream, or the final flush. False once
// the decoder has had everything.
bool FfmpegDecoder::FeedPacket() {
    if (inputDrained_ || !ready_)
        return false;
    while (true) {
        const int result = av_read_frame(demuxer_, packet_);
        if (result == AVERROR_EOF || result == AVERROR_INVALIDDATA) {
            // A truncated or damaged tail ends the data; what was decoded stays.
            inputDrained_ = true;
            avcodec_send_packet(codec_, nullptr);
            return true;
        }
        Check(result);
        if (packet_->stream_index != stream_) {
            av_packet_unref(packet_);
            continue;
        }
        const int sent = avcodec_send_packet(codec_, packet_);
        av_packet_unref(packet_);
        if (sent == AVERROR(ENOMEM))
            RaiseFfmpegError(sent);
        return true;  // a packet the decoder refuses is damaged and skipped
    }
}

// Places the decoded frame on the raw timeline and keeps, converted, what is neither
// trimmed nor before a seek target.
bool FfmpegDecoder::AcceptFrame() {
    if (syncFromTimestamp_ && !SyncFromTimestamp())
        return false;
    if (syncFromCheckpoint_ && !SyncFromCheckpoint())
        return false;
    const int64_t start = rawAfterPending_;
    RecordCheckpoint(start);
    int64_t keepFrom = std::max({start, discardUntilRaw_, trimHead_});
    if (keepFrom >= tailStart_ && keepFrom < tailEnd_)
        keepFrom = tailEnd_;
    const bool sameRate = frame_->sample_rate == int(format_.nSamplesPerSec);
    if (sameRate && keepFrom >= start + frame_->nb_samples) {
        rawAfterPending_ += frame_->nb_samples;  // dropped without converting
        return false;
    }
    rawAfterPending_ = start + ConvertFrame();
    int64_t keepTo = rawAfterPending_;
    if (start < tailStart_ && keepTo > tailStart_)
        keepTo = tailStart_;
    if (keepFrom >= keepTo) {
        ClearPending();
        return false;
    }
    DropPending(uint32_t(keepFrom - start) * format_.nBlockAlign);
    KeepPending(uint32_t(keepTo - keepFrom) * format_.nBlockAlign);
    return true;
}

// After a container seek in a file with exact timestamps, the first frame's time says where it is.
bool FfmpegDecoder::SyncFromTimestamp() {
    syncFromTimestamp_ = false;
    const int64_t pts = frame_->best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE) {
        RewindAndSkipTo(discardUntilRaw_);
        return false;
    }
    rawAfterPending_ = av_rescale_q(pts - startPts_, demuxer_->streams[stream_]->time_base,
                                    AVRational{1, int(format_.nSamplesPerSec)});
    return true;
}

// After a seek to a checkpoint's byte position, the frame from that position is where the
// checkpoint says; the demuxer's timestamps after such a seek mean nothing.
bool FfmpegDecoder::SyncFromCheckpoint() {
    const int64_t pos = frame_->pkt_pos;
    // In other containers one packet position holds several frames: the time tells them apart.
    const bool byTime = timeCheckpoints_;
    const int64_t pts = frame_->pts;
    if (pos == sync_.pos && (!byTime || pts == sync_.pts)) {
        syncFromCheckpoint_ = false;
        rawAfterPending_ = sync_.raw;
        return true;
    }
    const bool before = pos >= 0 && (byTime ? pts != AV_NOPTS_VALUE && pts < sync_.pts : pos < sync_.pos);
    if (!before)
        RewindAndSkipTo(discardUntilRaw_);
    return false;
}

void FfmpegDecoder::RecordCheckpoint(int64_t raw) {
    const int64_t pos = frame_->pkt_pos;
    const int64_t pts = frame_->pts;
    if (!(ownTrimming_ || timeCheckpoints_) || pos < 0 || (timeCheckpoints_ && pts == AV_NOPTS_VALUE))
        return;
    if (!checkpoints_.empty() &&
        (pos <= checkpoints_.back().pos || raw < checkpoints_.back().raw + int64_t(format_.nSamplesPerSec)))
        return;
    checkpoints_.push_back({pos, raw, pts});
}

// Reads packets without decoding them from the last checkpoint on, up to the raw frame,
// counting their samples and leaving a checkpoint about every second. The demuxer is then
// anywhere: a seek must follow.
void FfmpegDecoder::ScanCheckpointsTo(int64_t raw) {
    const Checkpoint from = checkpoints_.back();
    if (av_seek_frame(demuxer_, stream_, from.pos, AVSEEK_FLAG_BYTE) < 0)
        return;
    const AVRational timeBase = demuxer_->streams[stream_]->time_base;
    const int64_t rate = format_.nSamplesPerSec;
    int64_t at = from.raw;
    while (at < raw && av_read_frame(demuxer_, packet_) >= 0) {
        if (packet_->stream_index == stream_) {
            const Checkpoint& last = checkpoints_.back();
            if (packet_->pos > last.pos && at >= last.raw + rate)
                checkpoints_.push_back({packet_->pos, at, AV_NOPTS_VALUE});
            at += av_rescale_q(packet_->duration, timeBase, AVRational{1, int(rate)});
        }
        av_packet_unref(packet_);
    }
}

const FfmpegDecoder::Checkpoint* FfmpegDecoder::CheckpointBefore(int64_t raw) const {
    auto after = std::upper_bound(checkpoints_.begin(), checkpoints_.end(), raw,
                                  [](int64_t r, const Checkpoint& c) { return r < c.raw; });
    return after == checkpoints_.begin() ? nullptr : &*(after - 1);
}

void FfmpegDecoder::SetGaplessTrim(int64_t rawFrames, int64_t delay, int64_t padding) {
    // The decoder itself adds 529 samples of delay to the encoder's.
    constexpr int64_t kDecoderDelay = 529;
    trimHead_ = std::min(rawFrames, delay + kDecoderDelay);
    if (padding > kDecoderDelay && rawFrames - padding + kDecoderDelay > trimHead_) {
        tailStart_ = rawFrames - padding + kDecoderDelay;
        tailEnd_ = rawFrames;
    }
}

int64_t FfmpegDecoder::RawToOutput(int64_t raw) const {
    int64_t out = raw - std::min(raw, trimHead_);
    if (raw > tailStart_)
        out -= std::min(raw, tailEnd_) - tailStart_;
    return out;
}

int64_t FfmpegDecoder::OutputToRaw(int64_t frame) const {
    int64_t raw = frame + trimHead_;
    if (raw >= tailStart_)
        raw += tailEnd_ - tailStart_;
    return raw;
}

bool FfmpegDecoder::IsPassthrough() const {
    return frame_->format == outSampleFormat_ && frame_->ch_layout.nb_channels == format_.nChannels &&
           frame_->sample_rate == int(format_.nSamplesPerSec);
}

// Points the pending block at the frame's samples in the delivered format; returns its frames.
uint32_t FfmpegDecoder::ConvertFrame() {
    if (IsPassthrough()) {
        SetPending(frame_->data[0], uint32_t(frame_->nb_samples) * format_.nBlockAlign);
        return uint32_t(frame_->nb_samples);
    }
    ConfigureResampler();
    const int capacity = swr_get_out_samples(swr_, frame_->nb_samples);
    Check(capacity);
    converted_.resize(size_t(capacity) * format_.nBlockAlign);
    uint8_t* out = converted_.data();
    const int produced = swr_convert(swr_, &out, capacity, const_cast<const uint8_t**>(frame_->extended_data),
                                     frame_->nb_samples);
    Check(produced);
    SetPending(converted_.data(), uint32_t(produced) * format_.nBlockAlign);
    return uint32_t(produced);
}

void FfmpegDecoder::ConfigureResampler() {
    const uint64_t layoutKey = LayoutKey(frame_->ch_layout);
    if (swr_ && swrInputFormat_ == frame_->format && swrInputRate_ == frame_->sample_rate &&
        swrInputLayoutKey_ == layoutKey)
        return;
    swr_free(&swr_);
    AVChannelLayout in = InputLayout(frame_->ch_layout);
    AVChannelLayout out{};
    av_channel_layout_default(&out, format_.nChannels);
    const int result = swr_alloc_set_opts2(&swr_, &out, AVSampleFormat(outSampleFormat_), int(format_.nSamplesPerSec),
                                           &in, AVSampleFormat(frame_->format), frame_->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&in);
    av_channel_layout_uninit(&out);
    Check(result);
    Check(swr_init(swr_));
    swrInputFormat_ = frame_->format;
    swrInputRate_ = frame_->sample_rate;
    swrInputLayoutKey_ = layoutKey;
}

void FfmpegDecoder::SeekToFrame(int64_t frame) {
    frame = std::max<int64_t>(0, frame);
    const int64_t raw = OutputToRaw(frame);
    const uint32_t pendingBytes = PendingBytes();
    const int64_t pendingFrames = pendingBytes / format_.nBlockAlign;
    const int64_t current = RawToOutput(rawAfterPending_) - pendingFrames;
    const int64_t rate = format_.nSamplesPerSec;
    // The decoder's state depends on a few frames before: from a checkpoint this much
    // before the target on, the sound is the same as in a play-through.
    const int64_t preroll = rate / 2;
    const Checkpoint* checkpoint = CheckpointBefore(raw - preroll);
    // Decoding forward is exact for every codec; for a long way forward a container seek or
    // a checkpoint is cheaper, and reading the packets on to the target (without decoding
    // them) leaves checkpoints there.
    if (ready_ && ownTrimming_ && !checkpoints_.empty() && raw > checkpoints_.back().raw + 10 * rate &&
        raw > OutputToRaw(current) + 10 * rate) {
        ScanCheckpointsTo(raw);
        checkpoint = CheckpointBefore(raw - preroll);
        if (checkpoint) {
            SeekToCheckpoint(*checkpoint, raw);
            return;
        }
    }
    const bool checkpointAhead = checkpoint && checkpoint->raw > OutputToRaw(current) + 2 * rate;
    if (ready_ && pendingBytes % format_.nBlockAlign == 0 && frame >= current &&
        (exactTimestamps_ ? frame - current <= 2 * rate : !checkpointAhead)) {
        DropPending(uint32_t(std::min(frame - current, pendingFrames)) * format_.nBlockAlign);
        discardUntilRaw_ = raw;
        return;
    }
    if (ready_ && exactTimestamps_)
        SeekInContainer(raw);
    else if (ready_ && checkpoint)
        SeekToCheckpoint(*checkpoint, raw);
    else
        RewindAndSkipTo(raw);
}

void FfmpegDecoder::SeekInContainer(int64_t raw) {
    const AVStream* stream = demuxer_->streams[stream_];
    const int64_t ts = startPts_ + av_rescale_q(raw, AVRational{1, int(format_.nSamplesPerSec)}, stream->time_base);
    if (av_seek_frame(demuxer_, stream_, ts, AVSEEK_FLAG_BACKWARD) < 0) {
        RewindAndSkipTo(raw);
        return;
    }
    RestartDecoding(raw);
    syncFromTimestamp_ = true;
}

// A plain mp3 file is a run of frames where a byte position is exact; its timestamps after
// such a seek mean nothing. The other files with checkpoints are asked for a time a second
// before the checkpoint's, since their demuxers may land a little after the time asked for;
// the frames up to the checkpoint are dropped.
void FfmpegDecoder::SeekToCheckpoint(const Checkpoint& checkpoint, int64_t raw) {
    // Only checkpoints found again by time have one: those of a plain mp3 file carry no time.
    const auto earlier = [&] {
        const AVRational timeBase = demuxer_->streams[stream_]->time_base;
        return checkpoint.pts - av_rescale_q(1, AVRational{1, 1}, timeBase);
    };
    const int result = ownTrimming_ ? av_seek_frame(demuxer_, stream_, checkpoint.pos, AVSEEK_FLAG_BYTE)
                                    : av_seek_frame(demuxer_, stream_, earlier(), AVSEEK_FLAG_BACKWARD);
    if (result < 0) {
        RewindAndSkipTo(raw);
        return;
    }
    RestartDecoding(raw);
    syncFromCheckpoint_ = true;
    sync_ = checkpoint;
}

void FfmpegDecoder::RestartDecoding(int64_t discardUntilRaw) {
    avcodec_flush_buffers(codec_);
    if (swr_)
        swr_init(swr_);
    ClearPending();
    inputDrained_ = false;
    discardUntilRaw_ = discardUntilRaw;
}

// Opening the file again gives exactly the state right after open, for every format;
// decoding from there to the frame makes the landing sample exact.
void FfmpegDecoder::RewindAndSkipTo(int64_t raw) {
    CloseInput();
    OpenInput();
    discardUntilRaw_ = raw;
}

}  // namespace tessora
