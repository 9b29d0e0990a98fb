#include "ChannelDay.h"

#include "PeriodicList.h"

namespace tessora {

ChannelDay ChannelDayOf(const ChannelConfig& channel, const QDate& date) {
    ChannelDay day;
    if (channel.PeriodicListFile.isEmpty()) {
        day.ListFile = channel.DayListFile;
        if (day.ListFile.isEmpty()) day.NoListReason = QStringLiteral("the channel has no day list");
    } else {
        day.ListFile = ResolveDayList(ReadPeriodicList(channel.PeriodicListFile), date);
        if (day.ListFile.isEmpty())
            day.NoListReason = channel.PeriodicListFile + QStringLiteral(" names no day list for ") +
                               date.toString(QStringLiteral("yyyy-MM-dd ddd"));
    }
    if (!day.ListFile.isEmpty()) day.List.LoadFromFile(day.ListFile);
    return day;
}

}  // namespace tessora
