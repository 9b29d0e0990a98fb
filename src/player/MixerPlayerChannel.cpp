// The player's channel on a real sound card: one mixer on the card with one mixer channel.
#include "PlayerThread.h"
#include "SoundMixer.h"

namespace tessora {

namespace {

class MixerPlayerChannel : public PlayerChannel {
public:
    MixerPlayerChannel(int soundCard, int tag)
        : mixer_(std::make_unique<TSoundMixer>()), soundCard_(soundCard),
          outputsGeneration_(AudioOutput::System().Generation()) {
        UseSoundCard();
        mixer_->Tag = tag;
        channel_ = std::make_unique<TSoundMixerChannel>(mixer_.get());
        channel_->Tag = tag;
        channel_->OnEnd = [this](TSoundMixerChannel*) {
            if (OnEnd) OnEnd();
        };
        channel_->OnError = [this](TSoundMixerChannel*, const QString& message) {
            if (OnError) OnError(message);
        };
    }

    void Open(const QString& fileName) override { channel_->Open(fileName); }
    void OpenAsync(const QString& fileName, std::function<void(const TOpenResult&)> done,
                   std::optional<TOpenResult> knownFailure) override {
        channel_->OpenAsync(fileName, std::move(done), std::move(knownFailure));
    }
    QString OpeningFile() const override { return channel_->OpeningFile(); }
    void Play() override { channel_->Play(); }
    void Pause() override { channel_->Pause(); }
    void Stop() override { channel_->Stop(); }
    void Seek(uint32_t ms) override { channel_->Seek(ms); }
    void SetVolume(int32_t volume) override { channel_->SetVolume(volume); }
    void SetLoop(bool loop) override { channel_->SetLoop(loop); }
    bool Loop() const override { return channel_->Loop(); }
    State GetState() const override { return State(channel_->State()); }
    bool Ended() const override { return channel_->Ended(); }
    bool OnDefaultOutputInstead() const override { return defaultOutputInstead_; }
    bool WaitingForOutputs() const override { return AudioOutput::System().Waiting(); }
    void FollowOutputs() override {
        const uint64_t generation = AudioOutput::System().Generation();
        // A file being opened is given its buffer on the old output: move once it is open.
        if (generation == outputsGeneration_ || !channel_->OpeningFile().isEmpty()) return;
        outputsGeneration_ = generation;
        const TSoundMixerChannel::TState state = channel_->State();
        const uint32_t at = channel_->FileName().isEmpty() ? 0 : channel_->Position();
        UseSoundCard();  // the buffer goes with the old output; the file stays open
        if (state == TSoundMixerChannel::Stopped) return;
        channel_->Seek(at);
        channel_->Play();
        if (state == TSoundMixerChannel::Paused) channel_->Pause();
    }
    QString FileName() const override { return channel_->FileName(); }
    uint32_t Length() const override { return channel_->Length(); }
    uint32_t Position() override { return channel_->Position(); }
    uint32_t SampleRate() const override { return channel_->SampleRate(); }
    uint32_t Channels() const override { return channel_->Channels(); }
    uint32_t BitsPerSample() const override { return channel_->BitsPerSample(); }
    uint32_t BlockAlign() const override { return channel_->BlockAlign(); }
    TPlayingData GetPlayingData(uint32_t offset, uint32_t count) override {
        return channel_->GetPlayingData(offset, count);
    }
    void ReleasePlayingData() override { channel_->ReleasePlayingData(); }
    float TakeOutputPeak() override { return channel_->TakeOutputPeak(); }

private:
    void UseSoundCard() {
        // An index the device list does not have is ignored: the mixer takes the default output.
        mixer_->SetDeviceIndex(0);
        mixer_->SetDeviceIndex(soundCard_);
        defaultOutputInstead_ = mixer_->DeviceIndex() != soundCard_;
        // Opened on that index at first use.
        mixer_->CloseDevice();
    }

    // Declared first: the channel goes before its mixer.
    std::unique_ptr<TSoundMixer> mixer_;
    std::unique_ptr<TSoundMixerChannel> channel_;
    const int soundCard_;
    bool defaultOutputInstead_ = false;
    uint64_t outputsGeneration_;
};

static_assert(int(PlayerChannel::Stopped) == int(TSoundMixerChannel::Stopped) &&
              int(PlayerChannel::Playing) == int(TSoundMixerChannel::Playing) &&
              int(PlayerChannel::Paused) == int(TSoundMixerChannel::Paused));

}  // namespace

PlayerChannelFactory MixerChannelFactory() {
    return [](int soundCard, int tag) -> std::unique_ptr<PlayerChannel> {
        return std::make_unique<MixerPlayerChannel>(soundCard, tag);
    };
}

}  // namespace tessora
