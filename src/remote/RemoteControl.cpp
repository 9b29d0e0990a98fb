#include "RemoteControl.h"

#include "Alarm.h"
#include "Station.h"

namespace tessora {

TRemoteControl::TRemoteControl(TStation& station, QObject* parent)
    : QObject(parent), station_(station), channels_(station) {
    alarmTimer_.setInterval(1000);
    connect(&alarmTimer_, &QTimer::timeout, this, [this] {
        if (alarm_) alarm_->KeepLooping();
    });
    // The channels are made anew (the channel dialog): the alarm's hold on the old ones is void.
    connect(&station_, &TStation::ChannelsStopped, this, [this] {
        alarmTimer_.stop();
        alarm_.reset();
    });
}

TRemoteControl::~TRemoteControl() { alarm_.reset(); }

bool TRemoteControl::ChannelCommand(int index, const QString& command, const QString& who) {
    if (!station_.Channel(index)) return false;
    if (command == QLatin1String("play"))
        station_.SetPlayState(index, PlayOn);
    else if (command == QLatin1String("pause"))
        station_.SetPlayState(index, PlayPaused);
    else if (command == QLatin1String("stop"))
        station_.Stop(index);
    else
        return false;
    station_.LogRemoteCommand(index, who + QStringLiteral(" command=") + command);
    return true;
}

bool TRemoteControl::AlarmStart(const QString& who) {
    station_.LogRemoteCommand(kStationChannel, who + QStringLiteral(" command=alarm/start"));
    if (alarm_) return false;
    alarm_ = std::make_unique<TOverrideSession>(channels_, station_.ProgramFolder() + kAlarmFileName, TOverrideKind::Alarm);
    for (int i = 0; i < alarm_->ChannelCount(); ++i) alarm_->SetTaken(i, true);
    alarmTimer_.start();
    return true;
}

bool TRemoteControl::HeldElsewhere() const {
    if (alarm_) return false;
    for (int i = 0; i < station_.ChannelCount(); ++i)
        if (station_.Channel(i)->PlayMode == ManualMode && station_.Channel(i)->ManualLoop) return true;
    return false;
}

bool TRemoteControl::AlarmStop(const QString& who) {
    station_.LogRemoteCommand(kStationChannel, who + QStringLiteral(" command=alarm/stop"));
    if (!alarm_) return false;
    alarmTimer_.stop();
    alarm_.reset();  // gives every channel back
    return true;
}

}  // namespace tessora
