#pragma once
// The tokens that open the station's HTTP server: a file of the station folder, readable by its
// owner alone, holding for each token its name, scope, creation time and a salted hash. The
// token itself is shown once, when it is made, and kept nowhere.

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

namespace tessora {

inline const QString kTokenFileName = QStringLiteral("remote-tokens");

enum class TokenScope {
    Status,   // the page, the API's reading routes and the metrics
    Control,  // all that, and the control routes
};

QString TokenScopeName(TokenScope scope);
std::optional<TokenScope> TokenScopeFromName(const QString& name);

struct TokenEntry {
    QString Name;
    TokenScope Scope = TokenScope::Status;
    QDateTime Created;  // UTC
    QByteArray Salt;    // 16 random bytes
    QByteArray Hash;    // SHA-256 of salt and token

    bool operator==(const TokenEntry&) const = default;
};

// A token name: 1 to 64 characters, none of them blank or a control character (it is written
// into TAB-separated lines and the as-run log).
bool IsTokenName(const QString& name);

// The whole file, in its order. No file: no tokens. Lines that are not entries are skipped.
// Raises EFileError when the file exists but cannot be read.
std::vector<TokenEntry> ReadTokens(const QString& path);
// Writes the whole file atomically, readable and writable by its owner alone. Raises EFileError.
void WriteTokens(const QString& path, const std::vector<TokenEntry>& tokens);

// A new token: 32 random bytes from the system's generator, base64url without padding (43
// characters), with its entry. The token is the caller's to show once.
struct NewToken {
    QString Token;
    TokenEntry Entry;
};
NewToken MakeToken(const QString& name, TokenScope scope, const QDateTime& created);

// The entry whose hash the token matches, or none. Every entry is compared, each in constant
// time, so the time taken says nothing of how much of the token was right.
std::optional<TokenEntry> FindToken(const std::vector<TokenEntry>& tokens, const QByteArray& token);

}  // namespace tessora
