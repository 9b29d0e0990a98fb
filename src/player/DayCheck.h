#pragma once
// The station's own pre-flight check: the current day's at start and again just after each
// midnight, each problem written to the as-run log as an `error` event, so that the morning's
// log says what will not sound. The check reads the disk, so it runs on a thread of its own.

#include "AsRunEvent.h"
#include "PreflightCheck.h"

#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace tessora {

// The events that tell the as-run log of the findings of a check made at `when`.
std::vector<AsRunEvent> CheckEvents(const std::vector<CheckFinding>& findings, const LocalMoment& when);

class TDayCheck {
public:
    // `sink` is called on the check's thread and must stay callable after this object is gone
    // (TAsRunLog::Writer is). `environment` is asked on the GUI thread, once per check.
    using Sink = std::function<void(const AsRunEvent& event)>;
    TDayCheck(std::function<CheckEnvironment()> environment, Sink sink);
    // Waits at most kCloseWait for a check in progress, then leaves it to finish alone.
    ~TDayCheck();
    TDayCheck(const TDayCheck&) = delete;
    TDayCheck& operator=(const TDayCheck&) = delete;

    static constexpr std::chrono::milliseconds kCloseWait{1000};

    // GUI thread, from a clock that ticks often (the station's second). Starts the check of
    // now's date for `channels` at the first call and at the first call on a new date; true
    // when it started one. A check still running delays the next until it is done.
    bool Tick(const std::function<std::vector<ChannelConfig>()>& channels, const LocalMoment& now);
    // Waits until the check in progress, if any, is done; false when time ran out. Tests.
    bool WaitUntilDone(std::chrono::milliseconds timeout);

    struct Run;

private:
    std::function<CheckEnvironment()> environment_;
    Sink sink_;
    QDate checkedDate_;
    std::shared_ptr<Run> run_;
    std::thread thread_;
};

}  // namespace tessora
