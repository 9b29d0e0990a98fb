#include "AsRunDayFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessora {

namespace {

QString ErrorText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QString PathText(const std::filesystem::path& path) { return QFile::decodeName(path.c_str()); }

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

QString AsRunDayFile::Append(const std::filesystem::path& folder, const AsRunEvent& event) {
    if (fd_ < 0 || date_ != event.Time.date) {
        Close();
        const QString failure = Open(folder, event.Time.date);
        if (!failure.isEmpty()) return failure;
    }
    const std::string line = (FormatAsRunLine(event) + '\n').toStdString();
    const off_t lineStart = ::lseek(fd_, 0, SEEK_END);
    if (lineStart < 0) return Failed(errno);
    if (!WriteAll(fd_, line.data(), line.size())) {
        const int error = errno;
        // Part of a line would read as a damaged one and carry the next line with it. Should
        // the cut fail too, the next open ends the line (see EndCutLine).
        while (::ftruncate(fd_, lineStart) != 0 && errno == EINTR) {
        }
        return Failed(error);
    }
    unsynced_ = true;
    return QString();
}

QString AsRunDayFile::Sync() {
    if (fd_ < 0 || !unsynced_) return QString();
    unsynced_ = false;
    if (::fdatasync(fd_) != 0 && errno != EINVAL) return Failed(errno);
    return QString();
}

void AsRunDayFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    unsynced_ = false;
}

QString AsRunDayFile::Open(const std::filesystem::path& folder, const QDate& date) {
    path_ = folder / QFile::encodeName(AsRunFileName(date)).toStdString();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) return PathText(folder) + ": " + QString::fromStdString(ec.message());
    // Not blocking on open: a pipe put in the file's place must not hold the writer for ever.
    fd_ = ::open(path_.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd_ < 0) return Failed(errno);
    struct stat info {};
    if (::fstat(fd_, &info) != 0) return Failed(errno);
    if (!S_ISREG(info.st_mode)) {
        Close();
        return PathText(path_) + ": not a regular file";
    }
    date_ = date;
    return EndCutLine(info.st_size);
}

// A line cut short by a crash is ended, so that the next line starts a line of its own; the
// report counts the cut one as damaged.
QString AsRunDayFile::EndCutLine(off_t size) {
    if (size == 0) return QString();
    char last = '\n';
    const ssize_t n = ::pread(fd_, &last, 1, size - 1);
    if (n != 1) return Failed(n < 0 ? errno : EIO);
    if (last != '\n' && !WriteAll(fd_, "\n", 1)) return Failed(errno);
    return QString();
}

QString AsRunDayFile::Failed(int error) {
    const QString message = PathText(path_) + ": " + ErrorText(error);
    Close();
    return message;
}

}  // namespace tessora
