#pragma once
// What the HTTP server tells besides the panels, gathered away from the GUI thread because each
// part reads the disk: the tokens, today's report from the as-run log with its counts, and the
// pre-flight check of today and tomorrow. The GUI thread only starts a gathering now and then
// and reads the last one that finished; nothing it does waits for a file system.

#include "PreflightCheck.h"
#include "StationReport.h"
#include "TokenStore.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace tessora {

class TStation;

struct DatedFinding {
    QDate Date;
    CheckFinding Finding;
};

struct StationFacts {
    bool TokensRead = false;          // false until the first gathering, or when the file failed
    std::vector<TokenEntry> Tokens;
    QString TokenError;
    bool ReportRead = false;
    std::shared_ptr<const StationReport> Day;  // today's report, as last read
    DayTotals Today;
    std::vector<ChannelCounts> Counts;  // by channel index
    QString ReportError;
    QDate CheckedDate;                  // the day the problems were found for (and the next)
    std::vector<DatedFinding> Problems;
};

// One gathering: what it is asked to do and with what.
struct FactsRequest {
    QString StationFolder;  // with its trailing separator
    std::vector<ChannelConfig> Channels;
    LocalMoment Now;
    bool Check = false;  // run the pre-flight check of Now's date and the next
    CheckEnvironment Environment;
    std::shared_ptr<const StationCalendar> Calendar;  // the one the station's channels follow
};
// Reads and computes; `previous` gives what this request does not renew (the problems when no
// check is asked).
StationFacts GatherFacts(const FactsRequest& request, const StationFacts& previous);

class TStationFacts : public QObject {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 2000;         // tokens and today's report
    static constexpr int kCheckEveryMs = 300000;    // the pre-flight check, and when the channels change

    // `environment` is asked on the GUI thread before each check (tests give their own).
    TStationFacts(TStation& station, std::function<CheckEnvironment()> environment, QObject* parent = nullptr);
    ~TStationFacts() override;

    // Gathers at once and then every kRefreshMs.
    void Start();
    // The last finished gathering (shared, never changed: a request reads it without a copy).
    std::shared_ptr<const StationFacts> Current() const;
    // Starts a gathering now unless one runs; the next refresh follows as usual.
    void Refresh();
    // Tests: waits (serving events) until a gathering started after the call has finished.
    bool WaitForFresh(int ms);

    struct Shared;

private:
    TStation& station_;
    std::function<CheckEnvironment()> environment_;
    std::shared_ptr<Shared> shared_;
    QTimer timer_;
    qint64 lastCheckMs_ = -1;
    QDate lastCheckDate_;
    std::vector<ChannelConfig> lastCheckedChannels_;
};

}  // namespace tessora
