#include "ChannelDay.h"

#include "PeriodicList.h"

namespace tessora {

DayChoice ChooseChannelDay(const ChannelConfig& channel, const QDate& date, const StationCalendar* calendar,
                           int channelNumber) {
    const CalendarRule* rule = calendar ? calendar->Governing(channelNumber, date) : nullptr;
    // A day the calendar decides by itself needs nothing of the periodic list.
    const bool periodicNeeded = !channel.PeriodicListFile.isEmpty() && (!rule || rule->Target == CalendarTarget::Base);
    const PeriodicList lines = periodicNeeded ? ReadPeriodicList(channel.PeriodicListFile) : PeriodicList();
    return ChooseDay(calendar, channelNumber, channel.PeriodicListFile, lines, channel.DayListFile, date);
}

ChannelDay ChannelDayOf(const ChannelConfig& channel, const QDate& date, const StationCalendar* calendar,
                        int channelNumber) {
    ChannelDay day;
    day.Choice = ChooseChannelDay(channel, date, calendar, channelNumber);
    day.ListFile = day.Choice.ListFile;
    if (day.ListFile.isEmpty()) {
        if (day.Choice.Silent())
            day.NoListReason = QString("calendar line %1 silences the day (%2)").arg(day.Choice.Rule->Line).arg(day.Choice.Rule->Label);
        else if (channel.PeriodicListFile.isEmpty())
            day.NoListReason = QStringLiteral("the channel has no day list");
        else
            day.NoListReason = channel.PeriodicListFile + QStringLiteral(" names no day list for ") +
                               date.toString(QStringLiteral("yyyy-MM-dd ddd"));
    }
    if (!day.ListFile.isEmpty()) day.List.LoadFromFile(day.ListFile);
    return day;
}

}  // namespace tessora
