#include "Autostart.h"

#include "FileError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tessora {

namespace {

const QString kEntryName = QStringLiteral("tessora.desktop");

// A value of the entry's [Desktop Entry] group; empty when the key is not there.
QString EntryValue(const QByteArray& entry, const QByteArray& key) {
    bool inGroup = false;
    for (const QByteArray& raw : entry.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('[')) {
            inGroup = line == "[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (inGroup && equals > 0 && line.left(equals).trimmed() == key)
            return QString::fromUtf8(line.mid(equals + 1).trimmed());
    }
    return {};
}

// Exec values quote a path with spaces; the rest of the escaping rules do not arise for a path.
QString QuotedForExec(const QString& program) {
    if (!program.contains(' ')) return program;
    QString quoted = program;
    quoted.replace('\\', "\\\\").replace('"', "\\\"");
    return '"' + quoted + '"';
}

QString UnquotedExec(QString exec) {
    if (exec.startsWith('"') && exec.endsWith('"') && exec.size() >= 2) {
        exec = exec.mid(1, exec.size() - 2);
        exec.replace("\\\"", "\"").replace("\\\\", "\\");
    }
    return exec;
}

}  // namespace

QString AutostartFile(const QString& configHome) { return QDir::cleanPath(configHome + "/autostart/" + kEntryName); }

QString UserConfigHome() {
    const QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    return configHome.isEmpty() || QDir::isRelativePath(configHome) ? QDir::homePath() + "/.config" : configHome;
}

AutostartState ReadAutostart(const QString& configHome) {
    AutostartState state;
    state.file = AutostartFile(configHome);
    if (!QFileInfo(state.file).isFile()) return state;
    const QByteArray entry = ReadWholeFile(state.file);
    state.on = EntryValue(entry, "Hidden").compare("true", Qt::CaseInsensitive) != 0 &&
               EntryValue(entry, "X-GNOME-Autostart-enabled").compare("false", Qt::CaseInsensitive) != 0;
    if (state.on) state.program = UnquotedExec(EntryValue(entry, "Exec"));
    return state;
}

AutostartState EnableAutostart(const QString& configHome, const QString& program) {
    const QString file = AutostartFile(configHome);
    if (!QDir().mkpath(QFileInfo(file).absolutePath())) throw EFileError(file, "Cannot make the folder");
    const QByteArray entry = "[Desktop Entry]\n"
                             "Type=Application\n"
                             "Name=多通道智能广播系统\n"
                             "Name[en]=Tessora broadcasting station\n"
                             "Comment=Starts the broadcasting station at login, so that no bell is missed after a restart\n"
                             "Exec=" + QuotedForExec(program).toUtf8() + "\n"
                             "Icon=tessora\n"
                             "Terminal=false\n"
                             "X-GNOME-Autostart-enabled=true\n";
    WriteFileAtomically(file, entry);
    return ReadAutostart(configHome);
}

AutostartState DisableAutostart(const QString& configHome) {
    const QString file = AutostartFile(configHome);
    if (QFileInfo::exists(file) && !QFile::remove(file)) throw EFileError(file, "Cannot remove the file");
    return ReadAutostart(configHome);
}

}  // namespace tessora
