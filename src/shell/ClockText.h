#pragma once

#include <QDateTime>
#include <QPoint>
#include <QString>

namespace tessora {

// The main window's clock: "yyyy/mm/dd hh:mm:ss am/pm" on the 12-hour clock (0 h shows as 12).
QString ClockText(const QDateTime& local);

// Where channel panel `index` stands in the player area: four to a row, a third row that never wraps.
QPoint PanelPosition(int index);

}  // namespace tessora
