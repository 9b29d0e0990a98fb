#pragma once
// What the commands share: argument checks, dates, records and file errors.

#include "Command.h"
#include "FileError.h"
#include "TabRecord.h"

#include <QDate>

namespace tessora::cli {

inline void RequireArguments(const QStringList& args, qsizetype count, const QString& synopsis) {
    if (args.size() != count) throw CliError("usage: tessora-cli " + synopsis);
}

inline void WriteRecord(QTextStream& out, const QStringList& fields) { out << TabRecord(fields) << '\n'; }

// One line on stderr for what a command could not read while it goes on with the rest.
inline void Warn(const QString& message) {
    QTextStream err(stderr);
    err.setEncoding(QStringConverter::Utf8);
    err << "tessora-cli: " << message << '\n';
}

// Runs a file operation, turning its error into one line naming the file.
template <typename Operation>
auto WithFileErrors(Operation operation) {
    try {
        return operation();
    } catch (const EFileError& e) {
        throw CliError(e.Path + ": " + e.Message);
    }
}

inline QDate ParseDate(const QString& text) {
    const QDate date = QDate::fromString(text, "yyyy-MM-dd");
    if (!date.isValid()) throw CliError("not a date (YYYY-MM-DD): " + text);
    return date;
}

}  // namespace tessora::cli
