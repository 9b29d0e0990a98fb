#pragma once
// What the all-call and alarm windows ask of the channels. The station's owner of the channels
// answers in the program; tests answer with a fake.

#include <QString>

#include <cstdint>

namespace tessora {

class TBroadcastChannels {
public:
    virtual ~TBroadcastChannels() = default;

    virtual int ChannelCount() const = 0;
    virtual QString ChannelTitle(int index) const = 0;
    // PlayOn, PlayPaused or PlayStopped.
    virtual uint8_t ChannelPlayState(int index) const = 0;
    virtual void SetChannelPlayState(int index, uint8_t state) = 0;

    // Takes the channel from its timetable or its own manual play: it plays `file` by hand
    // (silence while the file is empty), repeating it seamlessly when `loop` is set. Its play
    // state is left as it is. `holder` names the override on the channel's panel.
    virtual void TakeOver(int index, const QString& file, bool loop, const QString& holder) = 0;
    // The file a taken channel plays from now on.
    virtual void SetOverrideFile(int index, const QString& file) = 0;
    // Keeps a taken channel's file repeating (or not).
    virtual void SetLoop(int index, bool loop) = 0;
    // Gives a taken channel back to the mode it had: a timetable resumes at its next tick; manual
    // play stays manual, without a file.
    virtual void GiveBack(int index) = 0;
};

}  // namespace tessora
