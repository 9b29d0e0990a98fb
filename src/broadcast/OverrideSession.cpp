#include "OverrideSession.h"

#include "ChannelFile.h"

namespace tessora {

TOverrideSession::TOverrideSession(TBroadcastChannels& channels, QString file, TOverrideKind kind)
    : channels_(channels),
      file_(std::move(file)),
      kind_(kind),
      taken_(size_t(std::max(0, channels.ChannelCount())), false),
      stateBefore_(taken_.size(), PlayOn) {}

TOverrideSession::~TOverrideSession() { GiveBackAll(); }

bool TOverrideSession::IsTaken(int index) const { return index >= 0 && index < ChannelCount() && taken_[size_t(index)]; }

void TOverrideSession::SetTaken(int index, bool taken) {
    if (index < 0 || index >= ChannelCount() || taken_[size_t(index)] == taken) return;
    taken_[size_t(index)] = taken;
    const bool alarm = kind_ == TOverrideKind::Alarm;
    if (taken) {
        stateBefore_[size_t(index)] = channels_.ChannelPlayState(index);
        channels_.TakeOver(index, file_, alarm, alarm ? QStringLiteral("告警") : QStringLiteral("全呼"));
        // An alarm that stays silent where someone had stopped a channel is no alarm.
        if (alarm && stateBefore_[size_t(index)] != PlayOn) channels_.SetChannelPlayState(index, PlayOn);
    } else {
        channels_.GiveBack(index);
        if (alarm && stateBefore_[size_t(index)] != PlayOn) channels_.SetChannelPlayState(index, stateBefore_[size_t(index)]);
    }
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

bool TOverrideSession::AnyPlaying() const {
    for (int i = 0; i < ChannelCount(); ++i)
        if (taken_[size_t(i)] && channels_.ChannelPlayState(i) == PlayOn) return true;
    return false;
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
    if (kind_ != TOverrideKind::Alarm) return;
    for (int i = 0; i < ChannelCount(); ++i)
        if (taken_[size_t(i)]) channels_.SetLoop(i, true);
}

void TOverrideSession::GiveBackAll() {
    for (int i = 0; i < ChannelCount(); ++i) SetTaken(i, false);
}

}  // namespace tessora
