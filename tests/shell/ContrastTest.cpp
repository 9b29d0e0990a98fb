// Every shipped skin readable in every window: each window is made as the program makes it, in
// each skin, rendered offscreen, and the text of its labels, edits, tables, tabs and buttons is
// measured against the background it stands on (contrast ratio at least 4.5, WCAG AA).
#include "ItemEditor.h"
#include "ListEditor.h"
#include "MainForm.h"
#include "PlayerConfig.h"
#include "PlayerSetting.h"
#include "PlayerTestSupport.h"
#include "SettingsStore.h"
#include "Skin.h"
#include "Unit5.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <functional>
#include <map>

using namespace tessora;
using tessora::test::FakeChannel;

namespace {

constexpr double kLeastContrast = 4.5;

double Luminance(QRgb c) {
    const auto channel = [](int v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
}

double Contrast(QRgb a, QRgb b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The text's contrast in `area` of the rendered window: the background is the colour most of the
// area has, the text the colour that stands out most from it (the core of the strokes; the
// antialiased edges lie in between).
double TextContrast(const QImage& image, const QRect& area) {
    const QRect inside = area.intersected(image.rect());
    std::map<QRgb, int> counts;
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x) ++counts[image.pixel(x, y) | 0xff000000];
    if (counts.empty()) return 0;
    QRgb background = counts.begin()->first;
    for (const auto& [colour, count] : counts)
        if (count > counts[background]) background = colour;
    double best = 1;
    for (const auto& entry : counts) best = std::max(best, Contrast(entry.first, background));
    return best;
}

class NoPowerOff : public PowerOff {
public:
    void Request() override {}
};

class NoPasswords : public PasswordStore {
public:
    std::optional<QString> Read() override { return QString(); }
    bool Write(const QString&) override { return true; }
};

// One piece of text of a window: where it stands, in the widget's coordinates.
struct TextPlace {
    QWidget* widget;
    QRect area;
    QString what;
};

// The texts of `window` worth reading: labels, edits, drop-down lists, buttons, check boxes,
// tabs, and the cells and headings of tables and lists. Disabled controls are left out (their
// dimmed look is meant), as are empty ones.
std::vector<TextPlace> TextsOf(QWidget* window) {
    std::vector<TextPlace> places;
    const auto add = [&](QWidget* w, QRect area, const QString& text) {
        if (!text.trimmed().isEmpty() && w->isEnabled() && w->isVisible() && !area.isEmpty())
            places.push_back({w, area, QStringLiteral("%1 \"%2\"").arg(QString::fromLatin1(w->metaObject()->className()), text)});
    };
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->window() != window) continue;  // another window of its own
        if (auto* label = qobject_cast<QLabel*>(w)) {
            add(w, w->rect(), label->text());
        } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            add(w, w->rect().adjusted(3, 3, -3, -3), edit->displayText());
        } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            add(w, w->rect().adjusted(3, 3, -20, -3), combo->currentText());
        } else if (auto* box = qobject_cast<QCheckBox*>(w)) {
            QStyleOptionButton option;
            option.initFrom(box);
            option.text = box->text();
            add(w, box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box), box->text());
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            add(w, w->rect().adjusted(3, 3, -3, -3), button->text());
        } else if (auto* tabs = qobject_cast<QTabBar*>(w)) {
            for (int i = 0; i < tabs->count(); ++i)
                if (tabs->isTabVisible(i)) add(w, tabs->tabRect(i).adjusted(4, 4, -4, -4), tabs->tabText(i));
        } else if (auto* table = qobject_cast<QTableWidget*>(w)) {
            for (int row = 0; row < std::min(table->rowCount(), 3); ++row)
                for (int column = 0; column < table->columnCount(); ++column)
                    if (QTableWidgetItem* item = table->item(row, column)) {
                        const QRect cell = table->visualItemRect(item).adjusted(2, 2, -2, -2);
                        if (table->viewport()->rect().contains(cell)) add(table->viewport(), cell, item->text());
                    }
            QHeaderView* header = table->horizontalHeader();
            if (header->isVisible())
                for (int column = 0; column < table->columnCount(); ++column)
                    if (QTableWidgetItem* heading = table->horizontalHeaderItem(column)) {
                        const QRect section =
                            QRect(header->sectionViewportPosition(column), 0, header->sectionSize(column), header->height()).adjusted(3, 3, -3, -3);
                        if (header->viewport()->rect().contains(section)) add(header->viewport(), section, heading->text());
                    }
        } else if (auto* list = qobject_cast<QListWidget*>(w)) {
            for (int row = 0; row < std::min(list->count(), 3); ++row)
                add(list->viewport(), list->visualItemRect(list->item(row)).adjusted(1, 1, -1, -1), list->item(row)->text());
        }
    }
    return places;
}

// Shows every page of every tab widget in turn and measures what is visible on it. Returns the
// texts that do not reach the least contrast, and counts the ones measured.
QStringList FaintTexts(QWidget* window, int& measured) {
    QStringList faint;
    QSet<QString> seen;
    std::vector<std::pair<QTabWidget*, int>> pages{{nullptr, 0}};
    for (QTabWidget* tabs : window->findChildren<QTabWidget*>())
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->isTabVisible(i)) pages.push_back({tabs, i});
    for (const auto& [tabs, index] : pages) {
        if (tabs) tabs->setCurrentIndex(index);
        QCoreApplication::processEvents();
        const QImage image = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
        for (const TextPlace& place : TextsOf(window)) {
            const qreal ratio = image.devicePixelRatio();
            const QRect logical(place.widget->mapTo(window, place.area.topLeft()), place.area.size());
            const QRect area(QPoint(qRound(logical.x() * ratio), qRound(logical.y() * ratio)), logical.size() * ratio);
            const QString key = place.what + QString::number(logical.x()) + "," + QString::number(logical.y());
            if (seen.contains(key)) continue;
            seen.insert(key);
            ++measured;
            const double contrast = TextContrast(image, area);
            if (contrast < kLeastContrast) {
                faint << QStringLiteral("%1: %2").arg(place.what).arg(contrast, 0, 'f', 2);
                // TESSORA_CONTRAST_DUMP=folder keeps the rendering that failed, to look at.
                const QString dump = qEnvironmentVariable("TESSORA_CONTRAST_DUMP");
                if (!dump.isEmpty()) image.save(QStringLiteral("%1/%2-%3.png").arg(dump, window->objectName(), QString::number(measured)));
            }
        }
    }
    return faint;
}

}  // namespace

class ContrastTest : public QObject {
    Q_OBJECT

    QTemporaryDir folder;
    NoPasswords passwords;

    QString Folder() const { return folder.path() + "/"; }

    // A station of two channels whose skin at start is `skin`.
    void PrepareStation(const QString& skin) {
        QDir(Folder() + "skins").removeRecursively();
        const QDir shipped(TESSORA_SKINS_SOURCE);
        for (const QString& name : shipped.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QDir().mkpath(Folder() + "skins/" + name);
            for (const QString& file : QDir(shipped.filePath(name)).entryList(QDir::Files))
                QFile::copy(shipped.filePath(name + "/" + file), Folder() + "skins/" + name + "/" + file);
        }
        QFile ini(Folder() + "Tessora.ini");
        QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write("[tessora]\r\nskin=" + skin.toUtf8() + "\r\n");
        ini.close();
        std::vector<ChannelConfig> configs(2);
        configs[0].Title = "教学楼";
        configs[1].Title = "操场";
        TChannelFile().SaveChannels(Folder() + "tessora.cfg", configs);
    }

private slots:
    void everyWindowIsReadableInEverySkin_data() {
        QTest::addColumn<QString>("skin");
        for (const QString& name : QDir(TESSORA_SKINS_SOURCE).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            QTest::newRow(qPrintable(name)) << name;
    }
    void everyWindowIsReadableInEverySkin() {
        QFETCH(QString, skin);
        QVERIFY(folder.isValid());
        PrepareStation(skin);
        TStation station(Folder(), passwords, [](int, int) { return std::make_unique<FakeChannel>(); });
        MainWindowServices services;
        services.askPassword = [](QWidget*, const QString&) { return true; };
        services.showMessage = [](QWidget*, const QString&) {};
        services.tellBeforeClosing = services.showMessage;
        services.inform = services.showMessage;
        services.tell = services.showMessage;
        services.chooseFile = [](QWidget*, const QString&, const QString&) { return QString(); };
        services.chooseFolder = [](QWidget*, const QString&) { return QString(); };
        services.outputNames = [] { return QStringList{"默认输出", "声卡 1"}; };
        services.screenGrab = MakeQtScreenGrab;
        services.powerOff = std::make_unique<NoPowerOff>();
        services.editorDialogs.showMessage = services.showMessage;
        services.editorDialogs.chooseOpenFile = [](QWidget*, const QString&, const QString&, const QString&) { return QString(); };
        services.editorDialogs.chooseSaveFile = services.editorDialogs.chooseOpenFile;
        services.editorDialogs.chooseFolder = services.chooseFolder;
        services.editorDialogs.askYesNo = [](QWidget*, const QString&) { return true; };
        auto window = std::make_unique<TfrmMain>(station, std::move(services));
        window->resize(1100, 700);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QTRY_VERIFY_WITH_TIMEOUT(window->Skins().Settled() && !window->Skins().Current().IsPlain(), 10000);
        QCOMPARE(window->Skins().Name(), skin);
        QTRY_VERIFY_WITH_TIMEOUT(window->PlayingListView()->rowCount() >= 0, 1000);

        // Each window with texts in every kind of control it has, as an operator meets it.
        std::vector<std::pair<QString, std::function<QWidget*()>>> windows;
        windows.push_back({"main window", [&]() -> QWidget* {
                               QTableWidget* list = window->PlayingListView();
                               list->setRowCount(1);
                               const QStringList cells{"上课铃", "08:00:00", "08:00:30", "/music/bell.wav", "单曲"};
                               for (int c = 0; c < cells.size(); ++c) list->setItem(0, c, new QTableWidgetItem(cells[c]));
                               return window.get();
                           }});
        windows.push_back({"system settings", [&]() -> QWidget* {
                               SystemSettings settings = station.Settings();
                               settings.SystemName = "第一中学";
                               settings.MusicDirectory = "/music";
                               settings.ListDirectory = "/list";
                               settings.TemplateDirectory = "/template";
                               settings.Password = "pw";
                               settings.AutoShutDownTime = 17.0 / 24;
                               window->FormPlayerSetting->Load(settings, {"默认输出", "声卡 1"});
                               window->FormPlayerSetting->show();
                               return window->FormPlayerSetting;
                           }});
        windows.push_back({"list editor", [&]() -> QWidget* {
                               TFormList* editor = window->FormList();
                               editor->show();
                               for (QTableWidget* table : {editor->ListView, editor->DayListView}) {
                                   table->setRowCount(1);
                                   const QStringList cells{"上课铃", "08:00:00", "08:00:30", "/music/bell.wav", "单曲", "备注"};
                                   for (int c = 0; c < cells.size(); ++c) table->setItem(0, c, new QTableWidgetItem(cells[c]));
                               }
                               editor->EditDayList->setText("/list/周一.lst");
                               return editor;
                           }});
        std::unique_ptr<TfrmItemEditor> itemEditor;
        EditorDialogs quiet;
        quiet.showMessage = [](QWidget*, const QString&) {};
        windows.push_back({"item editor", [&]() -> QWidget* {
                               // As the list editor makes it: its child, sharing its look.
                               itemEditor = std::make_unique<TfrmItemEditor>(station.Settings(), quiet, [](int32_t) {},
                                                                             window->FormList());
                               itemEditor->WorkItem.Title = "上课铃";
                               itemEditor->WorkItem.StartTime = 8.0 / 24;
                               itemEditor->WorkItem.EndTime = 8.5 / 24;
                               itemEditor->WorkItem.Source = "/music/bell.wav";
                               itemEditor->WorkItem.Memo = "每天";
                               itemEditor->EditMode = true;
                               itemEditor->show();
                               return itemEditor.get();
                           }});
        windows.push_back({"channel dialog", [&]() -> QWidget* {
                               std::vector<ChannelEntry> entries;
                               for (int i = 0; i < station.ChannelCount(); ++i)
                                   entries.push_back({LoadedChannel{station.Channel(i)->Config(), {}}, "一楼", i});
                               window->FormPlayerConfig->Load(entries, {"默认输出", "声卡 1"});
                               window->FormPlayerConfig->show();
                               window->FormPlayerConfig->lstPlayer->setCurrentRow(0);
                               return window->FormPlayerConfig;
                           }});
        windows.push_back({"all-call", [&]() -> QWidget* {
                               window->ShowAllCall();
                               return window->OverrideWindow();
                           }});
        windows.push_back({"alarm", [&]() -> QWidget* {
                               window->ShowAlarm();
                               return window->OverrideWindow();
                           }});
        windows.push_back({"lock", [&]() -> QWidget* {
                               window->Form5->show();
                               return window->Form5;
                           }});

        QStringList faint;
        for (const auto& [name, open] : windows) {
            QWidget* shown = open();
            QVERIFY2(shown, qPrintable(name));
            QVERIFY(QTest::qWaitForWindowExposed(shown));
            int measured = 0;
            for (const QString& text : FaintTexts(shown, measured)) faint << name + ": " + text;
            QVERIFY2(measured > 0, qPrintable(name));
            if (shown != window.get()) shown->close();
            // The override windows delete themselves once closed.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
        }
        QVERIFY2(faint.isEmpty(), qPrintable("\n" + faint.join('\n')));
    }
};

QTEST_MAIN(ContrastTest)
#include "ContrastTest.moc"
