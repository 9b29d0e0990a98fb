#include "StationSnapshot.h"

#include "AsRunEvent.h"
#include "Station.h"

namespace tessora {

namespace {

ItemSnapshot ItemOf(const PlayItem& item) { return {item.Index, item.Title, item.StartTime, item.EndTime}; }

// The first item of the list, in start order, that starts after `now` (list order among equals).
std::optional<ItemSnapshot> NextItem(const TPlayList& list, const LocalMoment& now) {
    const int64_t nowMs = MsOfDay(now);
    const PlayItem* next = nullptr;
    for (const PlayItem& item : list.Items) {
        const int64_t start = TimeOfDayMs(item.StartTime);
        if (start > nowMs && (!next || start < TimeOfDayMs(next->StartTime))) next = &item;
    }
    return next ? std::optional(ItemOf(*next)) : std::nullopt;
}

QString StateOf(const TListPlayer& player, const QString& failure) {
    if (!player.Channel()) return QStringLiteral("error");
    if (player.PlayState == PlayPaused) return QStringLiteral("paused");
    if (player.PlayState == PlayStopped) return QStringLiteral("stopped");
    if (!failure.isEmpty()) return QStringLiteral("error");
    return player.Channel()->GetState() == PlayerChannel::Playing ? QStringLiteral("playing") : QStringLiteral("idle");
}

}  // namespace

StationSnapshot SnapshotOf(const TStation& station, const LocalMoment& now, const QStringList& outputNames) {
    StationSnapshot snapshot;
    snapshot.Station = station.Settings().SystemName;
    snapshot.Time = now;
    snapshot.Channels.reserve(size_t(station.ChannelCount()));
    for (int i = 0; i < station.ChannelCount(); ++i) {
        const TListPlayer& player = *station.Channel(i);
        ChannelSnapshot c;
        c.Channel = i;
        c.Title = player.Title;
        c.Error = player.FailureText();
        c.State = StateOf(player, c.Error);
        if (const TPanelRecord* panel = station.ShownPanel(i)) {
            const PanelTexts& texts = panel->Texts();
            c.Caption = texts.Caption;
            c.List = texts.ListLabel;
            c.File = texts.FileLabel;
            c.Level[0] = texts.Left;
            c.Level[1] = texts.Right;
        }
        if (player.PlayMode == ListMode && player.CurrentItem.Index != -1) c.Item = ItemOf(player.CurrentItem);
        c.Next = NextItem(player.DayList, now);
        c.SoundCard = player.SoundCard;
        c.Output = outputNames.value(player.SoundCard);
        snapshot.Channels.push_back(std::move(c));
    }
    return snapshot;
}

}  // namespace tessora
