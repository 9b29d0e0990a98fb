#pragma once
// The alarm window "告警": the station's alarm recording on every channel at once, repeating
// until the operator pauses it or closes the window, which gives the channels back.

#include "OverrideWindow.h"

class QTimer;

namespace tessora {

inline const QString kAlarmFileName = QStringLiteral("alarm.wav");

class TFormAlarm : public TOverrideWindow {
    Q_OBJECT
public:
    // `stationFolder` with its trailing separator: the recording is its "alarm.wav".
    TFormAlarm(TBroadcastChannels& channels, const QString& stationFolder, QWidget* parent = nullptr);

    QString AlarmFile() const { return session_.File(); }

    // Every second: the checked channels keep repeating the recording.
    void Timer1Timer();

    QTimer* Timer1;

protected:
    // Every channel is checked, and so taken over, as its box is made.
    void FormShow() override;
    void FormClose() override;
};

}  // namespace tessora
