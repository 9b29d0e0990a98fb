#include "IniFile.h"

#include "FileError.h"
#include "GbkText.h"

#include <QFileInfo>

namespace tessora {

void TIniFile::Load(const QString& path) {
    if (!QFileInfo::exists(path)) {
        Parse({});
        return;
    }
    Parse(ReadWholeFile(path));
}

void TIniFile::Parse(const QByteArray& gbkText) {
    newline_ = gbkText.contains("\r\n") || !gbkText.contains('\n') ? "\r\n" : "\n";
    lines_ = SplitTextLines(gbkText);
}

QString TIniFile::LineText(qsizetype i) const { return DecodeGbk(lines_.at(i)); }

std::optional<QString> TIniFile::SectionName(const QString& line) {
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith('[')) return std::nullopt;
    const qsizetype close = trimmed.indexOf(']');
    if (close < 0) return std::nullopt;
    return trimmed.mid(1, close - 1).trimmed();
}

std::optional<std::pair<QString, QString>> TIniFile::KeyValue(const QString& line) {
    const QString trimmed = line.trimmed();
    if (trimmed.startsWith(';') || trimmed.startsWith('[')) return std::nullopt;
    const qsizetype equals = trimmed.indexOf('=');
    if (equals <= 0) return std::nullopt;
    QString value = trimmed.mid(equals + 1).trimmed();
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return std::pair{trimmed.left(equals).trimmed(), value};
}

qsizetype TIniFile::FindSection(const QString& section) const {
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        const auto name = SectionName(LineText(i));
        if (name && name->compare(section, Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

qsizetype TIniFile::SectionEnd(qsizetype sectionLine) const {
    qsizetype i = sectionLine + 1;
    while (i < lines_.size() && !SectionName(LineText(i))) ++i;
    return i;
}

qsizetype TIniFile::FindKey(qsizetype sectionLine, const QString& key) const {
    const qsizetype end = SectionEnd(sectionLine);
    for (qsizetype i = sectionLine + 1; i < end; ++i) {
        const auto pair = KeyValue(LineText(i));
        if (pair && pair->first.compare(key, Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

std::optional<QString> TIniFile::Read(const QString& section, const QString& key) const {
    const qsizetype sectionLine = FindSection(section);
    if (sectionLine < 0) return std::nullopt;
    const qsizetype keyLine = FindKey(sectionLine, key);
    if (keyLine < 0) return std::nullopt;
    return KeyValue(LineText(keyLine))->second;
}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& fallback) const {
    return Read(section, key).value_or(fallback);
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int fallback) const {
    const auto text = Read(section, key);
    if (!text) return fallback;
    bool ok = false;
    const int value = text->toInt(&ok);
    return ok ? value : fallback;
}

bool TIniFile::ReadBool(const QString& section, const QString& key, bool fallback) const {
    const auto text = Read(section, key);
    if (!text) return fallback;
    bool ok = false;
    const long long value = text->toLongLong(&ok);
    return ok ? value != 0 : fallback;
}

void TIniFile::Write(const QString& section, const QString& key, const QString& value) {
    // A value is one line: a line break inside it would split the key in two.
    QString oneLine = value;
    oneLine.replace('\r', ' ').replace('\n', ' ');
    const QByteArray line = EncodeGbk(key + "=" + oneLine);
    qsizetype sectionLine = FindSection(section);
    if (sectionLine < 0) {
        lines_ << EncodeGbk("[" + section + "]") << line;
        return;
    }
    const qsizetype keyLine = FindKey(sectionLine, key);
    if (keyLine >= 0) {
        lines_[keyLine] = line;
        return;
    }
    // After the section's last non-blank line, so blank lines between sections stay between them.
    qsizetype insertAt = SectionEnd(sectionLine);
    while (insertAt - 1 > sectionLine && lines_.at(insertAt - 1).trimmed().isEmpty()) --insertAt;
    lines_.insert(insertAt, line);
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int value) {
    Write(section, key, QString::number(value));
}

void TIniFile::WriteBool(const QString& section, const QString& key, bool value) {
    Write(section, key, value ? "1" : "0");
}

QByteArray TIniFile::Serialize() const {
    QByteArray out;
    for (const QByteArray& line : lines_) out += line + newline_;
    return out;
}

void TIniFile::Save(const QString& path) const { WriteFileAtomically(path, Serialize()); }

}  // namespace tessora
