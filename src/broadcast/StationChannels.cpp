#include "StationChannels.h"

#include "Station.h"

namespace tessora {

int TStationChannels::ChannelCount() const { return station_.ChannelCount(); }

QString TStationChannels::ChannelTitle(int index) const {
    const TListPlayer* channel = station_.Channel(index);
    return channel ? channel->Title : QString();
}

uint8_t TStationChannels::ChannelPlayState(int index) const {
    const TListPlayer* channel = station_.Channel(index);
    return channel ? channel->PlayState : uint8_t(PlayStopped);
}

void TStationChannels::SetChannelPlayState(int index, uint8_t state) { station_.SetPlayState(index, state); }

void TStationChannels::TakeOver(int index, const QString& file, bool loop, const QString& holder) {
    station_.TakeOver(index, file, loop, holder);
}

void TStationChannels::SetOverrideFile(int index, const QString& file) { station_.SetOverrideFile(index, file); }

void TStationChannels::SetLoop(int index, bool loop) { station_.SetLoop(index, loop); }

void TStationChannels::GiveBack(int index) { station_.GiveBack(index); }

}  // namespace tessora
