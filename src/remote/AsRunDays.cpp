#include "AsRunDays.h"

#include "FileError.h"
#include "RemoteJson.h"

#include <QHash>

#include <mutex>
#include <thread>

namespace tessora {

struct TAsRunDays::Shared {
    struct Day {
        std::optional<Result> result;
        qint64 readAtMs = 0;
        bool reading = false;
    };
    std::mutex mutex;
    QHash<QDate, Day> days;
};

TAsRunDays::TAsRunDays() : shared_(std::make_shared<Shared>()) {}

std::optional<TAsRunDays::Result> TAsRunDays::Take(const QDate& date, qint64 nowMs, const std::vector<ChannelConfig>& channels,
                                                   const QString& asrunFolder,
                                                   std::shared_ptr<const StationCalendar> calendar) {
    std::lock_guard lock(shared_->mutex);
    if (!shared_->days.contains(date) && shared_->days.size() >= kMaxDays) {
        // Room for this one: drop what is not being read.
        for (auto it = shared_->days.begin(); it != shared_->days.end();)
            it = it->reading ? std::next(it) : shared_->days.erase(it);
    }
    Shared::Day& day = shared_->days[date];
    if (day.result && nowMs - day.readAtMs < kKeepMs) return day.result;
    if (!day.reading) {
        day.reading = true;
        std::thread([shared = shared_, date, channels, asrunFolder, calendar = std::move(calendar), nowMs] {
            Result result;
            try {
                result.Json = AsRunJson(date, ReportStationDay(channels, date, asrunFolder, calendar.get()), LocalMoment::Now());
            } catch (const EFileError& e) {
                result.Json = QJsonObject{{"error", e.Path + ": " + e.Message}};
                result.Failed = true;
            }
            std::lock_guard lock(shared->mutex);
            Shared::Day& day = shared->days[date];
            day.result = std::move(result);
            day.readAtMs = nowMs;
            day.reading = false;
        }).detach();
    }
    return std::nullopt;
}

}  // namespace tessora
