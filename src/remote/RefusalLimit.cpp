#include "RefusalLimit.h"

#include <algorithm>

namespace tessora {

qint64 TRefusalLimit::BlockedFor(const QString& address, qint64 nowMs) const {
    const auto found = records_.constFind(address);
    return found == records_.cend() ? 0 : std::max<qint64>(0, found->blockedUntil - nowMs);
}

void TRefusalLimit::NoteRefusal(const QString& address, qint64 nowMs) {
    if (records_.size() >= kMaxAddresses && !records_.contains(address)) Forget(nowMs);
    Record& record = records_[address];
    record.refusals.push_back(nowMs);
    while (!record.refusals.empty() && record.refusals.front() <= nowMs - kWindowMs) record.refusals.pop_front();
    if (int(record.refusals.size()) >= kRefusals) {
        record.blockedUntil = nowMs + kBlockMs;
        record.refusals.clear();
    }
}

void TRefusalLimit::Forget(qint64 nowMs) {
    for (auto it = records_.begin(); it != records_.end();) {
        const bool stale = it->blockedUntil <= nowMs && (it->refusals.empty() || it->refusals.back() <= nowMs - kWindowMs);
        it = stale ? records_.erase(it) : std::next(it);
    }
    // Still full of live records: a flood from many addresses; start again rather than grow.
    if (records_.size() >= kMaxAddresses) records_.clear();
}

}  // namespace tessora
