#pragma once
// Runs the real tessora-cli as an operator's script does and keeps what it printed.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include <gtest/gtest.h>

struct CliRun {
    int status = -1;
    QString out, err;
};

inline CliRun Cli(const QStringList& args, const QByteArray& input = {},
                  const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(TESSORA_CLI, args);
    process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(30000));
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

inline void ExpectFailure(const CliRun& run, const QString& errorPart) {
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(errorPart)) << run.err.toStdString();
}
