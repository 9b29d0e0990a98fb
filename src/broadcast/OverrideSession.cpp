#include "OverrideSession.h"

#include "ChannelFile.h"

namespace tessora {

TOverrideSession::TOverrideSession(TBroadcastChannels& channels, QString file, bool loop)
    : channels_(channels), file_(std::move(file)), loop_(loop), taken_(size_t(std::max(0, channels.ChannelCount())), false) {}

TOverrideSession::~TOverrideSession() { GiveBackAll(); }

bool TOverrideSession::IsTaken(int index) const { return index >= 0 && index < ChannelCount() && taken_[size_t(index)]; }

void TOverrideSession::SetTaken(int index, bool taken) {
    if (index < 0 || index >= ChannelCount() || taken_[size_t(index)] == taken) return;
    taken_[size_t(index)] = taken;
    if (taken)
        channels_.TakeOver(index, file_, loop_);
    else
        channels_.GiveBack(index);
}

void TOverrideSession::SetFile(const QString& file) {
    file_ = file;
    for (int i = 0; i < ChannelCount(); ++i)
        if (taken_[size_t(i)]) channels_.SetOverrideFile(i, file_);
}

std::optional<uint8_t> TOverrideSession::TogglePlay() {
    std::optional<uint8_t> last;
    for (int i = 0; i < ChannelCount(); ++i) {
        if (!taken_[size_t(i)]) continue;
        const uint8_t next = channels_.ChannelPlayState(i) == PlayOn ? uint8_t(PlayPaused) : uint8_t(PlayOn);
        channels_.SetChannelPlayState(i, next);
        last = next;
    }
    return last;
}

bool TOverrideSession::Stop() {
    bool any = false;
    for (int i = 0; i < ChannelCount(); ++i) {
        if (!taken_[size_t(i)] || channels_.ChannelPlayState(i) == PlayStopped) continue;
        channels_.SetChannelPlayState(i, PlayStopped);
        any = true;
    }
    return any;
}

void TOverrideSession::KeepLooping() {
    // Channels given back are left alone: a timetable item that loops must go on looping.
    for (int i = 0; i < ChannelCount(); ++i)
        if (taken_[size_t(i)]) channels_.SetLoop(i, loop_);
}

void TOverrideSession::GiveBackAll() {
    for (int i = 0; i < ChannelCount(); ++i) SetTaken(i, false);
}

}  // namespace tessora
