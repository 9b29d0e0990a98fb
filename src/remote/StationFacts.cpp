#include "StationFacts.h"

#include "FileError.h"
#include "Station.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>

#include <thread>

namespace tessora {

struct TStationFacts::Shared {
    mutable std::mutex mutex;
    std::shared_ptr<const StationFacts> facts = std::make_shared<StationFacts>();
    bool running = false;
    quint64 finished = 0;  // gatherings finished so far
    quint64 started = 0;
};

StationFacts GatherFacts(const FactsRequest& request, const StationFacts& previous) {
    StationFacts facts = previous;
    try {
        facts.Tokens = ReadTokens(request.StationFolder + kTokenFileName);
        facts.TokensRead = true;
        facts.TokenError.clear();
    } catch (const EFileError& e) {
        // A file that cannot be read opens nothing: no token is better than a stale one.
        facts.Tokens.clear();
        facts.TokensRead = false;
        facts.TokenError = e.Path + ": " + e.Message;
    }
    try {
        const StationReport today = ReportStationDay(request.Channels, request.Now.date, request.StationFolder + kAsRunFolderName,
                                                        request.Calendar.get());
        facts.Today = TotalsOf(today.Report, today.Date, request.Now);
        facts.Counts = CountByChannel(today, int(request.Channels.size()), request.Now);
        facts.ReportRead = true;
        facts.Day = std::make_shared<const StationReport>(today);
        facts.ReportError = today.Unreadable.join(QStringLiteral("; "));
    } catch (const EFileError& e) {
        facts.ReportError = e.Path + ": " + e.Message;
    }
    if (request.Check) {
        facts.Problems.clear();
        for (const QDate date : {request.Now.date, request.Now.date.addDays(1)})
            for (CheckFinding& f : CheckStation(request.Channels, date, request.Environment))
                facts.Problems.push_back({date, std::move(f)});
        facts.CheckedDate = request.Now.date;
    }
    return facts;
}

TStationFacts::TStationFacts(TStation& station, std::function<CheckEnvironment()> environment, QObject* parent)
    : QObject(parent), station_(station), environment_(std::move(environment)), shared_(std::make_shared<Shared>()) {
    timer_.setInterval(kRefreshMs);
    connect(&timer_, &QTimer::timeout, this, &TStationFacts::Refresh);
}

// A gathering still reading a slow disk holds its own share of the state and ends alone.
TStationFacts::~TStationFacts() = default;

void TStationFacts::Start() {
    Refresh();
    timer_.start();
}

std::shared_ptr<const StationFacts> TStationFacts::Current() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->facts;
}

void TStationFacts::Refresh() {
    std::shared_ptr<const StationFacts> previous;
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->running) return;  // a disk that does not answer gets one gathering, not a pile
        shared_->running = true;
        ++shared_->started;
        previous = shared_->facts;
    }
    FactsRequest request;
    request.StationFolder = station_.ProgramFolder();
    request.Channels = station_.ChannelConfigs();
    request.Now = LocalMoment::Now();
    request.Calendar = station_.Calendar();
    const qint64 nowMs = QDateTime::currentMSecsSinceEpoch();
    // Again at once when the channels change: the first gathering may come before they are loaded.
    request.Check = lastCheckMs_ < 0 || nowMs - lastCheckMs_ >= kCheckEveryMs || lastCheckDate_ != request.Now.date ||
                    lastCheckedChannels_ != request.Channels;
    if (request.Check) {
        request.Environment = environment_();
        request.Environment.Calendar = request.Calendar;
        lastCheckedChannels_ = request.Channels;
        lastCheckMs_ = nowMs;
        lastCheckDate_ = request.Now.date;
    }
    std::thread([shared = shared_, request = std::move(request), previous = std::move(previous)] {
        StationFacts facts;
        try {
            facts = GatherFacts(request, *previous);
        } catch (const std::exception& e) {
            facts = *previous;
            facts.ReportError = QString::fromUtf8(e.what());
        }
        std::lock_guard lock(shared->mutex);
        shared->facts = std::make_shared<const StationFacts>(std::move(facts));
        shared->running = false;
        ++shared->finished;
    }).detach();
}

bool TStationFacts::WaitForFresh(int ms) {
    quint64 target;
    {
        std::lock_guard lock(shared_->mutex);
        // One that runs now may have read the disk before the caller's change: wait for the next.
        target = shared_->started + 1;
    }
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < ms) {
        Refresh();
        {
            std::lock_guard lock(shared_->mutex);
            if (shared_->finished >= target) return true;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

}  // namespace tessora
