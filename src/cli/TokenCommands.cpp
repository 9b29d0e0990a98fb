// tessora-cli token: the tokens that open the station's HTTP server.
#include "CommandSupport.h"
#include "TokenStore.h"

#include <QDir>
#include <QFileInfo>

namespace tessora::cli {

namespace {

constexpr const char* kSynopsis = "token FOLDER add NAME status|control | token FOLDER list | token FOLDER remove NAME";

QString TokenFile(const QString& folder) {
    if (!QFileInfo(folder).isDir()) throw CliError("not a folder: " + folder);
    return QDir(folder).filePath(kTokenFileName);
}

int Token(const QStringList& args, CliIO& io) {
    if (args.size() < 2) throw CliError(QString("usage: tessora-cli ") + kSynopsis);
    const QString path = TokenFile(args[0]);
    const QString what = args[1];
    std::vector<TokenEntry> tokens = WithFileErrors([&] { return ReadTokens(path); });
    const auto named = [&](const QString& name) {
        return std::find_if(tokens.begin(), tokens.end(), [&](const TokenEntry& t) { return t.Name == name; });
    };
    if (what == "add" && args.size() == 4) {
        const QString& name = args[2];
        if (!IsTokenName(name)) throw CliError("not a token name (1 to 64 characters, no blanks): " + name);
        const auto scope = TokenScopeFromName(args[3]);
        if (!scope) throw CliError("not a scope (status or control): " + args[3]);
        if (named(name) != tokens.end()) throw CliError("a token of that name exists already: " + name);
        const NewToken made = MakeToken(name, *scope, QDateTime::currentDateTimeUtc());
        tokens.push_back(made.Entry);
        WithFileErrors([&] { WriteTokens(path, tokens); });
        io.out << made.Token << '\n';
    } else if (what == "list" && args.size() == 2) {
        for (const TokenEntry& t : tokens)
            WriteRecord(io.out, {t.Name, TokenScopeName(t.Scope), t.Created.toString(Qt::ISODate)});
    } else if (what == "remove" && args.size() == 3) {
        const auto found = named(args[2]);
        if (found == tokens.end()) throw CliError("no token of that name: " + args[2]);
        tokens.erase(found);
        WithFileErrors([&] { WriteTokens(path, tokens); });
    } else {
        throw CliError(QString("usage: tessora-cli ") + kSynopsis);
    }
    return 0;
}

}  // namespace

std::vector<CliCommand> tokenCommands() {
    return {
        {"token", kSynopsis,
         "The tokens of the station's HTTP server (status page, API, metrics, control), kept as\n"
         "salted hashes in FOLDER/remote-tokens, readable by its owner alone. add prints a new\n"
         "token once (43 characters, URL-safe); a control token can do all a status token can.\n"
         "list prints  Name  Scope  Created  (UTC) per token; remove forgets one. The running\n"
         "station takes a change within a few seconds.",
         Token},
    };
}

}  // namespace tessora::cli
