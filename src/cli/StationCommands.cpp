// Commands about the station's place on this computer: its folder and starting at login.
#include "Autostart.h"
#include "Command.h"
#include "FileError.h"
#include "StationFolder.h"

#include <QCoreApplication>

namespace tessora::cli {

namespace {

int Where(const QStringList& args, CliIO& io) {
    if (!args.isEmpty()) throw CliError("usage: tessora-cli where");
    io.out << StationFolder() << '\n';
    return 0;
}

void WriteState(QTextStream& out, const AutostartState& state) {
    out << (state.on ? "on" : "off") << '\t' << state.file;
    if (state.on) out << '\t' << state.program;
    out << '\n';
}

int Autostart(const QStringList& args, CliIO& io) {
    const QString what = args.size() == 1 ? args[0] : QString();
    const QString configHome = UserConfigHome();
    try {
        if (what == "on") {
            // The station program is installed beside this one.
            WriteState(io.out, EnableAutostart(configHome, QCoreApplication::applicationDirPath() + "/tessora"));
        } else if (what == "off") {
            WriteState(io.out, DisableAutostart(configHome));
        } else if (what == "status") {
            WriteState(io.out, ReadAutostart(configHome));
        } else {
            throw CliError("usage: tessora-cli autostart on|off|status");
        }
    } catch (const EFileError& e) {
        throw CliError(e.Path + ": " + e.Message);
    }
    return 0;
}

}  // namespace

std::vector<CliCommand> stationCommands() {
    return {
        {"where", "where",
         "The folder where the station keeps its files (settings, channels, skins, alarm.wav):\n"
         "the program's own folder for a copy in a folder of its own that it can write, otherwise\n"
         "$XDG_DATA_HOME/tessora (by default ~/.local/share/tessora).",
         Where},
        {"autostart", "autostart on|off|status",
         "Starts the station at login (on), no longer (off), or tells which (status), through\n"
         "$XDG_CONFIG_HOME/autostart/tessora.desktop. Prints  on  FILE  PROGRAM  or  off  FILE.",
         Autostart},
    };
}

}  // namespace tessora::cli
