#include "AsRunLog.h"

#include "AsRunDayFile.h"

#include <QFile>

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>

namespace tessora {

struct TAsRunLog::State {
    std::filesystem::path folder;
    QDate today;

    mutable std::mutex mutex;  // guards everything below but the handler
    std::condition_variable wake;     // the writer: work or closing
    std::condition_variable written;  // the waiters: progress or the writer's end
    std::deque<AsRunEvent> queue;     // oldest first; lines a fault holds come back to its front
    uint64_t queuedCount = 0;  // events ever queued
    uint64_t triedCount = 0;   // of those, how many the writer has tried
    size_t droppedCount = 0;   // oldest events dropped, the queue being full, since the writer last looked
    bool failing = false;
    bool closing = false;
    bool writerEnded = false;

    std::mutex handlerMutex;
    NoticeHandler handler;

    void Queue(AsRunEvent event) {
        std::lock_guard lock(mutex);
        if (closing) return;
        ++queuedCount;
        if (queue.size() >= kMaxQueued) {
            queue.pop_front();
            ++droppedCount;
        }
        queue.push_back(std::move(event));
        wake.notify_one();
    }

    void Say(const QString& message) {
        std::lock_guard lock(handlerMutex);
        if (handler) handler(message);
    }
};

namespace {

QString FaultText(const QString& reason) {
    return QStringLiteral("播出记录无法写入：%1。记录暂存在内存中，恢复后按顺序补写。").arg(reason);
}

QString EndText(size_t kept, size_t lost) {
    QString text = QStringLiteral("播出记录恢复写入，已补写暂存的 %1 行").arg(kept);
    if (lost > 0) text += QStringLiteral("；最早的 %1 行因暂存已满而丢失").arg(lost);
    return text + QStringLiteral("。");
}

QString BehindText(size_t lost) { return QStringLiteral("播出记录丢失了最早的 %1 行：磁盘写入跟不上。").arg(lost); }

AsRunEvent StationEvent(AsRunEventKind kind, const QString& detail) {
    AsRunEvent event;
    event.Time = LocalMoment::Now();
    event.Channel = kStationChannel;
    event.Kind = kind;
    event.Detail = detail;
    return event;
}

void RemoveOldDays(const std::filesystem::path& folder, const QDate& today) {
    const QDate oldestKept = today.addDays(-TAsRunLog::kKeptDays);
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(folder, ec); !ec && it != std::filesystem::directory_iterator();
         it.increment(ec)) {
        const auto date = AsRunFileDate(QFile::decodeName(it->path().filename().c_str()));
        std::error_code fileEc;
        if (date && *date < oldestKept && it->is_regular_file(fileEc)) std::filesystem::remove(it->path(), fileEc);
    }
}

// What the writer's thread alone knows: the file, and the fault it is in, if any.
class Writer {
public:
    explicit Writer(TAsRunLog::State& state) : state_(state) {}

    bool Failing() const { return failing_; }

    // Writes `batch` in order and returns the events that could not be written, in order.
    std::deque<AsRunEvent> Write(std::deque<AsRunEvent> batch, size_t dropped) {
        if (dropped > 0 && !failing_) {
            // Only a disk slower than the station for a long time gets here.
            const QString text = BehindText(dropped);
            batch.push_front(StationEvent(AsRunEventKind::Error, text));
            state_.Say(text);
        }
        lost_ += failing_ ? dropped : 0;
        QString failure;
        if (faultEvent_) {
            failure = file_.Append(state_.folder, *faultEvent_);
            if (failure.isEmpty()) faultEvent_.reset();
        }
        size_t done = 0;
        for (; failure.isEmpty() && done < batch.size(); ++done) {
            failure = file_.Append(state_.folder, batch[done]);
            if (!failure.isEmpty()) break;
            if (failing_) ++kept_;
        }
        if (failure.isEmpty()) failure = file_.Sync();
        batch.erase(batch.begin(), batch.begin() + static_cast<std::ptrdiff_t>(done));

        if (!failure.isEmpty()) {
            if (!failing_) Begin(failure);
        } else if (failing_) {
            End(batch);
        }
        return batch;
    }

    void Lost(size_t count) { lost_ += count; }
    void Close() { file_.Close(); }

private:
    void Begin(const QString& reason) {
        failing_ = true;
        kept_ = lost_ = 0;
        const QString text = FaultText(reason);
        faultEvent_ = StationEvent(AsRunEventKind::Error, text);
        state_.Say(text);
    }

    // The lines kept are written: the end is said, and logged after them.
    void End(std::deque<AsRunEvent>& rest) {
        failing_ = false;
        const QString text = EndText(kept_, lost_);
        state_.Say(text);
        const AsRunEvent resume = StationEvent(AsRunEventKind::Resume, text);
        QString failure = file_.Append(state_.folder, resume);
        if (failure.isEmpty()) failure = file_.Sync();
        if (!failure.isEmpty()) {
            rest.push_back(resume);
            Begin(failure);
        }
    }

    TAsRunLog::State& state_;
    AsRunDayFile file_;
    bool failing_ = false;
    std::optional<AsRunEvent> faultEvent_;  // written first once the folder takes lines again
    size_t kept_ = 0;  // lines written late in this fault
    size_t lost_ = 0;  // lines dropped in this fault, the memory being full
};

void RunWriter(const std::shared_ptr<TAsRunLog::State>& state) {
    RemoveOldDays(state->folder, state->today);
    Writer writer(*state);
    std::unique_lock lock(state->mutex);
    for (;;) {
        if (writer.Failing()) {
            if (!state->closing)
                state->wake.wait_for(lock, TAsRunLog::kRetryEvery, [&] { return state->closing; });
        } else {
            state->wake.wait(lock, [&] { return !state->queue.empty() || state->closing; });
            if (state->queue.empty()) break;
        }
        // Closing: what a fault holds is tried once more, then given up.
        const bool lastTry = state->closing;
        std::deque<AsRunEvent> batch;
        batch.swap(state->queue);
        const uint64_t tried = state->queuedCount;
        const size_t dropped = std::exchange(state->droppedCount, 0);
        lock.unlock();

        std::deque<AsRunEvent> rest = writer.Write(std::move(batch), dropped);

        lock.lock();
        state->queue.insert(state->queue.begin(), std::make_move_iterator(rest.begin()),
                            std::make_move_iterator(rest.end()));
        size_t overflow = 0;
        for (; state->queue.size() > TAsRunLog::kMaxQueued; ++overflow) state->queue.pop_front();
        writer.Lost(overflow);
        state->failing = writer.Failing();
        state->triedCount = tried;
        state->written.notify_all();
        if (lastTry) break;
    }
    writer.Close();
    state->writerEnded = true;
    state->written.notify_all();
}

}  // namespace

TAsRunLog::TAsRunLog(const QString& folder, const QDate& today, NoticeHandler onNotice)
    : state_(std::make_shared<State>()) {
    state_->folder = std::filesystem::path(QFile::encodeName(folder).toStdString());
    state_->today = today;
    state_->handler = std::move(onNotice);
    thread_ = std::thread([state = state_] { RunWriter(state); });
}

TAsRunLog::~TAsRunLog() {
    {
        // Whoever listens may be going away with this object.
        std::lock_guard lock(state_->handlerMutex);
        state_->handler = nullptr;
    }
    std::unique_lock lock(state_->mutex);
    state_->closing = true;
    state_->wake.notify_all();
    const bool ended = state_->written.wait_for(lock, kCloseWait, [&] { return state_->writerEnded; });
    lock.unlock();
    if (ended)
        thread_.join();
    else
        thread_.detach();  // it holds its own share of the state
}

void TAsRunLog::Write(AsRunEvent event) { state_->Queue(std::move(event)); }

std::function<void(const AsRunEvent& event)> TAsRunLog::Writer() const {
    return [state = state_](const AsRunEvent& event) { state->Queue(event); };
}

bool TAsRunLog::WaitUntilWritten(std::chrono::milliseconds timeout) {
    std::unique_lock lock(state_->mutex);
    const uint64_t target = state_->queuedCount;
    return state_->written.wait_for(lock, timeout,
                                    [&] { return state_->triedCount >= target || state_->writerEnded; });
}

bool TAsRunLog::WaitUntilCaughtUp(std::chrono::milliseconds timeout) {
    std::unique_lock lock(state_->mutex);
    return state_->written.wait_for(lock, timeout, [&] {
        return state_->writerEnded ||
               (state_->queue.empty() && !state_->failing && state_->triedCount >= state_->queuedCount);
    });
}

bool TAsRunLog::Failing() const {
    std::lock_guard lock(state_->mutex);
    return state_->failing;
}

}  // namespace tessora
