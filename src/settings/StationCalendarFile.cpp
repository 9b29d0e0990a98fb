#include "StationCalendarFile.h"

#include "IniFile.h"
#include "SettingsStore.h"

#include <QDir>

namespace tessora {

QString StationListFolder(const QString& programFolder) {
    const QDir folder(programFolder);
    TIniFile ini;
    ini.Load(folder.filePath(kSettingsFileName));
    return ini.ReadString(kSettingsSection, QStringLiteral("ListDirectory"), folder.filePath(QStringLiteral("list")));
}

QString StationCalendarPath(const QString& programFolder) { return QDir(programFolder).filePath(kCalendarFileName); }

StationCalendar ReadStationCalendar(const QString& programFolder) {
    return ReadCalendar(StationCalendarPath(programFolder), StationListFolder(programFolder));
}

}  // namespace tessora
