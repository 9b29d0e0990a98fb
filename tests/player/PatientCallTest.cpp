// File system work the GUI thread waits for only briefly.
#include "PatientCall.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <stdexcept>

namespace tessora::test {
namespace {

using namespace std::chrono_literals;

TEST(PatientCall, WorkThatEndsInTimeAnswersAndRaisesAsItself) {
    EXPECT_EQ(PatientCall<int>::Run("quick", [] { return 7; }), 7);
    EXPECT_THROW(PatientCall<int>::Run("raises", []() -> int { throw std::runtime_error("no"); }), std::runtime_error);
}

TEST(PatientCall, StuckWorkIsNotStartedAgainAndItsLateResultIsTakenOnce) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> runs{0};
    const auto work = [&runs, released] {
        ++runs;
        released.wait();
        return QString("late");
    };
    EXPECT_EQ(PatientCall<QString>::Run("share", work, 20ms), std::nullopt);
    EXPECT_EQ(PatientCall<QString>::Run("share", work, 20ms), std::nullopt);  // answers at once
    EXPECT_EQ(runs.load(), 1);
    // Another key is not held up by it.
    EXPECT_EQ(PatientCall<QString>::Run("other", [] { return QString("here"); }), QString("here"));

    release.set_value();
    std::optional<QString> answer;
    for (int i = 0; i < 500 && !answer; ++i) {
        answer = PatientCall<QString>::Run("share", work, 20ms);
        if (!answer) std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(answer, QString("late"));
    EXPECT_EQ(runs.load(), 1);
    // Taken: the next call does the work afresh.
    EXPECT_EQ(PatientCall<QString>::Run("share", work, 1s), QString("late"));
    EXPECT_EQ(runs.load(), 2);
}

}  // namespace
}  // namespace tessora::test
