#pragma once
// What the tests of the log's writer share: the lines of a file, and what the log said.

#include "AsRunLog.h"

#include <QByteArray>
#include <QStringList>

#include <gtest/gtest.h>

#include <mutex>

namespace tessora::test {

inline QStringList LinesOf(const QByteArray& contents) {
    QStringList lines = QString::fromUtf8(contents).split('\n');
    EXPECT_EQ(lines.takeLast(), "") << "every line ends with its line end";
    return lines;
}

// The log's notices, told on its writer's thread.
struct Notices {
    std::mutex mutex;
    QStringList said;
    TAsRunLog::NoticeHandler Handler() {
        return [this](const QString& message) {
            std::lock_guard lock(mutex);
            said << message;
        };
    }
    QStringList Said() {
        std::lock_guard lock(mutex);
        return said;
    }
};

}  // namespace tessora::test
