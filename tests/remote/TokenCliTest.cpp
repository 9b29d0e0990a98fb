// tessora-cli token: add prints a token once and keeps only its hash; list and remove.
#include "CliRun.h"
#include "TempFolder.h"
#include "TokenStore.h"

#include <QRegularExpression>

namespace {

TEST(TokenCli, AddPrintsATokenOnceListShowsNameScopeCreatedAndRemoveForgets) {
    TempFolder folder;
    const CliRun added = Cli({"token", folder.Path(), "add", "教务处", "control"});
    ASSERT_EQ(added.status, 0) << added.err.toStdString();
    const QString token = added.out.trimmed();
    EXPECT_TRUE(QRegularExpression("^[A-Za-z0-9_-]{43}$").match(token).hasMatch()) << added.out.toStdString();
    EXPECT_EQ(added.out, token + "\n");
    ASSERT_EQ(Cli({"token", folder.Path(), "add", "monitor", "status"}).status, 0);

    const QByteArray stored = folder.Read(tessora::kTokenFileName);
    EXPECT_FALSE(stored.contains(token.toLatin1()));
    const auto entries = tessora::ReadTokens(folder.Path(tessora::kTokenFileName));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(tessora::FindToken(entries, token.toLatin1())->Name, "教务处");

    const CliRun listed = Cli({"token", folder.Path(), "list"});
    ASSERT_EQ(listed.status, 0);
    const QStringList lines = listed.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(QRegularExpression("^教务处\tcontrol\t\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ$").match(lines[0]).hasMatch())
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith("monitor\tstatus\t"));
    EXPECT_FALSE(listed.out.contains(token));

    const CliRun removed = Cli({"token", folder.Path(), "remove", "教务处"});
    EXPECT_EQ(removed.status, 0);
    EXPECT_EQ(removed.out, "");
    EXPECT_TRUE(Cli({"token", folder.Path(), "list"}).out.startsWith("monitor\tstatus\t"));
}

TEST(TokenCli, BadRequestsSayWhyAndChangeNothing) {
    TempFolder folder;
    ASSERT_EQ(Cli({"token", folder.Path(), "add", "one", "status"}).status, 0);
    const QByteArray before = folder.Read(tessora::kTokenFileName);
    ExpectFailure(Cli({"token", folder.Path(), "add", "one", "control"}), "exists already");
    ExpectFailure(Cli({"token", folder.Path(), "add", "two words", "status"}), "not a token name");
    ExpectFailure(Cli({"token", folder.Path(), "add", "two", "admin"}), "not a scope");
    ExpectFailure(Cli({"token", folder.Path(), "remove", "nobody"}), "no token of that name");
    ExpectFailure(Cli({"token", folder.Path(), "rename", "one"}), "usage: tessora-cli token");
    ExpectFailure(Cli({"token", folder.Path("missing"), "list"}), "not a folder");
    EXPECT_EQ(folder.Read(tessora::kTokenFileName), before);
}

}  // namespace
