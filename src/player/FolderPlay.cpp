#include "FolderPlay.h"

#include "FileNames.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace tessora {

namespace {

const QStringList kAudioExtensions = {QStringLiteral(".mp3"), QStringLiteral(".wav"), QStringLiteral(".mid"),
                                      QStringLiteral(".wma")};

constexpr QDir::Filters kEverything = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
constexpr QDir::SortFlags kByName = QDir::Name | QDir::IgnoreCase;

void Scan(const QString& folder, QStringList& list, QStringList* notRegular, QSet<QString>& visited) {
    const QFileInfo self(folder);
    if (!self.isDir()) return;
    const QString canonical = self.canonicalFilePath();
    if (canonical.isEmpty() || visited.contains(canonical)) return;
    visited.insert(canonical);

    const QString prefix = folder.endsWith('/') ? folder : folder + '/';
    const QFileInfoList entries = QDir(folder).entryInfoList(kEverything, kByName);
    // A folder named like an audio file cannot be played: only files are taken here, and
    // such a folder is entered below like any other.
    for (const QFileInfo& entry : entries) {
        if (!IsAudioFileName(entry.fileName())) continue;
        if (entry.isFile())
            list << prefix + entry.fileName();
        else if (notRegular && !entry.isDir())
            *notRegular << prefix + entry.fileName();
    }
    for (const QFileInfo& entry : entries)
        if (entry.isDir() && !entry.fileName().startsWith('.'))
            Scan(prefix + entry.fileName(), list, notRegular, visited);
}

}  // namespace

bool IsAudioFileName(const QString& name) {
    return kAudioExtensions.contains(LowerExtension(name));
}

void ScanAudioFiles(const QString& folder, QStringList& list, QStringList* notRegular) {
    QSet<QString> visited;
    Scan(folder, list, notRegular, visited);
}

int NextFolderIndex(int current, int count, bool randomOrder, FolderRandom& random) {
    if (randomOrder) return std::uniform_int_distribution<int>(0, count - 1)(random);
    const int next = current + 1;
    return next >= 0 && next < count ? next : 0;
}

}  // namespace tessora
