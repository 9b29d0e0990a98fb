// The outputs of a sound server that comes up after the program: a stand-in serves until the
// real outputs can be listed, then they take over.
#include "AudioOutput.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

using namespace tessora;
using namespace std::chrono_literals;

namespace {

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 5s) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// A server that is down until Start, answering each try with the outputs it has then.
struct LateServer {
    std::atomic<bool> up{false};
    std::atomic<int> tries{0};
    std::promise<bool> settled;

    WaitForOutputs Wait(std::chrono::milliseconds giveUpAfter) {
        WaitForOutputs wait;
        wait.tryReal = [this]() -> std::unique_ptr<AudioOutput> {
            ++tries;
            return up ? MakeVirtualOutput(3, QString()) : nullptr;
        };
        wait.retryEvery = 10ms;
        wait.giveUpAfter = giveUpAfter;
        wait.settled = [this](bool found) { settled.set_value(found); };
        return wait;
    }
};

}  // namespace

TEST(WaitingOutput, TheStandInServesUntilTheRealOutputsComeThenTheyReplaceIt) {
    LateServer server;
    auto output = MakeWaitingOutput(MakeVirtualOutput(1, QString()), server.Wait(60s));
    EXPECT_TRUE(output->Waiting());
    EXPECT_EQ(output->Generation(), 0u);
    ASSERT_EQ(output->Devices().size(), 1u);
    std::shared_ptr<AudioDevice> meanwhile;
    ASSERT_EQ(output->Open(OpenRequest{}, meanwhile), audio_result::Ok);
    ASSERT_TRUE(WaitFor([&] { return server.tries >= 3; }));
    EXPECT_TRUE(output->Waiting());

    server.up = true;
    auto settled = server.settled.get_future();
    ASSERT_EQ(settled.wait_for(5s), std::future_status::ready);
    EXPECT_TRUE(settled.get());
    EXPECT_FALSE(output->Waiting());
    EXPECT_EQ(output->Generation(), 1u);
    ASSERT_EQ(output->Devices().size(), 3u);
    std::shared_ptr<AudioDevice> real;
    OpenRequest third;
    third.index = 2;
    EXPECT_EQ(output->Open(third, real), audio_result::Ok);
    // What was opened on the stand-in still works until its owner lets it go.
    std::unique_ptr<AudioDeviceBuffer> buffer;
    EXPECT_EQ(meanwhile->CreateBuffer(PcmFormat{}, 4096, buffer), audio_result::Ok);
}

TEST(WaitingOutput, AfterTheWaitTheStandInStays) {
    LateServer server;
    auto output = MakeWaitingOutput(MakeVirtualOutput(2, QString()), server.Wait(50ms));
    auto settled = server.settled.get_future();
    ASSERT_EQ(settled.wait_for(5s), std::future_status::ready);
    EXPECT_FALSE(settled.get());
    EXPECT_FALSE(output->Waiting());
    EXPECT_EQ(output->Generation(), 0u);
    EXPECT_EQ(output->Devices().size(), 2u);
    const int tries = server.tries;
    server.up = true;
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(server.tries, tries);
}

TEST(WaitingOutput, ATryThatHangsDoesNotHoldUpTheEnd) {
    std::promise<void> answer;
    std::shared_future<void> answered = answer.get_future().share();
    std::atomic<bool> trying{false};
    WaitForOutputs wait;
    wait.tryReal = [&trying, answered]() -> std::unique_ptr<AudioOutput> {
        trying = true;
        answered.wait();
        return MakeVirtualOutput(1, QString());
    };
    wait.retryEvery = 1ms;
    auto output = MakeWaitingOutput(MakeVirtualOutput(1, QString()), wait);
    ASSERT_TRUE(WaitFor([&] { return trying.load(); }));
    output.reset();  // returns although the try is stuck
    answer.set_value();
}
