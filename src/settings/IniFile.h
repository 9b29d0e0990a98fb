#pragma once
// A sectioned key=value text file read and written the way the Windows profile functions do:
// section and key names match without regard to case, values are trimmed and lose one pair of
// enclosing quotes, and a write changes only the line of its key, keeping every other section,
// key, comment and blank line as it was. The file's text is GBK.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace tessora {

class TIniFile {
public:
    // A missing file reads as empty. Raises EFileError when the file exists but cannot be read.
    void Load(const QString& path);
    void Parse(const QByteArray& gbkText);

    std::optional<QString> Read(const QString& section, const QString& key) const;
    QString ReadString(const QString& section, const QString& key, const QString& fallback) const;
    // Decimal integer; anything else gives the fallback.
    int ReadInteger(const QString& section, const QString& key, int fallback) const;
    // "0" off, any other integer on; anything else gives the fallback.
    bool ReadBool(const QString& section, const QString& key, bool fallback) const;

    void Write(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);

    QByteArray Serialize() const;
    // Writes the whole file atomically. Raises EFileError.
    void Save(const QString& path) const;

private:
    static std::optional<QString> SectionName(const QString& line);
    static std::optional<std::pair<QString, QString>> KeyValue(const QString& line);
    // Index of the section header line, or -1.
    qsizetype FindSection(const QString& section) const;
    // Index of the key's line inside the section starting at sectionLine, or -1.
    qsizetype FindKey(qsizetype sectionLine, const QString& key) const;
    qsizetype SectionEnd(qsizetype sectionLine) const;

    QString LineText(qsizetype i) const;

    // Lines are kept as the file's bytes, so lines the program never writes stay byte for byte.
    QList<QByteArray> lines_;
    QByteArray newline_ = "\r\n";
};

}  // namespace tessora
