#pragma once
// The station at one moment, read-only: what each channel's panel shows and what its timetable
// holds now and next. Taken on the GUI thread (it reads the players' fields) and cheap: it
// touches no file.

#include "DateTimeValue.h"
#include "PlayList.h"

#include <QString>

#include <optional>
#include <vector>

namespace tessora {

class TStation;

struct ItemSnapshot {
    int32_t Number = 0;  // the item's Index in its day list
    QString Title;
    double StartTime = 0, EndTime = 0;  // times of day
};

struct ChannelSnapshot {
    int Channel = 0;
    QString Title;
    QString State;    // playing, paused, stopped, idle (on, nothing sounding) or error
    QString Caption;  // the panel's caption
    QString List;     // the panel's list label
    std::optional<ItemSnapshot> Item;  // the timetable item now, if any
    std::optional<ItemSnapshot> Next;  // the next item to start today, if any
    QString File;     // the panel's file label
    int Level[2] = {0, 0};  // the panel's gauges, 0..100
    int SoundCard = 0;
    QString Output;   // the sound card's name; empty when it is not among the outputs
    QString Error;    // why the channel fails, if it does
};

struct StationSnapshot {
    QString Station;  // the system name
    LocalMoment Time;
    std::vector<ChannelSnapshot> Channels;
};

// `outputNames` by sound card index (TSoundMixer::DeviceNames()).
StationSnapshot SnapshotOf(const TStation& station, const LocalMoment& now, const QStringList& outputNames);

}  // namespace tessora
