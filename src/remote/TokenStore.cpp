#include "TokenStore.h"

#include "FileError.h"
#include "TabRecord.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QStringList>

namespace tessora {

namespace {

constexpr int kSaltBytes = 16;
constexpr int kTokenBytes = 32;
constexpr int kMaxNameLength = 64;
constexpr int kFieldCount = 5;

QByteArray RandomBytes(int count) {
    QByteArray bytes(count, Qt::Uninitialized);
    QRandomGenerator* system = QRandomGenerator::system();
    for (int i = 0; i < count; ++i) bytes[i] = char(system->generate() & 0xff);
    return bytes;
}

QByteArray HashOf(const QByteArray& salt, const QByteArray& token) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(salt);
    hash.addData(token);
    return hash.result();
}

bool SameBytes(const QByteArray& a, const QByteArray& b) {
    if (a.size() != b.size()) return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i) difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

std::optional<TokenEntry> ParseEntry(const QString& line) {
    const QStringList fields = line.split(QLatin1Char(0x09));
    if (fields.size() != kFieldCount || !IsTokenName(fields[0])) return std::nullopt;
    const auto scope = TokenScopeFromName(fields[1]);
    QDateTime created = QDateTime::fromString(fields[2], Qt::ISODate);
    const QByteArray salt = QByteArray::fromHex(fields[3].toLatin1());
    const QByteArray hash = QByteArray::fromHex(fields[4].toLatin1());
    if (!scope || !created.isValid() || salt.size() != kSaltBytes || hash.size() != 32) return std::nullopt;
    return TokenEntry{fields[0], *scope, created.toUTC(), salt, hash};
}

}  // namespace

QString TokenScopeName(TokenScope scope) {
    return scope == TokenScope::Control ? QStringLiteral("control") : QStringLiteral("status");
}

std::optional<TokenScope> TokenScopeFromName(const QString& name) {
    if (name == QLatin1String("status")) return TokenScope::Status;
    if (name == QLatin1String("control")) return TokenScope::Control;
    return std::nullopt;
}

bool IsTokenName(const QString& name) {
    if (name.isEmpty() || name.size() > kMaxNameLength) return false;
    for (const QChar c : name)
        if (c.isSpace() || c.category() == QChar::Other_Control || c.category() == QChar::Other_Format) return false;
    return true;
}

std::vector<TokenEntry> ReadTokens(const QString& path) {
    if (!QFileInfo::exists(path)) return {};
    std::vector<TokenEntry> tokens;
    for (const QString& line : QString::fromUtf8(ReadWholeFile(path)).split('\n'))
        if (auto entry = ParseEntry(line)) tokens.push_back(std::move(*entry));
    return tokens;
}

void WriteTokens(const QString& path, const std::vector<TokenEntry>& tokens) {
    QByteArray contents;
    for (const TokenEntry& t : tokens)
        contents += (TabRecord({t.Name, TokenScopeName(t.Scope), t.Created.toUTC().toString(Qt::ISODate),
                                QString::fromLatin1(t.Salt.toHex()), QString::fromLatin1(t.Hash.toHex())}) +
                     '\n')
                        .toUtf8();
    if (QFileInfo(path).isDir()) throw EFileError(path, "Is a folder, not a file");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) throw EFileError(path, file.errorString());
    // The temporary file is closed to others before anything is in it, and is renamed in place.
    if (!file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        throw EFileError(path, "Cannot make the file private: " + file.errorString());
    if (file.write(contents) != contents.size() || !file.commit()) throw EFileError(path, file.errorString());
}

NewToken MakeToken(const QString& name, TokenScope scope, const QDateTime& created) {
    const QByteArray token =
        RandomBytes(kTokenBytes).toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    const QByteArray salt = RandomBytes(kSaltBytes);
    return {QString::fromLatin1(token), TokenEntry{name, scope, created.toUTC(), salt, HashOf(salt, token)}};
}

std::optional<TokenEntry> FindToken(const std::vector<TokenEntry>& tokens, const QByteArray& token) {
    std::optional<TokenEntry> found;
    for (const TokenEntry& entry : tokens)
        if (SameBytes(HashOf(entry.Salt, token), entry.Hash) && !found) found = entry;
    return found;
}

}  // namespace tessora
