// WriteFileAtomically (declared in FileError.h): a station file replaced whole, and the
// temporary files a crashed save left behind removed.
#include "FileError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessora {

namespace {

// A save writes "NAME.tessora-save-XXXXXX" beside the file (six letters or digits), holds a lock
// on it while it writes, and renames it over the file. One that a crash left behind has no
// holder: the next save of the same file removes it.
const QString kSaveMark = QStringLiteral(".tessora-save-");
constexpr int kSaveRandomChars = 6;

QString ErrorText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QString RandomSaveSuffix() {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString suffix;
    for (int i = 0; i < kSaveRandomChars; ++i)
        suffix += QChar(kChars[QRandomGenerator::global()->bounded(int(sizeof kChars - 1))]);
    return suffix;
}

// Only names this save makes, only regular files, and only those no save is writing now.
void RemoveLeftoverSaves(const QFileInfo& target) {
    static const QRegularExpression suffix("^[A-Za-z0-9]{6}$");
    const QString prefix = target.fileName() + kSaveMark;
    const QFileInfoList entries =
        target.absoluteDir().entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        const QString name = entry.fileName();
        if (!name.startsWith(prefix) || !suffix.match(name.mid(prefix.size())).hasMatch()) continue;
        const QByteArray leftover = QFile::encodeName(entry.absoluteFilePath());
        const int fd = ::open(leftover.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(leftover.constData());
        ::close(fd);
    }
}

bool WriteAll(int fd, const char* data, qsizetype size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

// So that the rename itself survives a power cut; a folder that cannot be synced loses nothing else.
void SyncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

void WriteFileAtomically(const QString& path, const QByteArray& contents) {
    if (QFileInfo(path).isDir()) throw EFileError(path, "Is a folder, not a file");
    // A link is kept: the file it leads to is the one replaced.
    const QFileInfo link(path);
    const QFileInfo target(link.isSymLink() ? link.symLinkTarget() : path);
    RemoveLeftoverSaves(target);

    const QByteArray targetName = QFile::encodeName(target.absoluteFilePath());
    struct stat existing {};
    const bool exists = ::stat(targetName.constData(), &existing) == 0;
    QByteArray tempName;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tempName = QFile::encodeName(target.absoluteFilePath() + kSaveMark + RandomSaveSuffix());
        fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) throw EFileError(path, ErrorText(errno));
    ::flock(fd, LOCK_EX);  // held until closed: this save is not a leftover
    const bool written = WriteAll(fd, contents.constData(), contents.size()) &&
                         (!exists || ::fchmod(fd, existing.st_mode & 07777) == 0) && ::fsync(fd) == 0 &&
                         ::rename(tempName.constData(), targetName.constData()) == 0;
    const int error = errno;
    if (!written) ::unlink(tempName.constData());
    ::close(fd);
    if (!written) throw EFileError(path, ErrorText(error));
    SyncFolder(target.absolutePath());
}

}  // namespace tessora
