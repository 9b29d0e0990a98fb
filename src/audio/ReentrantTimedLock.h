#pragma once
// A re-entrant lock with a time limit on waiting, made of a plain mutex and a condition
// variable. The standard library's timed mutexes wait with a call ThreadSanitizer cannot
// see; this one it understands completely.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace tessora {

class ReentrantTimedLock {
public:
    void lock() {
        std::unique_lock guard(mutex_);
        if (OwnedHere()) {
            ++depth_;
            return;
        }
        released_.wait(guard, [this] { return depth_ == 0; });
        Take();
    }

    template <class Rep, class Period>
    bool try_lock_for(const std::chrono::duration<Rep, Period>& wait) {
        std::unique_lock guard(mutex_);
        if (OwnedHere()) {
            ++depth_;
            return true;
        }
        if (!released_.wait_for(guard, wait, [this] { return depth_ == 0; })) return false;
        Take();
        return true;
    }

    bool try_lock() { return try_lock_for(std::chrono::milliseconds(0)); }

    void unlock() {
        {
            std::lock_guard guard(mutex_);
            if (--depth_ > 0) return;
            owner_ = std::thread::id();
        }
        released_.notify_one();
    }

private:
    bool OwnedHere() const { return depth_ > 0 && owner_ == std::this_thread::get_id(); }
    void Take() {
        owner_ = std::this_thread::get_id();
        depth_ = 1;
    }

    std::mutex mutex_;
    std::condition_variable released_;
    std::thread::id owner_;
    int depth_ = 0;
};

}  // namespace tessora
