// Where the station keeps its files, and what a new station folder starts with.
#include "Autostart.h"
#include "FileError.h"
#include "StationFolder.h"
#include "TempFolder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace tessora;

TEST(StationFolder, ACopyInAFolderOfItsOwnKeepsItsFilesBesideItself) {
    TempFolder dir;
    const QString program = dir.MakeFolder("station");
    EXPECT_EQ(StationFolderFor({program, dir.Path("data")}), program + "/");
    // A folder named "bin" is not yet an installed program: nothing is shipped beside it.
    const QString bin = dir.MakeFolder("copy/bin");
    EXPECT_EQ(StationFolderFor({bin, dir.Path("data")}), bin + "/");
}

TEST(StationFolder, AnInstalledProgramKeepsThemPerUser) {
    TempFolder dir;
    const QString bin = dir.MakeFolder("usr/bin");
    dir.MakeFolder("usr/share/tessora/skins");
    EXPECT_EQ(StationFolderFor({bin, dir.Path("data")}), dir.Path("data/tessora/"));
    EXPECT_EQ(ShippedFilesFolder(bin), QDir::cleanPath(dir.Path("usr/share/tessora")) + "/");
}

TEST(StationFolder, AFolderThatCannotBeWrittenKeepsThemPerUser) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into any folder";
    TempFolder dir;
    const QString program = dir.MakeFolder("station");
    ASSERT_TRUE(QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    EXPECT_EQ(StationFolderFor({program, dir.Path("data")}), dir.Path("data/tessora/"));
    QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST(StationFolder, PreparingCopiesWhatIsShippedAndNeverReplacesTheOperatorsFiles) {
    TempFolder dir;
    dir.Write("shipped/alarm.wav", "shipped alarm");
    dir.Write("shipped/skins/Corner/skin.ini", "shipped skin");
    dir.Write("station/skins/Corner/skin.ini", "the operator's own skin");
    ASSERT_TRUE(PrepareStationFolder(dir.Path("station"), dir.Path("shipped")));
    for (const char* sub : {"music", "list", "template"}) EXPECT_TRUE(QDir(dir.Path("station/") + sub).exists()) << sub;
    EXPECT_EQ(dir.Read("station/alarm.wav"), "shipped alarm");
    EXPECT_EQ(dir.Read("station/skins/Corner/skin.ini"), "the operator's own skin");
    // An upgrade ships a new alarm: the one the station has stays.
    dir.Write("shipped/alarm.wav", "new alarm");
    ASSERT_TRUE(PrepareStationFolder(dir.Path("station"), dir.Path("shipped")));
    EXPECT_EQ(dir.Read("station/alarm.wav"), "shipped alarm");

    dir.Write("blocked", "a file where the folder should be");
    QString error;
    EXPECT_FALSE(PrepareStationFolder(dir.Path("blocked"), QString(), &error));
    EXPECT_TRUE(error.contains("blocked"));
}

TEST(Autostart, OnOffAndStatusAsTheDesktopsReadTheEntry) {
    TempFolder dir;
    const QString config = dir.Path("config");
    EXPECT_FALSE(ReadAutostart(config).on);
    const AutostartState on = EnableAutostart(config, "/opt/my station/tessora");
    EXPECT_TRUE(on.on);
    EXPECT_EQ(on.file, dir.Path("config/autostart/tessora.desktop"));
    EXPECT_EQ(on.program, "/opt/my station/tessora");
    EXPECT_TRUE(dir.Read("config/autostart/tessora.desktop").contains("Exec=\"/opt/my station/tessora\"\n"));

    // An entry the desktop was told to hide counts as off.
    dir.Write("config/autostart/tessora.desktop", "[Desktop Entry]\nExec=/usr/bin/tessora\nHidden=true\n");
    EXPECT_FALSE(ReadAutostart(config).on);
    dir.Write("config/autostart/tessora.desktop", "[Desktop Entry]\nExec=/usr/bin/tessora\n");
    EXPECT_TRUE(ReadAutostart(config).on);

    EXPECT_FALSE(DisableAutostart(config).on);
    EXPECT_FALSE(QFile::exists(on.file));
    EXPECT_FALSE(DisableAutostart(config).on);  // off twice is still off
}
