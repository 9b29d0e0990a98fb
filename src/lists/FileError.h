#pragma once

#include <QString>

#include <stdexcept>

namespace tessora {

// A station file that could not be read or written. The text is what the operator sees.
class EFileError : public std::runtime_error {
public:
    EFileError(const QString& path, const QString& message)
        : std::runtime_error(message.toStdString()), Path(path), Message(message) {}
    QString Path;
    QString Message;
};

// The station's own files are small; anything larger than this is not one of them.
constexpr qint64 kMaxStationFileBytes = 64 * 1024 * 1024;

// Reads a whole file; a missing file raises "File not found"; a folder, a FIFO or device, or an
// oversized file a clear text of its own, before anything is opened.
QByteArray ReadWholeFile(const QString& path);
// Writes a whole file atomically: afterwards the old file or the new one is there, never a part.
void WriteFileAtomically(const QString& path, const QByteArray& contents);
// `path` with `extension` (".lst") appended unless its own extension, lower-cased, is that.
QString WithExtension(const QString& path, const QString& extension);

}  // namespace tessora
