#include "ClockText.h"

namespace tessora {

QString ClockText(const QDateTime& local) {
    const QTime time = local.time();
    const int hour12 = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
    return local.date().toString("yyyy/MM/dd") +
           QString(" %1:%2:%3 %4")
               .arg(hour12, 2, 10, QChar('0'))
               .arg(time.minute(), 2, 10, QChar('0'))
               .arg(time.second(), 2, 10, QChar('0'))
               .arg(time.hour() < 12 ? "am" : "pm");
}

QPoint PanelPosition(int index) {
    const int row = std::min(index / 4, 2);
    const int column = index - row * 4;
    return {20 + 200 * column, 40 + 180 * row};
}

}  // namespace tessora
