#pragma once
// The station in Prometheus's text format: per channel its state, its levels, its last item's
// start offset and the day's counts of started, missed and failed items.

#include "StationFacts.h"
#include "StationSnapshot.h"

#include <QByteArray>

namespace tessora {

QByteArray MetricsText(const StationSnapshot& snapshot, const StationFacts& facts);

}  // namespace tessora
