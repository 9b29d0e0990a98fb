#include "DayCheck.h"

#include <condition_variable>
#include <mutex>

namespace tessora {

struct TDayCheck::Run {
    std::mutex mutex;
    std::condition_variable doneChanged;
    bool done = false;

    void Finish() {
        std::lock_guard lock(mutex);
        done = true;
        doneChanged.notify_all();
    }
    bool WaitDone(std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex);
        return doneChanged.wait_for(lock, timeout, [this] { return done; });
    }
};

std::vector<AsRunEvent> CheckEvents(const std::vector<CheckFinding>& findings, const LocalMoment& when) {
    std::vector<AsRunEvent> events;
    events.reserve(findings.size());
    for (const CheckFinding& f : findings)
        events.push_back({when, f.Channel, f.Title, AsRunEventKind::Error, f.Item, f.ItemTitle, f.File,
                          f.Problem + QStringLiteral(": ") + f.Detail});
    return events;
}

TDayCheck::TDayCheck(std::function<CheckEnvironment()> environment, Sink sink)
    : environment_(std::move(environment)), sink_(std::move(sink)) {}

TDayCheck::~TDayCheck() {
    if (!thread_.joinable()) return;
    if (run_->WaitDone(kCloseWait))
        thread_.join();
    else
        thread_.detach();  // it holds its own share of everything it uses
}

bool TDayCheck::Tick(const std::function<std::vector<ChannelConfig>()>& channels, const LocalMoment& now) {
    if (now.date == checkedDate_) return false;
    if (thread_.joinable()) {
        if (!run_->WaitDone(std::chrono::milliseconds(0))) return false;
        thread_.join();
    }
    checkedDate_ = now.date;
    run_ = std::make_shared<Run>();
    thread_ = std::thread([run = run_, sink = sink_, environment = environment_(), configs = channels(), now] {
        try {
            for (const AsRunEvent& event : CheckEvents(CheckStation(configs, now.date, environment), now)) sink(event);
        } catch (const std::exception& e) {
            sink({now, kStationChannel, QString(), AsRunEventKind::Error, std::nullopt, QString(), QString(),
                  QStringLiteral("the day's check failed: ") + QString::fromUtf8(e.what())});
        }
        run->Finish();
    });
    return true;
}

bool TDayCheck::WaitUntilDone(std::chrono::milliseconds timeout) { return !run_ || run_->WaitDone(timeout); }

}  // namespace tessora
