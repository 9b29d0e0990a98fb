#pragma once
// Guessing tokens is slowed down per address: after kRefusals refused tokens within kWindowMs,
// the address is refused everything for kBlockMs.

#include <QHash>
#include <QString>

#include <deque>

namespace tessora {

class TRefusalLimit {
public:
    static constexpr int kRefusals = 10;
    static constexpr qint64 kWindowMs = 60000;
    static constexpr qint64 kBlockMs = 60000;
    static constexpr int kMaxAddresses = 4096;  // beyond this the oldest records are dropped

    // The milliseconds the address stays blocked, 0 when it is not.
    qint64 BlockedFor(const QString& address, qint64 nowMs) const;
    void NoteRefusal(const QString& address, qint64 nowMs);

private:
    struct Record {
        std::deque<qint64> refusals;  // within the window
        qint64 blockedUntil = 0;
    };
    void Forget(qint64 nowMs);
    QHash<QString, Record> records_;
};

}  // namespace tessora
