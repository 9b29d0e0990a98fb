#pragma once
// The JSON the HTTP server answers: the station now (the page reads the same), a day's report.

#include "StationFacts.h"
#include "StationSnapshot.h"

#include <QJsonObject>

namespace tessora {

QJsonObject StatusJson(const StationSnapshot& snapshot, const StationFacts& facts);
QJsonObject AsRunJson(const QDate& date, const StationReport& day, const LocalMoment& now);

}  // namespace tessora
