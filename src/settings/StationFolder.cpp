#include "StationFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace tessora {

namespace {

QString WithSlash(const QString& folder) { return folder.endsWith('/') ? folder : folder + '/'; }

bool IsInstalledProgram(const QString& programFolder) {
    return QDir(programFolder).dirName() == QStringLiteral("bin") && !ShippedFilesFolder(programFolder).isEmpty();
}

// Copies every file below `from` that `to` lacks, making folders on the way.
bool CopyMissing(const QString& from, const QString& to, QString* error) {
    QDirIterator it(from, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + QDir(from).relativeFilePath(source);
        if (QFileInfo::exists(target)) continue;
        if (!QDir().mkpath(QFileInfo(target).absolutePath()) || !QFile::copy(source, target)) {
            if (error) *error = "cannot copy " + source + " to " + target;
            return false;
        }
        // Shipped files are read-only in the package; the operator's copies are theirs to change.
        QFile::setPermissions(target, QFile::permissions(target) | QFileDevice::WriteOwner);
    }
    return true;
}

}  // namespace

StationFolderFacts StationFolderFactsOfThisProcess() {
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    // The XDG rule: a relative path is ignored.
    if (dataHome.isEmpty() || QDir::isRelativePath(dataHome)) dataHome = QDir::homePath() + "/.local/share";
    return {QCoreApplication::applicationDirPath(), dataHome};
}

QString StationFolderFor(const StationFolderFacts& facts) {
    const QFileInfo program(facts.programFolder);
    if (!IsInstalledProgram(facts.programFolder) && program.isDir() && program.isWritable())
        return WithSlash(QDir::cleanPath(facts.programFolder));
    return WithSlash(QDir::cleanPath(facts.dataHome + "/tessora"));
}

QString StationFolder() { return StationFolderFor(StationFolderFactsOfThisProcess()); }

QString ShippedFilesFolder(const QString& programFolder) {
    const QString shipped = QDir::cleanPath(programFolder + "/../share/tessora");
    return QFileInfo(shipped).isDir() ? WithSlash(shipped) : QString();
}

bool PrepareStationFolder(const QString& stationFolder, const QString& shippedFolder, QString* error) {
    const QString folder = WithSlash(stationFolder);
    for (const char* sub : {"", "music", "list", "template"}) {
        if (!QDir().mkpath(folder + sub)) {
            if (error) *error = "cannot make the folder " + folder + sub;
            return false;
        }
    }
    return shippedFolder.isEmpty() || CopyMissing(WithSlash(shippedFolder), folder, error);
}

}  // namespace tessora
