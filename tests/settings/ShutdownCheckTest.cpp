#include "DateTimeValue.h"
#include "ShutdownCheck.h"

#include <gtest/gtest.h>

using namespace tessora;

namespace {

struct ShutdownCase {
    const char* name;
    double setTime;
    double now;
    bool due;
};

class ShutdownCheckTest : public ::testing::TestWithParam<ShutdownCase> {};

const double k1700 = TimeValue(17, 0, 0);
const double kSomeDay = 46000;  // a date part, which must not matter

INSTANTIATE_TEST_SUITE_P(
    Times, ShutdownCheckTest,
    ::testing::Values(ShutdownCase{"FiveMinutesBefore", k1700, TimeValue(16, 55, 0), false},
                      ShutdownCase{"TwoMinutesBeforeTheLastBell", k1700, TimeValue(16, 58, 0), false},
                      ShutdownCase{"AMillisecondBefore", k1700, TimeValue(16, 59, 59, 999), false},
                      ShutdownCase{"AtTheSetTime", k1700, k1700, true},
                      ShutdownCase{"HalfASecondAfter", k1700, TimeValue(17, 0, 0, 500), true},
                      ShutdownCase{"StartedThreeMinutesLate", k1700, TimeValue(17, 3, 0), true},
                      ShutdownCase{"LastMillisecondAfter", k1700, TimeValue(17, 4, 59, 999), true},
                      ShutdownCase{"FiveMinutesAfterExactly", k1700, TimeValue(17, 5, 0), false},
                      ShutdownCase{"AnHourAfter", k1700, TimeValue(18, 0, 0), false},
                      ShutdownCase{"JustBeforeMidnightIsNotDueAfterIt", TimeValue(0, 2, 0), TimeValue(23, 59, 0), false},
                      ShutdownCase{"TheWindowRunsPastMidnight", TimeValue(23, 58, 0), TimeValue(0, 1, 0), true},
                      ShutdownCase{"PastMidnightWindowEnds", TimeValue(23, 58, 0), TimeValue(0, 3, 0), false},
                      ShutdownCase{"MidnightItself", 0.0, TimeValue(0, 4, 59), true},
                      ShutdownCase{"JustBeforeMidnightSetTime", 0.0, TimeValue(23, 59, 59), false},
                      ShutdownCase{"DatePartsIgnored", kSomeDay + k1700, kSomeDay + 3 + TimeValue(17, 3, 0), true},
                      ShutdownCase{"DatePartsIgnoredBefore", kSomeDay + k1700, kSomeDay - 2 + TimeValue(16, 57, 0), false},
                      ShutdownCase{"NoonIsFarFromMidnight", 0.0, TimeValue(12, 0, 0), false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_P(ShutdownCheckTest, DueFromTheSetTimeForFiveMinutes) {
    EXPECT_EQ(ShutdownCheck(GetParam().now, GetParam().setTime), GetParam().due);
}

class CountingPowerOff : public PowerOff {
public:
    int requests = 0;
    void Request() override { ++requests; }
};

struct ScheduledShutdownTest : ::testing::Test {
    CountingPowerOff powerOff;
    int saves = 0;
    TScheduledShutdown shutdown{powerOff, [this] { ++saves; }};
    SystemSettings settings;

    ScheduledShutdownTest() {
        settings.AutoShutDown = true;
        settings.AutoShutDownTime = TimeValue(17, 0, 0);
    }
};

TEST_F(ScheduledShutdownTest, OffMeansNeverWhateverTheTime) {
    settings.AutoShutDown = false;
    for (int s = 0; s < 86400; s += 30) shutdown.Tick(settings, TimeValue(0, 0, s));
    EXPECT_EQ(powerOff.requests, 0);
    EXPECT_EQ(saves, 0);
}

TEST_F(ScheduledShutdownTest, SavesOnceThenRequestsAtEveryTickInsideTheWindow) {
    // Every second of the five minutes before: the last bells still ring.
    for (int s = 0; s < 300; ++s) shutdown.Tick(settings, TimeValue(16, 55, s));
    EXPECT_EQ(powerOff.requests, 0);
    EXPECT_EQ(saves, 0);
    for (int s = 0; s < 3; ++s) shutdown.Tick(settings, TimeValue(17, 0, s));
    EXPECT_EQ(saves, 1);  // before the first request
    EXPECT_EQ(powerOff.requests, 3);
}

TEST_F(ScheduledShutdownTest, SavesBeforeTheFirstRequest) {
    int requestsAtSave = -1;
    TScheduledShutdown ordered{powerOff, [&] { requestsAtSave = powerOff.requests; }};
    ordered.Tick(settings, TimeValue(17, 3, 0));  // started, or switched on, inside the window
    EXPECT_EQ(requestsAtSave, 0);
    EXPECT_EQ(powerOff.requests, 1);
}

TEST_F(ScheduledShutdownTest, ANewWindowSavesAgain) {
    shutdown.Tick(settings, TimeValue(17, 0, 0));
    shutdown.Tick(settings, TimeValue(17, 10, 0));  // refused: the station ran on
    shutdown.Tick(settings, TimeValue(17, 0, 0) + 1);  // the next day
    EXPECT_EQ(saves, 2);
    EXPECT_EQ(powerOff.requests, 2);
}

}  // namespace
