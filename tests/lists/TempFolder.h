#pragma once
// A fresh folder per test, removed afterwards.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

class TempFolder {
public:
    TempFolder() { EXPECT_TRUE(dir_.isValid()); }
    // The folder itself, or `name` inside it.
    QString Path(const QString& name = QString()) const { return name.isEmpty() ? dir_.path() : dir_.filePath(name); }
    // Writes `contents` to `name`, making the folders on the way; returns the path.
    QString Write(const QString& name, const QByteArray& contents = "x") const {
        const QString path = Path(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
        file.write(contents);
        return path;
    }
    QString MakeFolder(const QString& name) const {
        const QString path = Path(name);
        EXPECT_TRUE(QDir().mkpath(path));
        return path;
    }
    QByteArray Read(const QString& name) const {
        QFile file(Path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QStringList Entries() const { return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden); }

private:
    QTemporaryDir dir_;
};
