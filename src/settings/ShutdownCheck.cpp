#include "ShutdownCheck.h"

#include "DateTimeValue.h"

#include <cstdint>

namespace tessora {

namespace {
constexpr int64_t kMsPerMinute = 60 * 1000;
constexpr int64_t kDayMs = 24 * 60 * kMsPerMinute;
constexpr int64_t kWindowMs = 5 * kMsPerMinute;
}  // namespace

bool ShutdownCheck(double now, double shutDownTime) {
    // Whole milliseconds keep the edges exact: 17:05:00 against 17:00:00 is five minutes, not
    // 4.9999 of them as the difference of two day fractions can come out.
    const int64_t afterMs = ((TimeOfDayMs(now) - TimeOfDayMs(shutDownTime)) % kDayMs + kDayMs) % kDayMs;
    return afterMs < kWindowMs;
}

TScheduledShutdown::TScheduledShutdown(PowerOff& powerOff, std::function<void()> saveAll)
    : powerOff_(powerOff), saveAll_(std::move(saveAll)) {}

void TScheduledShutdown::Tick(const SystemSettings& settings, double now) {
    if (!settings.AutoShutDown || !ShutdownCheck(now, settings.AutoShutDownTime)) {
        savedForThisWindow_ = false;
        return;
    }
    if (!savedForThisWindow_) {
        savedForThisWindow_ = true;
        saveAll_();
    }
    powerOff_.Request();
}

}  // namespace tessora
