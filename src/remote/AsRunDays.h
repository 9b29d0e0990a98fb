#pragma once
// The reports of past (or future) days for /api/asrun, read on a thread of their own and kept for
// a while: a request is answered from what has been read, and one that finds nothing yet starts
// the reading and is asked to come again. Today's report comes from the facts gathered anyway.

#include "Calendar.h"
#include "ChannelFile.h"

#include <QDate>
#include <QJsonObject>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace tessora {

class TAsRunDays {
public:
    static constexpr qint64 kKeepMs = 10000;  // a day's report is read again after this
    static constexpr int kMaxDays = 16;

    struct Result {
        QJsonObject Json;  // AsRunJson, or {"error": …}
        bool Failed = false;
    };

    TAsRunDays();
    // The report of `date` when it has been read within kKeepMs; otherwise nothing, and the
    // reading has started (once; a reading in progress is not started again).
    std::optional<Result> Take(const QDate& date, qint64 nowMs, const std::vector<ChannelConfig>& channels,
                               const QString& asrunFolder, std::shared_ptr<const StationCalendar> calendar);

    struct Shared;

private:
    std::shared_ptr<Shared> shared_;
};

}  // namespace tessora
