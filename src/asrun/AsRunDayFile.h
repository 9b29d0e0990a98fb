#pragma once
// One date's file of the as-run log, open for appending whole lines.

#include "AsRunEvent.h"

#include <QDate>
#include <QString>

#include <filesystem>

#include <sys/types.h>

namespace tessora {

class AsRunDayFile {
public:
    AsRunDayFile() = default;
    ~AsRunDayFile() { Close(); }
    AsRunDayFile(const AsRunDayFile&) = delete;
    AsRunDayFile& operator=(const AsRunDayFile&) = delete;

    // Appends the event's line to its date's file in `folder`: the whole line or nothing. A line
    // the file took only part of is cut off again, so that nothing but a crash can leave a torn
    // line. Returns the message of a failure, or empty.
    QString Append(const std::filesystem::path& folder, const AsRunEvent& event);
    // Puts what was appended on the disk itself, so that a power cut keeps it too.
    QString Sync();
    void Close();

private:
    QString Open(const std::filesystem::path& folder, const QDate& date);
    QString EndCutLine(off_t size);
    QString Failed(int error);

    int fd_ = -1;
    QDate date_;
    std::filesystem::path path_;
    bool unsynced_ = false;
};

}  // namespace tessora
