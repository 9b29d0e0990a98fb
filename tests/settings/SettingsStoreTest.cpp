#include "DateTimeValue.h"
#include "SettingsStore.h"
#include "TempFolder.h"

#include <QFileInfo>

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace tessora;

namespace {

class FakePasswords : public PasswordStore {
public:
    std::optional<QString> stored = QString();
    std::optional<QString> Read() override { return stored; }
    bool Write(const QString& password) override {
        if (!stored) return false;
        stored = password;
        return true;
    }
};

class SettingsStoreTest : public ::testing::Test {
protected:
    QString Folder() const { return dir.Path("") + "/"; }
    void Load() { store.LoadSettings(settings, window); }

    TempFolder dir;
    FakePasswords passwords;
    TSettingsStore store{dir.Path(""), passwords};
    SystemSettings settings;
    MainWindowSettings window;
};

}  // namespace

TEST_F(SettingsStoreTest, FirstStartGivesTheDefaults) {
    Load();
    EXPECT_EQ(window.SkinName, "Corner");
    EXPECT_EQ(window.PlayerPanelHeight, 400);
    EXPECT_EQ(MainWindowTitle(settings), "Tessora多通道智能广播系统");
    EXPECT_EQ(settings.MusicDirectory, Folder() + "music");
    EXPECT_EQ(settings.ListDirectory, Folder() + "list");
    EXPECT_EQ(settings.TemplateDirectory, Folder() + "template");
    EXPECT_TRUE(settings.ShowPlayer);
    EXPECT_TRUE(settings.ShowListDetail);
    EXPECT_TRUE(settings.ShowSystemName);
    EXPECT_FALSE(settings.AutoShutDown);
    EXPECT_FALSE(settings.CheckPassOnInOut);
    EXPECT_EQ(settings.AutoShutDownTime, 0.0);
    EXPECT_EQ(settings.Password, "");
    EXPECT_EQ(settings.PreviewDeviceID, 0);
    EXPECT_EQ(settings.PreviewVolume, 0);
    EXPECT_EQ(settings.PlayingInterval, 0);
}

TEST_F(SettingsStoreTest, ReadsAFileWrittenInAnotherCase) {
    dir.Write("Tessora.ini", "[TESSORA]\r\nBSHOWPLAYER=0\r\nSYSTEMNAME=\xD2\xBB\xD6\xD0\r\nbShowSystemName=1\r\n"
                             "autoshutdowntime=17:30:00\r\nBAUTOSHUTDOWN=1\r\nPREVIEWVOLUME=-2500\r\nSplitter1=250\r\n");
    Load();
    EXPECT_FALSE(settings.ShowPlayer);
    EXPECT_EQ(MainWindowTitle(settings), "一中");
    EXPECT_EQ(FormatTimeOfDay(settings.AutoShutDownTime), "17:30:00");
    EXPECT_TRUE(settings.AutoShutDown);
    EXPECT_EQ(settings.PreviewVolume, -2500);
    EXPECT_EQ(window.PlayerPanelHeight, 250);
}

TEST_F(SettingsStoreTest, HiddenSystemNameShowsTheFixedTitle) {
    dir.Write("Tessora.ini", "[tessora]\r\nSystemName=Mine\r\nbshowsystemName=0\r\n");
    Load();
    EXPECT_EQ(MainWindowTitle(settings), "Tessora多通道智能广播系统");
}

TEST_F(SettingsStoreTest, UnreadableValuesTakeTheirDefaults) {
    struct Case { const char* time; const char* expected; };
    for (const Case& c : {Case{"lunch", "00:00:00"}, Case{"25:00:00", "00:00:00"}, Case{"7:05:09", "07:05:09"},
                          Case{"2024/01/05 6:00:00", "06:00:00"}, Case{"18:45", "18:45:00"}}) {
        dir.Write("Tessora.ini", QByteArray("[tessora]\r\nAutoShutDownTime=") + c.time + "\r\nsplitter1=tall\r\n");
        Load();
        EXPECT_EQ(FormatTimeOfDay(settings.AutoShutDownTime), c.expected) << c.time;
        EXPECT_EQ(window.PlayerPanelHeight, 400);
    }
}

TEST_F(SettingsStoreTest, SaveRoundTripsAndKeepsForeignContent) {
    dir.Write("Tessora.ini", "; written by hand\r\n[tessora]\r\nSKIN=Blue\r\nmykey=keep\r\n\r\n[elsewhere]\r\na=b\r\n");
    Load();
    settings.TemplateDirectory = "/srv/模板";
    settings.AutoShutDownTime = TimeValue(21, 5, 0);
    settings.AutoShutDown = true;
    settings.Password = "secret";
    window.PlayerPanelHeight = 321;
    ASSERT_TRUE(store.SaveSettings(settings, window));

    const QByteArray text = dir.Read("Tessora.ini");
    EXPECT_TRUE(text.startsWith("; written by hand\r\n[tessora]\r\nskin=Blue\r\nmykey=keep\r\n"));
    EXPECT_TRUE(text.contains("\r\n[elsewhere]\r\na=b\r\n"));
    EXPECT_TRUE(text.contains("AutoShutDownTime=21:05:00\r\n"));
    EXPECT_TRUE(text.contains("bAutoShutDown=1\r\n"));
    EXPECT_FALSE(text.contains("secret"));  // the password never goes into the file
    EXPECT_EQ(passwords.stored, "secret");

    SystemSettings again;
    MainWindowSettings againWindow;
    TSettingsStore(dir.Path(""), passwords).LoadSettings(again, againWindow);
    EXPECT_EQ(again.TemplateDirectory, "/srv/模板");
    EXPECT_EQ(FormatTimeOfDay(again.AutoShutDownTime), "21:05:00");
    EXPECT_EQ(againWindow.PlayerPanelHeight, 321);
    EXPECT_EQ(again.Password, "secret");
}

TEST_F(SettingsStoreTest, AFileThatCouldNotBeReadIsNotOverwritten) {
    QDir().mkpath(dir.Path("Tessora.ini"));  // a folder in the way
    Load();
    EXPECT_EQ(window.SkinName, "Corner");
    EXPECT_FALSE(store.SaveSettings(settings, window));
    EXPECT_FALSE(store.LastError().isEmpty());
    EXPECT_TRUE(QFileInfo(dir.Path("Tessora.ini")).isDir());
}

TEST_F(SettingsStoreTest, PasswordKeepsItsValueWhenTheStoreCannotOpen) {
    passwords.stored = std::nullopt;
    settings.Password = "before";
    Load();
    EXPECT_EQ(settings.Password, "before");
}

TEST(UserPasswordStore, KeepsThePasswordForTheUserAlone) {
    TempFolder dir;
    const QString file = dir.Path("config/norvane/tessora.conf");
    {
        auto store = MakeUserPasswordStore(file);
        EXPECT_EQ(store->Read(), QString());
        EXPECT_TRUE(store->Write("门卫 1234"));
    }
    EXPECT_EQ(MakeUserPasswordStore(file)->Read(), "门卫 1234");
    struct stat info {};
    ASSERT_EQ(stat(QFile::encodeName(file).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(stat(QFile::encodeName(QFileInfo(file).absolutePath()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}
