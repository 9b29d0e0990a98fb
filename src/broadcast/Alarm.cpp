#include "Alarm.h"

#include <QPushButton>
#include <QTimer>

namespace tessora {

TFormAlarm::TFormAlarm(TBroadcastChannels& channels, const QString& stationFolder, QWidget* parent)
    : TOverrideWindow(channels, stationFolder + kAlarmFileName, TOverrideKind::Alarm, QStringLiteral("告警"), 130, parent) {
    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TFormAlarm::Timer1Timer);
}

void TFormAlarm::FormShow() {
    checks_->CreateBoxes(true);
    Timer1->start();
}

void TFormAlarm::FormClose() { Timer1->stop(); }

void TFormAlarm::Timer1Timer() { session_.KeepLooping(); }

}  // namespace tessora
