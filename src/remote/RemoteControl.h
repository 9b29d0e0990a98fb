#pragma once
// What the control routes do, through the station's commands: a channel's play, pause and stop,
// and the alarm, taken over and given back as the 告警 window does. Each command is noted in the
// as-run log as a `remote` event with who sent it, from where, and what.

#include "OverrideSession.h"
#include "StationChannels.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

namespace tessora {

class TStation;

class TRemoteControl : public QObject {
    Q_OBJECT
public:
    explicit TRemoteControl(TStation& station, QObject* parent = nullptr);
    ~TRemoteControl() override;

    // "play", "pause" or "stop" on a channel in range; false for anything else.
    bool ChannelCommand(int index, const QString& command, const QString& who);
    // Every channel plays the station's alarm recording, repeating, until AlarmStop. False when
    // the alarm sounds already (nothing changes).
    bool AlarmStart(const QString& who);
    // The 告警 window holds channels (they repeat a take-over's file): a second take-over would
    // overwrite the mode they go back to, so the remote alarm leaves them to the window.
    bool HeldElsewhere() const;
    // Gives every channel back; false when no alarm sounded.
    bool AlarmStop(const QString& who);
    bool AlarmOn() const { return alarm_ != nullptr; }

private:
    TStation& station_;
    TStationChannels channels_;
    std::unique_ptr<TOverrideSession> alarm_;
    QTimer alarmTimer_;  // keeps the held channels repeating, as the alarm window's timer does
};

}  // namespace tessora
