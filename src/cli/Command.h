#pragma once
// The command table of tessora-cli. Each room of the station contributes its commands.

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <stdexcept>
#include <vector>

namespace tessora::cli {

// Raised by a command for any failure: main prints its text as one line on stderr, exits 1.
class CliError : public std::runtime_error {
public:
    explicit CliError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// Where a command writes. Commands that print once buffer their records in `out` and main
// writes them only on success; commands that report progress flush `out` as they go.
struct CliIO {
    QTextStream& in;
    QTextStream& out;
};

struct CliCommand {
    QString name;
    QString synopsis;     // "list FILE"
    QString description;  // one paragraph for --help
    int (*run)(const QStringList& args, CliIO& io);
    bool streams = false;  // writes progress as it goes instead of all at the end
};

std::vector<CliCommand> listCommands();   // timetable and configuration files
std::vector<CliCommand> audioCommands();  // devices, probe, play
std::vector<CliCommand> stationCommands();  // where, autostart
std::vector<CliCommand> airingCommands(); // report, check, day
std::vector<CliCommand> tokenCommands();  // token: the HTTP server's tokens
std::vector<CliCommand> calendarCommands();  // calendar import

// `due FOLDER CHANNEL WHEN`: the due item of a station's channel, through its calendar.
int DueInStation(const QStringList& args, CliIO& io);

}  // namespace tessora::cli
