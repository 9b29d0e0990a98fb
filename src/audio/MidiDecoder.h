#pragma once
// Renders a standard MIDI file with FluidSynth, 44100 Hz 16-bit stereo. The file is read
// ahead (tempo map included), so its length is known at open, and the synthesizer is
// driven sample by sample: every message is given to it at its own sample offset.

#include "AudioFileRead.h"
#include "MidiSequence.h"

#include <QByteArray>

#include <memory>
#include <vector>

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;

namespace tessora {

// The sound font MIDI files are played with: the TimGM6mb font of Debian's package (or, without
// it, the system's default General MIDI font), unless another one has been set (an empty name
// returns to the default).
QString MidiSoundFont();
void SetMidiSoundFont(const QString& path);

class MidiDecoder final : public TAudioFileReader::Decoder {
public:
    explicit MidiDecoder(const QString& fileName);
    ~MidiDecoder() override;

    void SeekToFrame(int64_t frame) override;

    static constexpr uint32_t kSampleRate = 44100;
    // Sound after the last event, so released notes and the reverb fade out instead of stopping dead.
    static constexpr double kTailSeconds = 1.0;

private:
    struct TimedMessage {
        int64_t frame;
        const MidiMessage* message;
    };

    bool DecodeNextBlock() override;
    void Render(int16_t* out, int64_t frames);
    void Synthesize(int16_t* out, int64_t frames);
    void Send(const MidiMessage& message);
    void CreateSynth();

    struct SettingsDeleter {
        void operator()(fluid_settings_t* settings) const;
    };
    struct SynthDeleter {
        void operator()(fluid_synth_t* synth) const;
    };

    MidiSequence sequence_;
    std::vector<TimedMessage> timeline_;
    std::unique_ptr<fluid_settings_t, SettingsDeleter> settings_;
    std::unique_ptr<fluid_synth_t, SynthDeleter> synth_;
    QByteArray soundFont_;
    size_t nextMessage_ = 0;
    int64_t frame_ = 0;          // next frame to render
    int64_t synthesized_ = 0;    // frames the synthesizer has made since it was created
    std::vector<int16_t> block_;
    std::vector<float> floats_;
};

}  // namespace tessora
