#pragma once
// A file whose open blocks, as on a network share that stopped answering: the test holds a
// write lease on it, so every open() of it waits in the kernel until the lease is given up (or
// the system's lease-break time, 45 s by default, has passed). stat() does not wait.

#include <QFile>
#include <QString>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace tessora::test {

class SlowFile {
public:
    // Copies `source` to `path` and takes the lease; Held() tells whether that worked.
    SlowFile(const QString& source, const QString& path) {
        // A lease holder is told of every open by SIGIO, which would end the test.
        std::signal(SIGIO, SIG_IGN);
        if (!QFile::copy(source, path)) return;
        fd_ = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        if (fd_ >= 0 && ::fcntl(fd_, F_SETLEASE, F_WRLCK) == 0) held_ = true;
    }
    ~SlowFile() { Release(); }
    SlowFile(const SlowFile&) = delete;
    SlowFile& operator=(const SlowFile&) = delete;

    bool Held() const { return held_; }
    // Opens from now on go through at once, and a blocked one goes on.
    void Release() {
        if (fd_ < 0) return;
        ::fcntl(fd_, F_SETLEASE, F_UNLCK);
        ::close(fd_);
        fd_ = -1;
        held_ = false;
    }

private:
    int fd_ = -1;
    bool held_ = false;
};

}  // namespace tessora::test
