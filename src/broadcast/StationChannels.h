#pragma once
// The override windows' channels in the program: the station's channels and its commands.

#include "BroadcastChannels.h"

namespace tessora {

class TStation;

class TStationChannels : public TBroadcastChannels {
public:
    explicit TStationChannels(TStation& station) : station_(station) {}

    int ChannelCount() const override;
    QString ChannelTitle(int index) const override;
    uint8_t ChannelPlayState(int index) const override;
    void SetChannelPlayState(int index, uint8_t state) override;
    void TakeOver(int index, const QString& file, bool loop, const QString& holder) override;
    void SetOverrideFile(int index, const QString& file) override;
    void SetLoop(int index, bool loop) override;
    void GiveBack(int index) override;

private:
    TStation& station_;
};

}  // namespace tessora
