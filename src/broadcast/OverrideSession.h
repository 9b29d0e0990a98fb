#pragma once
// The channels one override broadcast holds: which are taken, with which file, and the common
// play, pause and stop over them. Free of widgets; the all-call and alarm windows drive it.

#include "BroadcastChannels.h"

#include <QString>

#include <optional>
#include <vector>

namespace tessora {

enum class TOverrideKind {
    // The file plays once; a paused or stopped channel stays silent until it is played.
    AllCall,
    // The file repeats, and sounds on every channel taken: a paused or stopped channel is
    // played, and goes back to being paused or stopped when it is given back.
    Alarm,
};

class TOverrideSession {
public:
    TOverrideSession(TBroadcastChannels& channels, QString file, TOverrideKind kind);
    // Gives back every channel still taken.
    ~TOverrideSession();
    TOverrideSession(const TOverrideSession&) = delete;
    TOverrideSession& operator=(const TOverrideSession&) = delete;

    int ChannelCount() const { return int(taken_.size()); }
    bool IsTaken(int index) const;
    // Takes the channel over or gives it back; asking for what already is changes nothing.
    void SetTaken(int index, bool taken);

    QString File() const { return file_; }
    // The file every taken channel plays from now on.
    void SetFile(const QString& file);

    // Pauses each taken channel that plays and resumes each that is paused or stopped, in channel
    // order. The state the last taken channel ended in, or none when no channel is taken.
    std::optional<uint8_t> TogglePlay();
    // True when a taken channel is set to play (not paused, not stopped).
    bool AnyPlaying() const;
    // Stops every taken channel that is not stopped yet; true when one was.
    bool Stop();
    // Every taken channel of an alarm repeats its file again (opening a file ends a channel's
    // loop); the all-call's channels are left as they are.
    void KeepLooping();

    void GiveBackAll();

private:
    TBroadcastChannels& channels_;
    QString file_;
    TOverrideKind kind_;
    std::vector<bool> taken_;
    std::vector<uint8_t> stateBefore_;  // by channel: its play state when it was taken
};

}  // namespace tessora
