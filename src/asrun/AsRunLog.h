#pragma once
// The as-run log's writer: events are queued by whoever reports them and written by a thread of
// its own, appended one whole line at a time and flushed, so that no caller ever waits for the
// disk. A line that cannot be written whole (a full disk, a read-only folder) is taken back off
// the file and kept in memory, in order, until the folder takes lines again; a crash can leave
// at most the one line being written cut short.

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
    // Told once when the log stops being written and once when it is written again, each time
    // with a text for the operator (the same text goes into the log as an `error` and a
    // `resume` event of the station). It runs on the writer's thread. Nothing stops meanwhile.
    using NoticeHandler = std::function<void(const QString& message)>;

    static constexpr int kKeptDays = 400;          // files of older days are removed at start
    // Lines waiting in memory; beyond this a long fault costs the oldest lines, not memory.
    static constexpr size_t kMaxQueued = 10000;
    static constexpr std::chrono::milliseconds kRetryEvery{500};  // while the folder takes nothing
    static constexpr std::chrono::milliseconds kCloseWait{2000};

    // Writes into `folder` (the program folder's "asrun"), made when missing. Before the first
    // line the files of days more than kKeptDays before `today` are removed.
    TAsRunLog(const QString& folder, const QDate& today, NoticeHandler onNotice = {});
    // Writes what is queued. A disk that takes longer than kCloseWait is left to the thread
    // alone, so that closing the station never hangs on a stuck file system; lines a fault
    // still holds then are tried once more and lost.
    ~TAsRunLog();
    TAsRunLog(const TAsRunLog&) = delete;
    TAsRunLog& operator=(const TAsRunLog&) = delete;

    // Queues the event for its date's file; never waits for the disk. Any thread.
    void Write(AsRunEvent event);
    // Write as a function that stays safe to call after the log is gone (what comes then is
    // dropped): for work that may outlive the log, such as a check still reading a slow disk.
    std::function<void(const AsRunEvent& event)> Writer() const;
    // Waits until every event queued before the call has been tried: written, or kept in
    // memory by a fault; at most `timeout`. False when time ran out.
    bool WaitUntilWritten(std::chrono::milliseconds timeout);
    // Waits until nothing is kept in memory and no fault holds, at most `timeout`.
    bool WaitUntilCaughtUp(std::chrono::milliseconds timeout);
    // The folder has refused a line and has not taken one since.
    bool Failing() const;

    struct State;  // shared with the writer's thread, which may outlive the object

private:
    std::shared_ptr<State> state_;
    std::thread thread_;
};

}  // namespace tessora
