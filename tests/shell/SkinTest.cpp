// Skins: finding them, reading them, and which windows take which skin when.
#include "Skin.h"
#include "SkinSet.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

using namespace tessora;

namespace {

void WriteFile(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

// A skin whose style sheet colours windows with `colour`.
void MakeSkin(const QString& skinsFolder, const QString& name, const QString& colour) {
    WriteFile(skinsFolder + "/" + name + "/skin.ini", "[skin]\r\nStyleSheet=look.qss\r\n[palette]\r\nWindow=" + colour.toUtf8() + "\r\n");
    WriteFile(skinsFolder + "/" + name + "/look.qss", "QWidget { background: " + colour.toUtf8() + "; }");
}

}  // namespace

class SkinTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString Skins() const { return dir->path() + "/skins"; }

private slots:
    void init() { dir = std::make_unique<QTemporaryDir>(); }

    void scanListsPlainFoldersOnly() {
        QDir().mkpath(Skins() + "/Corner");
        QDir().mkpath(Skins() + "/蓝色");
        QDir().mkpath(Skins() + "/Locked");
        QFile(Skins() + "/Locked").setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        QDir().mkpath(Skins() + "/.hidden");
        WriteFile(Skins() + "/notes.txt", "a file");
        QFile::link(Skins() + "/Corner", Skins() + "/Alias");
        QCOMPARE(ScanSkins(Skins()), QStringList({"Corner", "蓝色"}));
        QFile(Skins() + "/Locked").setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    void scanWithoutFolderFindsNothing() { QVERIFY(ScanSkins(dir->path() + "/none").isEmpty()); }

    void skinsFolderOfProgramFolder() {
        QCOMPARE(SkinsFolderOf("/opt/station/"), QString("/opt/station/skins"));
        QCOMPARE(SkinsFolderOf("/opt/station"), QString("/opt/station/skins"));
    }

    void loadReadsStyleSheetAndPalette() {
        WriteFile(Skins() + "/Blue/skin.ini",
                  "; a comment\r\n[skin]\r\nStyleSheet=blue.qss\r\n[palette]\r\nWindow=#102030\r\nButtonText=#abcdef\r\n"
                  "Nonsense=#000000\r\nBase=not a colour\r\n[palette.disabled]\r\nText=#777777\r\n");
        WriteFile(Skins() + "/Blue/blue.qss",
                  "QPushButton { border-image: url(images/button.png); }\n"
                  "QCheckBox::indicator { image: url(\"tick.png\"); }\n"
                  "QFrame { background: url(:/builtin.png); } QLabel { image: url(/abs/x.png); }");
        const std::optional<TSkin> skin = LoadSkin(Skins(), "Blue");
        QVERIFY(skin);
        QCOMPARE(skin->Name, QString("Blue"));
        const QString folder = Skins() + "/Blue/";
        QVERIFY(skin->StyleSheet.contains("url(\"" + folder + "images/button.png\")"));
        QVERIFY(skin->StyleSheet.contains("url(\"" + folder + "tick.png\")"));
        QVERIFY(skin->StyleSheet.contains("url(:/builtin.png)"));
        QVERIFY(skin->StyleSheet.contains("url(/abs/x.png)"));
        QVERIFY(skin->Palette);
        QCOMPARE(skin->Palette->color(QPalette::Active, QPalette::Window), QColor("#102030"));
        QCOMPARE(skin->Palette->color(QPalette::Inactive, QPalette::ButtonText), QColor("#abcdef"));
        QCOMPARE(skin->Palette->color(QPalette::Disabled, QPalette::Text), QColor("#777777"));
    }

    void brokenSkinsGiveThePlainLook_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("ini");
        QTest::newRow("no skin.ini") << "Empty" << QByteArray();
        QTest::newRow("style sheet missing") << "Half" << QByteArray("[skin]\r\nStyleSheet=gone.qss\r\n");
        QTest::newRow("style sheet outside the folder") << "Sly" << QByteArray("[skin]\r\nStyleSheet=../Other/look.qss\r\n");
        QTest::newRow("nothing in it") << "Bare" << QByteArray("[skin]\r\n");
        QTest::newRow("name leaving the folder") << "../Other" << QByteArray();
        QTest::newRow("empty name") << "" << QByteArray();
    }
    void brokenSkinsGiveThePlainLook() {
        QFETCH(QString, name);
        QFETCH(QByteArray, ini);
        MakeSkin(Skins(), "Other", "#ff0000");
        QDir().mkpath(Skins() + "/" + name);
        if (!ini.isEmpty()) WriteFile(Skins() + "/" + name + "/skin.ini", ini);
        QVERIFY(!LoadSkin(Skins(), name));
    }

    void shippedSkinsLoad() {
        const QStringList names = ScanSkins(TESSORA_SKINS_SOURCE);
        QVERIFY(names.contains("Corner"));
        QCOMPARE(names.size(), 3);
        int dark = 0;
        for (const QString& name : names) {
            const std::optional<TSkin> skin = LoadSkin(TESSORA_SKINS_SOURCE, name);
            QVERIFY2(skin && skin->Palette && !skin->StyleSheet.isEmpty(), qPrintable(name));
            if (skin->Palette->color(QPalette::Window).lightness() < 80) ++dark;
        }
        QCOMPARE(dark, 1);
    }

    void applyAndTakeBackTheLook() {
        MakeSkin(Skins(), "Red", "#ff0000");
        QWidget window;
        const QColor plain = window.palette().color(QPalette::Window);
        ApplySkin(window, *LoadSkin(Skins(), "Red"));
        QCOMPARE(window.palette().color(QPalette::Window), QColor("#ff0000"));
        QVERIFY(window.styleSheet().contains("#ff0000"));
        ApplySkin(window, TSkin{});
        QCOMPARE(window.palette().color(QPalette::Window), plain);
        QVERIFY(window.styleSheet().isEmpty());
    }

    void windowsFollowTheCurrentSkinOrTheStartOne() {
        MakeSkin(Skins(), "Red", "#ff0000");
        MakeSkin(Skins(), "Green", "#00ff00");
        TSkinSet skins(Skins());
        QWidget main, lockWindow;
        skins.Follow(&main, TSkinSet::Follows::Current);
        skins.Follow(&lockWindow, TSkinSet::Follows::Start);
        skins.Select("Red");
        QTRY_VERIFY(skins.Settled());
        QVERIFY(main.styleSheet().contains("#ff0000"));
        QVERIFY(lockWindow.styleSheet().contains("#ff0000"));

        skins.Select("Green");
        QTRY_VERIFY(skins.Settled());
        QCOMPARE(skins.Name(), QString("Green"));
        QVERIFY(main.styleSheet().contains("#00ff00"));
        QVERIFY(lockWindow.styleSheet().contains("#ff0000"));
        // A window made later takes the skin it follows as it is now.
        QWidget allCall;
        skins.Follow(&allCall, TSkinSet::Follows::Start);
        QVERIFY(allCall.styleSheet().contains("#ff0000"));

        skins.Select("Missing");  // stored all the same, and the plain look
        QTRY_VERIFY(skins.Settled());
        QCOMPARE(skins.Name(), QString("Missing"));
        QVERIFY(main.styleSheet().isEmpty());
    }

    void theLastSelectionWins() {
        MakeSkin(Skins(), "Red", "#ff0000");
        MakeSkin(Skins(), "Green", "#00ff00");
        TSkinSet skins(Skins());
        QWidget main;
        skins.Follow(&main, TSkinSet::Follows::Current);
        for (int i = 0; i < 10; ++i) skins.Select(i % 2 ? "Green" : "Red");
        QTRY_VERIFY(skins.Settled());
        QVERIFY(main.styleSheet().contains("#00ff00"));
    }

    void scanReportsOnTheGuiThread() {
        QDir().mkpath(Skins() + "/Corner");
        TSkinSet skins(Skins());
        QSignalSpy scanned(&skins, &TSkinSet::Scanned);
        skins.Scan();
        QVERIFY(scanned.wait(5000));
        QCOMPARE(skins.Names(), QStringList({"Corner"}));
    }
};

QTEST_MAIN(SkinTest)
#include "SkinTest.moc"
