#pragma once
// Scheduled power-off: the clock tick asks every second whether the set time of day has come.

#include "SettingsStore.h"

#include <functional>

namespace tessora {

// True when the time of day of `now` is the time of day of `shutDownTime` or lies less than five
// minutes after it (both date-time values; their date parts are ignored). Never before it: a
// school that sets 17:00 still hears its 16:58 bell. The five minutes after let a station that was
// started, or had the setting switched on, a little late still power off; they run on past
// midnight, so 23:58 is due at 00:01.
bool ShutdownCheck(double now, double shutDownTime);

// Asks the platform to power the computer off. A request returns at once; a refused one is
// reported by the implementation and tried again at the next request.
class PowerOff {
public:
    virtual ~PowerOff() = default;
    virtual void Request() = 0;
};

// What the clock tick runs: while the power-off is due it is requested at every tick, until the
// system goes down. The settings and the channels are written first, once each time the
// power-off becomes due, so that nothing changed since the start is lost with the power.
class TScheduledShutdown {
public:
    TScheduledShutdown(PowerOff& powerOff, std::function<void()> saveAll);

    // `now` is the local date and time as a date-time value.
    void Tick(const SystemSettings& settings, double now);

private:
    PowerOff& powerOff_;
    std::function<void()> saveAll_;
    bool savedForThisWindow_ = false;
};

}  // namespace tessora
