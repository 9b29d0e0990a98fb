#include "FileError.h"

#include "FileNames.h"

#include <QFile>
#include <QFileInfo>

namespace tessora {

QByteArray ReadWholeFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) throw EFileError(path, "File not found");
    if (info.isDir()) throw EFileError(path, "Is a folder, not a file");
    // A pipe or a device could keep the read waiting for ever; the station's files are plain files.
    if (!info.isFile()) throw EFileError(path, "Not a regular file");
    if (info.size() > kMaxStationFileBytes) throw EFileError(path, "File is too large");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) throw EFileError(path, file.errorString());
    QByteArray contents = file.readAll();
    if (file.error() != QFileDevice::NoError) throw EFileError(path, file.errorString());
    return contents;
}

QString WithExtension(const QString& path, const QString& extension) {
    return LowerExtension(path) == extension ? path : path + extension;
}

}  // namespace tessora
