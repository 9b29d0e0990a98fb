#include "AsRunLog.h"

#include <QFile>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessora {

struct TAsRunLog::State {
    std::filesystem::path folder;
    QDate today;

    std::mutex mutex;  // guards everything below but the handler
    std::condition_variable wake;     // the writer: work or closing
    std::condition_variable written;  // the waiters: progress or the writer's end
    std::deque<AsRunEvent> queue;
    uint64_t queuedCount = 0;   // events ever queued
    uint64_t doneCount = 0;     // events ever written or given up
    size_t droppedCount = 0;    // events refused since the last report, the queue being full
    bool closing = false;
    bool writerEnded = false;

    std::mutex handlerMutex;
    FailureHandler handler;
    bool failureSaid = false;  // writer's thread only

    void Queue(AsRunEvent event) {
        std::lock_guard lock(mutex);
        if (closing) return;
        ++queuedCount;
        if (queue.size() >= kMaxQueued) {
            ++droppedCount;
            ++doneCount;
            return;
        }
        queue.push_back(std::move(event));
        wake.notify_one();
    }

    void SayFailure(const QString& message) {
        if (failureSaid) return;
        failureSaid = true;
        std::lock_guard lock(handlerMutex);
        if (handler) handler(message);
    }
};

namespace {

QString ErrorText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QString PathText(const std::filesystem::path& path) { return QFile::decodeName(path.c_str()); }

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// The file of one date, open for appending.
class DayFile {
public:
    ~DayFile() { Close(); }

    // The message of a failure, or empty.
    QString Append(const std::filesystem::path& folder, const AsRunEvent& event) {
        if (fd_ < 0 || date_ != event.Time.date) {
            Close();
            const QString failure = Open(folder, event.Time.date);
            if (!failure.isEmpty()) return failure;
        }
        const std::string line = (FormatAsRunLine(event) + '\n').toStdString();
        if (!WriteAll(fd_, line.data(), line.size())) return Failed(errno);
        unsynced_ = true;
        return QString();
    }

    // Puts what was appended on the disk itself, so that a power cut keeps it too.
    QString Sync() {
        if (fd_ < 0 || !unsynced_) return QString();
        unsynced_ = false;
        if (::fdatasync(fd_) != 0 && errno != EINVAL) return Failed(errno);
        return QString();
    }

    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        unsynced_ = false;
    }

private:
    QString Open(const std::filesystem::path& folder, const QDate& date) {
        path_ = folder / QFile::encodeName(AsRunFileName(date)).toStdString();
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (ec) return PathText(folder) + ": " + QString::fromStdString(ec.message());
        // Not blocking on open: a pipe put in the file's place must not hold the writer for ever.
        fd_ = ::open(path_.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
        if (fd_ < 0) return Failed(errno);
        struct stat info {};
        if (::fstat(fd_, &info) != 0) return Failed(errno);
        if (!S_ISREG(info.st_mode)) {
            Close();
            return PathText(path_) + ": not a regular file";
        }
        date_ = date;
        return EndCutLine(info.st_size);
    }

    // A line cut short by a crash is ended, so that the next line starts a line of its own.
    QString EndCutLine(off_t size) {
        if (size == 0) return QString();
        char last = '\n';
        const ssize_t n = ::pread(fd_, &last, 1, size - 1);
        if (n != 1) return Failed(n < 0 ? errno : EIO);
        if (last != '\n' && !WriteAll(fd_, "\n", 1)) return Failed(errno);
        return QString();
    }

    QString Failed(int error) {
        const QString message = PathText(path_) + ": " + ErrorText(error);
        Close();
        return message;
    }

    int fd_ = -1;
    QDate date_;
    std::filesystem::path path_;
    bool unsynced_ = false;
};

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

void RunWriter(const std::shared_ptr<TAsRunLog::State>& state) {
    RemoveOldDays(state->folder, state->today);
    DayFile file;
    std::unique_lock lock(state->mutex);
    for (;;) {
        state->wake.wait(lock, [&] { return !state->queue.empty() || state->closing; });
        if (state->queue.empty()) break;
        std::deque<AsRunEvent> batch;
        batch.swap(state->queue);
        const size_t dropped = std::exchange(state->droppedCount, 0);
        lock.unlock();

        QString failure;
        for (const AsRunEvent& event : batch) {
            const QString message = file.Append(state->folder, event);
            if (failure.isEmpty()) failure = message;
        }
        if (failure.isEmpty()) failure = file.Sync();
        if (failure.isEmpty() && dropped > 0)
            failure = QString("%1 lines were not written: the disk did not keep up").arg(dropped);
        if (!failure.isEmpty()) state->SayFailure(failure);

        lock.lock();
        state->doneCount += batch.size();
        state->written.notify_all();
    }
    file.Close();
    state->writerEnded = true;
    state->written.notify_all();
}

}  // namespace

TAsRunLog::TAsRunLog(const QString& folder, const QDate& today, FailureHandler onFailure)
    : state_(std::make_shared<State>()) {
    state_->folder = std::filesystem::path(QFile::encodeName(folder).toStdString());
    state_->today = today;
    state_->handler = std::move(onFailure);
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
    return state_->written.wait_for(lock, timeout, [&] { return state_->doneCount >= target || state_->writerEnded; });
}

}  // namespace tessora
