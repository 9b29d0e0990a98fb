// The list editor offscreen with fake dialogs and a fake item editor: naming on save, opening
// each kind of list, the day grid and the calendar, and what a failed open leaves.
#include "DateTimeValue.h"
#include "EditorTestSupport.h"
#include "ListEditor.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCharFormat>
#include <QTimer>

#include <functional>

using namespace tessora;
using namespace tessora::test;

namespace {

PlayItem Bell(const QString& title, int hour) {
    PlayItem item;
    item.Title = title;
    item.StartTime = TimeValue(hour, 0, 0);
    item.EndTime = TimeValue(hour, 0, 30);
    item.Source = "/srv/bells/bell.wav";
    return item;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList Column(const QTableWidget* table, int column) {
    QStringList texts;
    for (int row = 0; row < table->rowCount(); ++row) texts << (table->item(row, column) ? table->item(row, column)->text() : QString());
    return texts;
}

}  // namespace

class ListEditorTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    SystemSettings settings_;
    FakeDialogs fakes_;
    QList<std::optional<PlayItem>> itemAnswers_;  // what the fake item editor confirms, in turn
    QList<bool> itemEditModes_;
    std::vector<ChannelListUse> channels_;
    std::unique_ptr<TFormList> form_;

    QString Path(const QString& name) const { return dir_.filePath(name); }

    void Wait() { QVERIFY(WaitUntil([&] { return !form_->Busy(); })); }

    void OpenFile(const QString& path) {
        fakes_.fileAnswers << path;
        form_->Open();
        Wait();
    }

    void SaveAnswering(const QString& name, bool saveAs = false) {
        if (!name.isEmpty()) fakes_.fileAnswers << name;
        saveAs ? form_->SaveAs() : form_->Save();
        Wait();
    }

    QString WriteDayList(const QString& name, std::vector<PlayItem> items) {
        TPlayList list;
        list.Items = std::move(items);
        return list.SaveToFile(Path(name));
    }

private slots:
    void init() {
        QVERIFY(dir_.isValid());
        settings_ = {};
        settings_.ListDirectory = dir_.path();
        fakes_ = {};
        itemAnswers_.clear();
        itemEditModes_.clear();
        channels_.clear();
        ListEditorServices services;
        services.dialogs = fakes_.Dialogs();
        services.editItem = [this](QWidget*, const PlayItem& item, bool editMode) -> std::optional<PlayItem> {
            itemEditModes_ << editMode;
            auto answer = itemAnswers_.isEmpty() ? std::nullopt : itemAnswers_.takeFirst();
            if (answer) answer->Kind = item.Kind;  // read first: the real editor copies the item as it opens
            if (fakes_.whileUp) fakes_.whileUp();
            return answer;
        };
        services.channelUses = [this] { return channels_; };
        form_ = std::make_unique<TFormList>(settings_, services);
        form_->show();
    }

    void cleanup() { form_.reset(); }

    void firstShowOffersBothTabsWithTheWeekGrid() {
        QVERIFY(form_->MainTab->isTabVisible(0));
        QVERIFY(form_->MainTab->isTabVisible(1));
        QCOMPARE(form_->MainTab->currentWidget(), form_->sheetMultiDay);
        QCOMPARE(Column(form_->gridDays, 0), (QStringList{"周日", "周一", "周二", "周三", "周四", "周五", "周六"}));
        QVERIFY(form_->calDays->isHidden());
        QCOMPARE(form_->cboType->currentText(), QString("周列表"));
    }

    void savingNamesThePeriodicListAfterItsKind() {
        SaveAnswering(Path("abc"));
        QCOMPARE(ReadAll(Path("abc.lsm")), QByteArray("\r\n").repeated(7));
        QVERIFY(fakes_.asked.at(0).contains("保存列表") && fakes_.asked.at(0).contains("周期列表 (*.lsm)"));
        QVERIFY(fakes_.asked.at(0).contains(dir_.path()));

        form_->NewPeriodicList();
        SaveAnswering(Path("abc.LSM"));
        QVERIFY(QFileInfo::exists(Path("abc.LSM")));
        QVERIFY(!QFileInfo::exists(Path("abc.LSM.lsm")));
    }

    void aNewDayListSavedAsXGoesToXLstAndLaterSavesAskNothing() {
        form_->NewDayList();
        QVERIFY(!form_->MainTab->isTabVisible(1));
        itemAnswers_ << Bell("上课", 8);
        form_->Insert(KindFile);
        SaveAnswering(Path("x"));
        QCOMPARE(QFileInfo(Path("x.lst")).size(), qint64(600));
        QVERIFY(fakes_.asked.at(0).contains("日列表 (*.lst)"));

        itemAnswers_ << Bell("下课", 9);
        form_->Insert(KindFolder);
        const int asked = fakes_.asked.size();
        form_->Save();
        Wait();
        QCOMPARE(fakes_.asked.size(), asked);
        QCOMPARE(QFileInfo(Path("x.lst")).size(), qint64(1200));
        QCOMPARE(form_->Document().CurrentFileName, Path("x"));
    }

    void saveAsWritesTheListOfTheTabInView() {
        form_->NewDayList();
        itemAnswers_ << Bell("上课", 8);
        form_->Insert(KindFile);
        SaveAnswering(Path("x"), true);
        QCOMPARE(QFileInfo(Path("x.lst")).size(), qint64(600));
        SaveAnswering(Path("y.lst"), true);
        QCOMPARE(QFileInfo(Path("y.lst")).size(), qint64(600));
        QCOMPARE(form_->Document().CurrentFileName, Path("y.lst"));
        // Before any Save the dialog has its first filter and no folder.
        QVERIFY(fakes_.asked.at(0).contains("Tessel list (*.lst);;所有文件 (*)"));

        form_->NewPeriodicList();
        SaveAnswering(Path("week"), true);
        QCOMPARE(ReadAll(Path("week.lsm")), QByteArray("\r\n").repeated(7));
    }

    void openingAMonthListShowsEveryDayWithItsPath() {
        PeriodicList lines(31);
        lines[0] = Path("first.lst");
        lines[30] = Path("last.lst");
        WritePeriodicList(Path("month.lsm"), lines);
        OpenFile(Path("month.lsm"));
        QCOMPARE(form_->cboType->currentText(), QString("月列表"));
        QVERIFY(!form_->cboType->isEnabled());
        QVERIFY(!form_->MainTab->isTabVisible(0));
        QCOMPARE(form_->gridDays->rowCount(), 31);
        QCOMPARE(Column(form_->gridDays, 0).first(), QString("1号"));
        QCOMPARE(Column(form_->gridDays, 0).last(), QString("31号"));
        QCOMPARE(Column(form_->gridDays, 1), lines);
        QVERIFY(fakes_.asked.at(0).contains("打开列表") && fakes_.asked.at(0).contains("*.lst *.lsm"));

        // 新建 → 其他列表 gives the selector back.
        form_->NewPeriodicList();
        QVERIFY(form_->cboType->isEnabled());
        QCOMPARE(form_->gridDays->rowCount(), 31);
        QCOMPARE(Column(form_->gridDays, 1), QStringList(31));
    }

    void aYearFileSwitchesToTheCalendarKeyedByDayOfTheYear() {
        WriteDayList("first.lst", {Bell("元旦", 8)});
        WriteDayList("last.lst", {Bell("除夕", 9), Bell("守岁", 10)});
        PeriodicList lines(366);
        lines[0] = Path("first.lst");
        lines[365] = Path("last.lst");
        WritePeriodicList(Path("year.lsm"), lines);
        OpenFile(Path("year.lsm"));
        QCOMPARE(form_->cboType->currentText(), QString("年列表"));
        QVERIFY(!form_->calDays->isHidden());
        QVERIFY(form_->gridDays->isHidden());
        QCOMPARE(form_->calDays->firstDayOfWeek(), Qt::Sunday);

        form_->SelectCalendarDay(QDate(2024, 1, 1));
        Wait();
        QCOMPARE(form_->EditDayList->text(), Path("first.lst"));
        QCOMPARE(Column(form_->DayListView, 0), QStringList{"元旦"});
        form_->SelectCalendarDay(QDate(2024, 12, 31));
        Wait();
        QCOMPARE(form_->EditDayList->text(), Path("last.lst"));
        QCOMPARE(Column(form_->DayListView, 0), (QStringList{"除夕", "守岁"}));
        form_->SelectCalendarDay(QDate(2024, 3, 1));
        QCOMPARE(form_->EditDayList->text(), QString());
        QCOMPARE(form_->DayListView->rowCount(), 0);
    }

    void chooseBeforeAnyClickAssignsTheFirstDayAndDelClearsIt() {
        WriteDayList("monday.lst", {Bell("上课", 8)});
        fakes_.fileAnswers << Path("monday.lst");
        form_->ChooseDayList();
        Wait();
        QCOMPARE(form_->Document().EditedPeriodicList.at(0), Path("monday.lst"));
        QCOMPARE(form_->gridDays->item(0, 1)->text(), Path("monday.lst"));
        QCOMPARE(form_->EditDayList->text(), Path("monday.lst"));
        QCOMPARE(form_->DayListView->rowCount(), 1);
        QVERIFY(fakes_.asked.at(0).contains("Tessel List (*.lst)"));

        form_->btnDel->click();
        QCOMPARE(form_->Document().EditedPeriodicList.at(0), QString());
        QCOMPARE(form_->gridDays->item(0, 1)->text(), QString());
        QCOMPARE(form_->DayListView->rowCount(), 0);
    }

    void aDayListThatCannotBeReadIsNotAssigned() {
        QFile damaged(Path("damaged.lst"));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write(QByteArray(700, 'x'));
        damaged.close();
        form_->SelectGridDay(3);
        fakes_.fileAnswers << Path("damaged.lst");
        form_->btnList->click();
        Wait();
        QCOMPARE(fakes_.messages.size(), 1);
        QVERIFY(fakes_.messages.at(0).contains("damaged.lst") && fakes_.messages.at(0).contains("700"));
        QCOMPARE(form_->Document().EditedPeriodicList, PeriodicList(7));
    }

    void aChangeOfKindEmptiesTheListAndKeepsAStaleDayWithoutEffect() {
        form_->cboType->setCurrentIndex(1);
        form_->SelectGridDay(19);
        fakes_.fileAnswers << WriteDayList("d.lst", {});
        form_->ChooseDayList();
        Wait();
        QCOMPARE(form_->Document().EditedPeriodicList.at(19), Path("d.lst"));

        form_->cboType->setCurrentIndex(0);
        QCOMPARE(form_->Document().EditedPeriodicList, PeriodicList(7));
        QCOMPARE(form_->gridDays->rowCount(), 7);
        fakes_.fileAnswers << Path("d.lst");
        form_->ChooseDayList();
        form_->ClearDay();
        QCOMPARE(fakes_.asked.size(), 1);  // "..." asked nothing
        QCOMPARE(form_->Document().EditedPeriodicList, PeriodicList(7));
        fakes_.fileAnswers.clear();
    }

    void aChangeOfKindAsksBeforeItDiscardsTheDays() {
        // Nothing assigned: nothing to lose, nothing asked.
        form_->cboType->setCurrentIndex(1);
        QVERIFY(fakes_.questions.isEmpty());
        QCOMPARE(form_->gridDays->rowCount(), 31);

        form_->SelectGridDay(4);
        fakes_.fileAnswers << WriteDayList("d.lst", {});
        form_->ChooseDayList();
        Wait();
        // 否: the kind, the grid and the days stay as they were.
        fakes_.yesNoAnswers << false;
        form_->cboType->setCurrentIndex(2);
        QCOMPARE(fakes_.questions.size(), 1);
        QVERIFY(fakes_.questions.at(0).contains("清除"));
        QCOMPARE(form_->cboType->currentIndex(), 1);
        QCOMPARE(form_->Document().Kind, PeriodKind::Month);
        QCOMPARE(form_->Document().EditedPeriodicList.at(4), Path("d.lst"));
        QCOMPARE(form_->gridDays->item(4, 1)->text(), Path("d.lst"));
        QVERIFY(form_->calDays->isHidden());
        // 是: the new kind, empty.
        fakes_.yesNoAnswers << true;
        form_->cboType->setCurrentIndex(0);
        QCOMPARE(fakes_.questions.size(), 2);
        QCOMPARE(form_->Document().EditedPeriodicList, PeriodicList(7));
        QCOMPARE(form_->gridDays->rowCount(), 7);
    }

    // The platform's question: 是 and 否, 否 what Enter and Escape give.
    void theQuestionOffersYesAndNo() {
        const EditorDialogs platform = EditorDialogs::Platform();
        for (const bool yes : {true, false}) {
            QStringList buttons;
            QTimer::singleShot(0, this, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                QVERIFY(box);
                for (QAbstractButton* button : box->buttons()) buttons << button->text();
                QCOMPARE(box->defaultButton()->text(), QString("否"));
                QCOMPARE(box->escapeButton()->text(), QString("否"));
                QCOMPARE(box->text(), QString("继续？"));
                for (QAbstractButton* button : box->buttons())
                    if (button->text() == (yes ? "是" : "否")) button->click();
            });
            QCOMPARE(platform.askYesNo(form_.get(), "继续？"), yes);
            buttons.sort();
            QCOMPARE(buttons, QStringList({"否", "是"}));
        }
    }

    void theYearCalendarMarksTheDaysThatHaveAList() {
        WriteDayList("d.lst", {Bell("上课", 8)});
        PeriodicList lines(366);
        lines[0] = Path("d.lst");   // 1 January
        lines[59] = Path("d.lst");  // 29 February in a leap year, 1 March otherwise
        WritePeriodicList(Path("year.lsm"), lines);
        OpenFile(Path("year.lsm"));
        const auto marked = [&](const QDate& day) { return form_->calDays->dateTextFormat(day).fontWeight() == QFont::Bold; };
        form_->calDays->setCurrentPage(2024, 1);
        QVERIFY(marked(QDate(2024, 1, 1)));
        QVERIFY(!marked(QDate(2024, 1, 2)));
        form_->calDays->setCurrentPage(2024, 2);
        QVERIFY(marked(QDate(2024, 2, 29)));
        QVERIFY(!marked(QDate(2024, 3, 1)));
        form_->calDays->setCurrentPage(2025, 3);
        QVERIFY(marked(QDate(2025, 3, 1)));
        QVERIFY(!marked(QDate(2025, 3, 2)));
        // A mark follows what "..." and "Del" do.
        form_->SelectCalendarDay(QDate(2025, 3, 2));
        Wait();
        fakes_.fileAnswers << Path("d.lst");
        form_->ChooseDayList();
        Wait();
        QVERIFY(marked(QDate(2025, 3, 2)));
        form_->SelectCalendarDay(QDate(2025, 3, 1));
        Wait();
        form_->ClearDay();
        QVERIFY(!marked(QDate(2025, 3, 1)));
        QVERIFY(marked(QDate(2025, 3, 2)));
        // A week list has no calendar marks left behind.
        form_->NewPeriodicList();
        form_->cboType->setCurrentIndex(0);
        QVERIFY(form_->calDays->dateTextFormat().isEmpty());
    }

    void closingAndReopeningGivesAnEmptyUnnamedList() {
        form_->NewDayList();
        itemAnswers_ << Bell("上课", 8);
        form_->Insert(KindFile);
        SaveAnswering(Path("kept"));
        form_->close();
        form_->show();
        QCOMPARE(form_->ListView->rowCount(), 0);
        QVERIFY(form_->Document().EditedDayList.Items.empty());
        const int asked = fakes_.asked.size();
        form_->MainTab->setCurrentWidget(form_->sheetDay);
        form_->Save();  // asks for a name; cancelled
        QCOMPARE(fakes_.asked.size(), asked + 1);
        QCOMPARE(QFileInfo(Path("kept.lst")).size(), qint64(600));
    }

    void insertEditAndDeleteWorkOnTheSelectedRow() {
        form_->NewDayList();
        itemAnswers_ << Bell("上课", 8) << Bell("下课", 9) << std::nullopt;
        form_->Insert(KindFile);
        form_->Insert(KindDevice);
        form_->Insert(KindFolder);  // cancelled
        QCOMPARE(Column(form_->ListView, 0), (QStringList{"上课", "下课"}));
        QCOMPARE(Column(form_->ListView, 1), (QStringList{"08:00:00", "09:00:00"}));

        form_->Edit();  // nothing selected
        form_->Delete();
        QCOMPARE(form_->ListView->rowCount(), 2);

        form_->ListView->selectRow(1);
        itemAnswers_ << Bell("放学", 17);
        form_->Edit();
        QCOMPARE(itemEditModes_.last(), true);
        QCOMPARE(Column(form_->ListView, 0), (QStringList{"上课", "放学"}));
        QCOMPARE(form_->Document().EditedDayList.Items[1].Kind, uint8_t(KindDevice));

        form_->ListView->selectRow(0);
        form_->Delete();
        QCOMPARE(Column(form_->ListView, 0), QStringList{"放学"});
        QCOMPARE(form_->Document().EditedDayList.Items.size(), size_t(1));
    }

    // Over the accessibility bus the window's buttons can be pressed while its own modal dialog
    // is up, which no mouse or keyboard can do. Such a press must do nothing: above all it must
    // not change the list the dialog's answer is about to go into.
    void buttonsPressedWhileADialogIsUpDoNothing() {
        form_->NewDayList();
        itemAnswers_ << Bell("上课", 8);
        form_->Insert(KindFile);
        int depth = 0;
        QStringList pressed;
        fakes_.whileUp = [&] {
            if (depth++ == 0) {
                for (QPushButton* button : form_->findChildren<QPushButton*>()) {
                    pressed << button->text();
                    button->click();
                }
                for (QAction* action : form_->MainMenu->findChildren<QAction*>()) action->trigger();
            }
            --depth;
        };
        struct Case {
            const char* what;
            std::function<void()> open;
        };
        const Case cases[] = {
            {"the item editor of 编辑", [&] {
                 form_->ListView->selectRow(0);
                 itemAnswers_ << Bell("改", 10);
                 form_->Edit();
             }},
            {"the item editor of 插入", [&] {
                 form_->ListView->selectRow(0);
                 itemAnswers_ << Bell("加", 11);
                 form_->Insert(KindFile);
             }},
            {"the file dialog of 打开", [&] {
                 form_->ListView->selectRow(0);
                 form_->Open();
             }},
            {"the file dialog of 保存", [&] {
                 form_->ListView->selectRow(0);
                 form_->Save();
             }},
        };
        QStringList expected{"上课"};
        for (const Case& c : cases) {
            const qsizetype asked = fakes_.asked.size();
            const qsizetype edits = itemEditModes_.size();
            c.open();
            Wait();
            QVERIFY2(!pressed.isEmpty(), c.what);
            pressed.clear();
            // Only the dialog of the case itself was shown.
            QVERIFY2(fakes_.asked.size() + itemEditModes_.size() == asked + edits + 1, c.what);
            if (QString(c.what).contains("编辑")) expected = {"改"};
            if (QString(c.what).contains("插入")) expected << "加";
            QCOMPARE(Column(form_->ListView, 0), expected);
            QCOMPARE(form_->Document().EditedDayList.Items.size(), size_t(expected.size()));
            QVERIFY2(form_->isVisible(), c.what);
        }
        fakes_.whileUp = nullptr;
        // Afterwards the buttons work again.
        form_->ListView->selectRow(0);
        form_->Delete();
        QCOMPARE(Column(form_->ListView, 0), QStringList{"加"});
    }

    void aFailedOpenLeavesTheListAndNameAsShown() {
        form_->NewDayList();
        itemAnswers_ << Bell("上课", 8);
        form_->Insert(KindFile);
        SaveAnswering(Path("mine.lst"));
        QFile damaged(Path("damaged.lst"));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write(QByteArray(1000, 'x'));
        damaged.close();

        OpenFile(Path("damaged.lst"));
        QCOMPARE(fakes_.messages.size(), 1);
        QVERIFY(fakes_.messages.at(0).contains("文件已损坏"));
        QCOMPARE(Column(form_->ListView, 0), QStringList{"上课"});
        form_->Save();
        Wait();
        QCOMPARE(QFileInfo(Path("mine.lst")).size(), qint64(600));
        QCOMPARE(ReadAll(Path("damaged.lst")), QByteArray(1000, 'x'));

        OpenFile(Path("missing.lsm"));
        QCOMPARE(fakes_.messages.size(), 2);
        QCOMPARE(form_->Document().CurrentFileName, Path("mine.lst"));
    }

    void theStatusLineNamesTheChannelsThatUseTheSavedFile() {
        channels_ = {{"教学楼", Path("mon.lst"), "", {}}, {"操场", "", Path("week.lsm"), {}}};
        form_->NewDayList();
        SaveAnswering(Path("mon.lst"));
        QVERIFY2(form_->StatusLine->text().contains("音源 教学楼 使用此文件"), qPrintable(form_->StatusLine->text()));
        QVERIFY(!form_->StatusLine->text().contains("操场"));
    }

    void anOddPeriodicFileIsSavedWithItsOwnLines() {
        PeriodicList lines(12);
        lines[11] = Path("twelve.lst");
        WritePeriodicList(Path("odd.lsm"), lines);
        const QByteArray before = ReadAll(Path("odd.lsm"));
        OpenFile(Path("odd.lsm"));
        QCOMPARE(form_->gridDays->rowCount(), 12);
        QCOMPARE(Column(form_->gridDays, 0).last(), QString("12号"));
        form_->Save();
        Wait();
        QCOMPARE(ReadAll(Path("odd.lsm")), before);
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ListEditorTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "list_editor_test.moc"
