#pragma once
// The as-run log's writer: events are queued by whoever reports them and written by a thread of
// its own, appended one line at a time and flushed, so that no caller ever waits for the disk
// and a crash loses at most the line being written.

#include "AsRunEvent.h"

#include <QDate>
#include <QString>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <thread>

namespace tessora {

class TAsRunLog {
public:
    // Told the first time a line cannot be written (a full disk, a read-only folder), once for
    // the writer's life. It runs on the writer's thread. Nothing stops: later lines are tried
    // again, and are written once the folder can take them.
    using FailureHandler = std::function<void(const QString& message)>;

    static constexpr int kKeptDays = 400;          // files of older days are removed at start
    static constexpr size_t kMaxQueued = 10000;    // beyond this a stuck disk costs lines, not memory
    static constexpr std::chrono::milliseconds kCloseWait{2000};

    // Writes into `folder` (the program folder's "asrun"), made when missing. Before the first
    // line the files of days more than kKeptDays before `today` are removed.
    TAsRunLog(const QString& folder, const QDate& today, FailureHandler onFailure = {});
    // Writes what is queued. A disk that takes longer than kCloseWait is left to the thread
    // alone, so that closing the station never hangs on a stuck file system.
    ~TAsRunLog();
    TAsRunLog(const TAsRunLog&) = delete;
    TAsRunLog& operator=(const TAsRunLog&) = delete;

    // Queues the event for its date's file; never waits for the disk. Any thread.
    void Write(AsRunEvent event);
    // Write as a function that stays safe to call after the log is gone (what comes then is
    // dropped): for work that may outlive the log, such as a check still reading a slow disk.
    std::function<void(const AsRunEvent& event)> Writer() const;
    // Waits until every event queued before the call has been written or given up, at most
    // `timeout`; false when time ran out.
    bool WaitUntilWritten(std::chrono::milliseconds timeout);

    struct State;  // shared with the writer's thread, which may outlive the object

private:
    std::shared_ptr<State> state_;
    std::thread thread_;
};

}  // namespace tessora
