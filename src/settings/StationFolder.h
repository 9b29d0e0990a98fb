#pragma once
// Where the station keeps its files ("Tessora.ini", "tessora.cfg", "alarm.wav", "skins", "music",
// "list", "template"). A copy of the program in a folder of its own keeps them beside itself; an
// installed program (its folder a system "bin" with "share/tessora" beside it), or one whose folder
// it cannot write, keeps them per user in $XDG_DATA_HOME/tessora. Everything that places a station
// file asks StationFolder().

#include <QString>

namespace tessora {

// The folder of the executable and the per-user data folder ($XDG_DATA_HOME, by default
// ~/.local/share), given rather than looked up, so the rule can be tested anywhere.
struct StationFolderFacts {
    QString programFolder;
    QString dataHome;
};
StationFolderFacts StationFolderFactsOfThisProcess();

// The station folder for those facts, with its trailing separator.
QString StationFolderFor(const StationFolderFacts& facts);
// The station folder of this process.
QString StationFolder();

// The files an installed program ships for its station folder ("skins", "alarm.wav"): the
// "share/tessora" folder beside the program's "bin"; empty when there is none.
QString ShippedFilesFolder(const QString& programFolder);

// Makes the station folder and its "music", "list" and "template" folders, and copies in what is
// shipped that the folder does not have yet. Nothing already there is ever replaced, so an upgrade
// keeps the operator's files and settings. False, with the reason in `error`, when the folder
// cannot be made.
bool PrepareStationFolder(const QString& stationFolder, const QString& shippedFolder, QString* error = nullptr);

}  // namespace tessora
