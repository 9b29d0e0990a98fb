#pragma once
// File system work the GUI thread waits for only briefly. A list or a folder on a network share
// that has stopped answering would otherwise hold the tick inside the kernel, and with it every
// channel, the clock and the exit. The work runs on a thread of its own; the caller waits for it
// up to its patience and otherwise goes on as if the file could not be reached. While that work
// has not ended, later calls for the same key answer at once without starting more; once it has,
// the next call takes its result, so a share that is merely slow is still read.

#include <QHash>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace tessora {

constexpr std::chrono::milliseconds kFilePatience{250};

template <typename T>
class PatientCall {
public:
    // The result of `work` (its exception rethrown here), or nothing when it has not ended within
    // `patience` or an earlier call for `key` is still at work.
    static std::optional<T> Run(const QString& key, std::function<T()> work,
                                std::chrono::milliseconds patience = kFilePatience) {
        std::shared_ptr<Call> call;
        {
            std::lock_guard lock(RegistryMutex());
            if (auto late = Late().find(key); late != Late().end()) {
                call = late.value();
                std::lock_guard callLock(call->mutex);
                if (!call->done) return std::nullopt;
                Late().erase(late);
                // A result that has waited long may be out of date: the work is done afresh.
                if (std::chrono::steady_clock::now() - call->endedAt < kFreshFor) return Take(*call);
            }
        }
        call = std::make_shared<Call>();
        std::thread([call, work = std::move(work)] {
            std::optional<T> result;
            std::exception_ptr error;
            try {
                result.emplace(work());
            } catch (...) {
                error = std::current_exception();
            }
            std::lock_guard lock(call->mutex);
            call->result = std::move(result);
            call->error = error;
            call->endedAt = std::chrono::steady_clock::now();
            call->done = true;
            call->ended.notify_all();
        }).detach();
        {
            std::unique_lock lock(call->mutex);
            if (call->ended.wait_for(lock, patience, [&] { return call->done; })) return Take(*call);
        }
        std::lock_guard lock(RegistryMutex());
        Late().insert(key, call);
        return std::nullopt;
    }

private:
    static constexpr std::chrono::seconds kFreshFor{5};

    struct Call {
        std::mutex mutex;
        std::condition_variable ended;
        bool done = false;
        std::optional<T> result;
        std::exception_ptr error;
        std::chrono::steady_clock::time_point endedAt;
    };

    // Called with the call ended and its mutex held or no longer shared.
    static std::optional<T> Take(Call& call) {
        if (call.error) std::rethrow_exception(call.error);
        return std::move(call.result);
    }

    // Never destroyed: a thread still stuck at the program's exit may end after the statics.
    static std::mutex& RegistryMutex() {
        static auto* mutex = new std::mutex;
        return *mutex;
    }
    static QHash<QString, std::shared_ptr<Call>>& Late() {
        static auto* late = new QHash<QString, std::shared_ptr<Call>>;
        return *late;
    }
};

}  // namespace tessora
