// A sound server can come up a moment after the session that starts the station. Until its
// outputs can be listed, a stand-in's serve; a thread of the layer's own tries again now and then,
// and once the real outputs are there they replace the stand-in for good.
#include "AudioOutput.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace tessora {

namespace {

// What the waiting thread and the layer share: the thread may outlive the layer when a try of
// its own is stuck (a sound server that does not answer must not hold up the exit).
struct WaitState {
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    std::shared_ptr<AudioOutput> current;
    std::atomic<bool> waiting{true};
    std::atomic<uint64_t> generation{0};
};

void WaitForRealOutputs(const std::shared_ptr<WaitState>& state, const WaitForOutputs& wait) {
    const auto giveUpAt = std::chrono::steady_clock::now() + wait.giveUpAfter;
    for (;;) {
        {
            std::unique_lock lock(state->mutex);
            if (state->wake.wait_for(lock, wait.retryEvery, [&] { return state->stopping; })) return;
        }
        std::shared_ptr<AudioOutput> real = wait.tryReal();
        const bool found = real != nullptr;
        if (found || std::chrono::steady_clock::now() >= giveUpAt) {
            {
                std::lock_guard lock(state->mutex);
                if (state->stopping) return;
                if (found) {
                    state->current = std::move(real);
                    ++state->generation;
                }
                state->waiting = false;
            }
            if (wait.settled) wait.settled(found);
            return;
        }
    }
}

class WaitingOutput : public AudioOutput {
public:
    WaitingOutput(std::unique_ptr<AudioOutput> meanwhile, WaitForOutputs wait) : state_(std::make_shared<WaitState>()) {
        state_->current = std::move(meanwhile);
        std::thread([state = state_, wait = std::move(wait)] { WaitForRealOutputs(state, wait); }).detach();
    }

    ~WaitingOutput() override {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
        state_->wake.notify_all();
    }

    std::vector<OutputDeviceInfo> Devices() override { return Current()->Devices(); }
    AudioResult Open(const OpenRequest& request, std::shared_ptr<AudioDevice>& device) override {
        return Current()->Open(request, device);
    }
    uint64_t Generation() const override { return state_->generation; }
    bool Waiting() const override { return state_->waiting; }

private:
    std::shared_ptr<AudioOutput> Current() const {
        std::lock_guard lock(state_->mutex);
        return state_->current;
    }

    std::shared_ptr<WaitState> state_;
};

}  // namespace

std::unique_ptr<AudioOutput> MakeWaitingOutput(std::unique_ptr<AudioOutput> meanwhile, WaitForOutputs wait) {
    return std::make_unique<WaitingOutput>(std::move(meanwhile), std::move(wait));
}

}  // namespace tessora
