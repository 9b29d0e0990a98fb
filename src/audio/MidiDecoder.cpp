#include "MidiDecoder.h"

#include "FfmpegDecoder.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <mutex>

#include <fluidsynth.h>

extern "C" {
#include <libavutil/error.h>
}

namespace tessora {

namespace {

constexpr char kDefaultSoundFont[] = "/usr/share/sounds/sf2/TimGM6mb.sf2";
// Debian's link to whichever General MIDI font is installed, when TimGM6mb is not.
constexpr char kAnyGeneralMidiFont[] = "/usr/share/sounds/sf2/default-GM.sf2";
constexpr int64_t kBlockFrames = 1024;
// FluidSynth makes its sound in blocks of this many frames and a message takes effect at the
// next block, so after a seek the block phase must be the one a play-through has there.
constexpr int64_t kSynthBlock = 64;

QString& SoundFontOverride() {
    static QString path;
    return path;
}

void QuietFluidSynthLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level : {FLUID_WARN, FLUID_INFO, FLUID_DBG})
            fluid_set_log_function(level, nullptr, nullptr);
    });
}

int16_t ToSample(float value) {
    const float scaled = std::nearbyint(value * 32767.0f);
    return int16_t(std::clamp(scaled, -32768.0f, 32767.0f));
}

}  // namespace

QString MidiSoundFont() {
    const QString& path = SoundFontOverride();
    if (!path.isEmpty())
        return path;
    const QString fallback = QString::fromLatin1(kAnyGeneralMidiFont);
    if (!QFileInfo(QString::fromLatin1(kDefaultSoundFont)).isFile() && QFileInfo(fallback).isFile())
        return fallback;
    return QString::fromLatin1(kDefaultSoundFont);
}

void SetMidiSoundFont(const QString& path) {
    SoundFontOverride() = path;
}

MidiDecoder::MidiDecoder(const QString& fileName) : sequence_(LoadMidiSequence(fileName)) {
    QuietFluidSynthLog();
    const QString soundFont = MidiSoundFont();
    if (!QFileInfo(soundFont).isFile())
        RaiseFfmpegError(AVERROR(ENOENT),
                         QStringLiteral("MIDI files cannot be played: the sound font %1 is not installed "
                                        "(Debian package timgm6mb-soundfont).")
                             .arg(soundFont));

    format_ = PcmFormat(kSampleRate, 2, 16);
    // A damaged delta time can put events months away; nothing plays beyond a day.
    constexpr double kLongestSeconds = 24 * 3600;
    timeline_.reserve(sequence_.messages.size());
    for (const MidiMessage& message : sequence_.messages) {
        if (message.seconds >= 0 && message.seconds <= kLongestSeconds)
            timeline_.push_back({std::llround(message.seconds * kSampleRate), &message});
    }
    if (sequence_.hasNotes)
        frameCount_ = std::llround((std::clamp(sequence_.lengthSeconds, 0.0, kLongestSeconds) + kTailSeconds) * kSampleRate);

    settings_.reset(new_fluid_settings());
    if (!settings_)
        RaiseFfmpegError(AVERROR(ENOMEM));
    fluid_settings_setnum(settings_.get(), "synth.sample-rate", kSampleRate);
    fluid_settings_setnum(settings_.get(), "synth.gain", 0.5);
    fluid_settings_setint(settings_.get(), "synth.cpu-cores", 1);
    fluid_settings_setint(settings_.get(), "synth.threadsafe-api", 0);
    soundFont_ = soundFont.toLocal8Bit();
    CreateSynth();
    block_.resize(size_t(kBlockFrames) * 2);
    floats_.resize(size_t(kBlockFrames) * 2);
}

MidiDecoder::~MidiDecoder() = default;

void MidiDecoder::SettingsDeleter::operator()(fluid_settings_t* settings) const {
    delete_fluid_settings(settings);
}

void MidiDecoder::SynthDeleter::operator()(fluid_synth_t* synth) const {
    delete_fluid_synth(synth);
}

bool MidiDecoder::DecodeNextBlock() {
    const int64_t frames = std::min(kBlockFrames, frameCount_ - frame_);
    if (frames <= 0)
        return false;
    Render(block_.data(), frames);
    SetPending(reinterpret_cast<const uint8_t*>(block_.data()), uint32_t(frames) * format_.nBlockAlign);
    return true;
}

// Renders from frame_ on, giving every message to the synthesizer at its own frame.
void MidiDecoder::Render(int16_t* out, int64_t frames) {
    while (frames > 0) {
        while (nextMessage_ < timeline_.size() && timeline_[nextMessage_].frame <= frame_)
            Send(*timeline_[nextMessage_++].message);
        int64_t run = frames;
        if (nextMessage_ < timeline_.size())
            run = std::min(run, timeline_[nextMessage_].frame - frame_);
        Synthesize(out, run);
        out += run * 2;
        frames -= run;
        frame_ += run;
    }
}

// Float output converted here rather than FluidSynth's 16-bit output, whose dither noise
// would make a second pass through the file differ from the first.
void MidiDecoder::Synthesize(int16_t* out, int64_t frames) {
    while (frames > 0) {
        const int run = int(std::min<int64_t>(frames, kBlockFrames));
        fluid_synth_write_float(synth_.get(), run, floats_.data(), 0, 2, floats_.data(), 1, 2);
        if (out) {
            for (int i = 0; i < run * 2; ++i)
                out[i] = ToSample(floats_[size_t(i)]);
            out += run * 2;
        }
        synthesized_ += run;
        frames -= run;
    }
}

void MidiDecoder::Send(const MidiMessage& m) {
    const auto& b = m.bytes;
    const int channel = b[0] & 0x0F;
    auto data = [&b](size_t i) { return i < b.size() ? int(b[i] & 0x7F) : 0; };
    switch (m.Kind()) {
    case 0x80: fluid_synth_noteoff(synth_.get(), channel, data(1)); break;
    case 0x90: fluid_synth_noteon(synth_.get(), channel, data(1), data(2)); break;
    case 0xA0: fluid_synth_key_pressure(synth_.get(), channel, data(1), data(2)); break;
    case 0xB0: fluid_synth_cc(synth_.get(), channel, data(1), data(2)); break;
    case 0xC0: fluid_synth_program_change(synth_.get(), channel, data(1)); break;
    case 0xD0: fluid_synth_channel_pressure(synth_.get(), channel, data(1)); break;
    case 0xE0: fluid_synth_pitch_bend(synth_.get(), channel, data(1) | data(2) << 7); break;
    case 0xF0:
        if (b[0] == 0xF0 && b.size() > 2) {
            const size_t end = b.back() == 0xF7 ? b.size() - 1 : b.size();
            fluid_synth_sysex(synth_.get(), reinterpret_cast<const char*>(b.data() + 1), int(end - 1), nullptr, nullptr,
                              nullptr, 0);
        }
        break;
    default: break;
    }
}

// A new synthesizer each time: a reset one keeps its reverb's state, and the sound after a
// seek to 0 would then differ from the first pass.
void MidiDecoder::CreateSynth() {
    synth_.reset();
    synth_.reset(new_fluid_synth(settings_.get()));
    synthesized_ = 0;
    if (!synth_)
        RaiseFfmpegError(AVERROR(ENOMEM));
    if (fluid_synth_sfload(synth_.get(), soundFont_.constData(), 1) == FLUID_FAILED)
        RaiseFfmpegError(AVERROR_INVALIDDATA,
                         QStringLiteral("MIDI files cannot be played: the sound font %1 cannot be read.")
                             .arg(QString::fromLocal8Bit(soundFont_)));
}

// Replays the controller, program and pitch state up to the frame without its notes, then
// renders silence up to the frame's block phase, so that what follows sounds exactly as it
// does when the file is played through.
void MidiDecoder::SeekToFrame(int64_t frame) {
    frame = std::clamp<int64_t>(frame, 0, frameCount_);
    ClearPending();
    CreateSynth();
    nextMessage_ = 0;
    while (nextMessage_ < timeline_.size() && timeline_[nextMessage_].frame < frame) {
        const MidiMessage& message = *timeline_[nextMessage_++].message;
        if (!message.StartsOrStopsNotes())
            Send(message);
    }
    Synthesize(nullptr, frame % kSynthBlock);
    frame_ = frame;
}

}  // namespace tessora
