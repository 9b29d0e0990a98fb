// The list editor's tab "校历" offscreen: the rules table and the year view of the school year,
// edits through a fake rule dialog saved atomically with comments and unreadable lines kept, a
// file that cannot be read never written over, and the real rule dialog's checks.
#include "CalendarSheet.h"
#include "EditorTestSupport.h"
#include "SchoolYear.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

using namespace tessora;
using namespace tessora::test;

namespace {

QStringList Row(const QTableWidget* table, int row) {
    QStringList texts;
    for (int c = 0; c < table->columnCount(); ++c) texts << table->item(row, c)->text();
    return texts;
}

QColor DayColour(const TCalendarSheet& sheet, int month, int day) {
    return sheet.YearView->item(month - 1, day - 1)->background().color();
}

}  // namespace

class CalendarSheetTest : public QObject {
    Q_OBJECT

    std::unique_ptr<SchoolYearFolder> year_;
    SystemSettings settings_;
    QList<std::optional<CalendarRule>> answers_;  // what the fake rule dialog confirms, in turn
    QList<CalendarRule> asked_;
    std::unique_ptr<TCalendarSheet> sheet_;

    void Open() {
        CalendarSheetServices services;
        services.stationFolder = year_->Path();
        services.channelTitles = [] { return QStringList{"教学楼", "操场", "宿舍"}; };
        services.editRule = [this](QWidget*, const CalendarRule& rule, const QStringList&, const QStringList&) {
            asked_ << rule;
            return answers_.isEmpty() ? std::nullopt : answers_.takeFirst();
        };
        settings_.ListDirectory = year_->ListFolder();
        sheet_ = std::make_unique<TCalendarSheet>(settings_, services);
        sheet_->Load();
        QVERIFY(WaitUntil([&] { return !sheet_->Busy(); }));
    }

private slots:
    void init() {
        year_ = std::make_unique<SchoolYearFolder>();
        answers_.clear();
        asked_.clear();
    }
    void cleanup() { sheet_.reset(); }

    void showsTheRulesAndEachDaysRuleInTheYear() {
        Open();
        QCOMPARE(sheet_->RuleTable->rowCount(), 5);
        QCOMPARE(Row(sheet_->RuleTable, 0), (QStringList{"term", "2026-09-01", "2027-01-22", "全部", "term.lst", "秋季学期"}));
        QCOMPARE(Row(sheet_->RuleTable, 2), (QStringList{"oneoff", "2026-10-04", "2026-10-04", "全部", "term.lst", "调休上课"}));
        QCOMPARE(Row(sheet_->RuleTable, 1)[4], QString("静音"));
        QCOMPARE(Row(sheet_->RuleTable, 3)[3], QString("0,1"));
        QCOMPARE(sheet_->ChannelBox->itemText(2), QString("2 宿舍"));

        sheet_->YearBox->setCurrentText("2026");
        sheet_->ChannelBox->setCurrentIndex(0);
        QCOMPARE(DayColour(*sheet_, 8, 31), QColor(Qt::white));
        QCOMPARE(DayColour(*sheet_, 9, 1), TCalendarSheet::RuleColor(0));
        QCOMPARE(DayColour(*sheet_, 10, 1), TCalendarSheet::RuleColor(1));
        QCOMPARE(DayColour(*sheet_, 10, 4), TCalendarSheet::RuleColor(2));  // the make-up day shows inside the holiday
        QCOMPARE(DayColour(*sheet_, 10, 7), TCalendarSheet::RuleColor(1));
        QCOMPARE(DayColour(*sheet_, 10, 8), TCalendarSheet::RuleColor(0));
        QCOMPARE(sheet_->Legend->count(), 4);  // no rule, the term, the holiday, the make-up day
        QVERIFY(sheet_->Legend->item(2)->text().contains("国庆节"));

        sheet_->YearBox->setCurrentText("2027");
        QCOMPARE(DayColour(*sheet_, 1, 11), TCalendarSheet::RuleColor(3));
        sheet_->ChannelBox->setCurrentIndex(2);  // no exams on channel 2
        QCOMPARE(DayColour(*sheet_, 1, 11), TCalendarSheet::RuleColor(0));
        sheet_->YearBox->setCurrentText("2028");
        QCOMPARE(DayColour(*sheet_, 2, 29), TCalendarSheet::RuleColor(4));
        QCOMPARE(DayColour(*sheet_, 2, 30), QColor(90, 90, 90));  // no such day
    }

    // The rule dialog runs an event loop of its own: whatever else reaches the sheet meanwhile
    // (a button pressed through the accessibility bus) waits, so the edit lands on its own rule.
    void operationsWhileTheRuleDialogIsUpDoNothing() {
        Open();
        CalendarSheetServices services;
        services.stationFolder = year_->Path();
        services.channelTitles = [] { return QStringList{"教学楼", "操场", "宿舍"}; };
        services.editRule = [this](QWidget*, const CalendarRule& rule, const QStringList&, const QStringList&) {
            sheet_->DeleteRule();
            sheet_->AddRule();
            sheet_->Save();
            CalendarRule changed = rule;
            changed.Label = "改过";
            return std::optional<CalendarRule>(changed);
        };
        sheet_ = std::make_unique<TCalendarSheet>(settings_, services);
        sheet_->Load();
        QVERIFY(WaitUntil([&] { return !sheet_->Busy(); }));
        sheet_->RuleTable->selectRow(3);
        sheet_->EditRule();
        QVERIFY(!sheet_->Busy());
        QCOMPARE(sheet_->RuleTable->rowCount(), 5);
        QCOMPARE(Row(sheet_->RuleTable, 3)[5], QString("改过"));
        QCOMPARE(Row(sheet_->RuleTable, 2)[5], QString("调休上课"));
    }

    void editsAreSavedAtomicallyKeepingCommentsAndUnreadableLines() {
        year_->dir.Write("calendar.txt", kSchoolYearCalendar + "# UID spring@district\nholiday\t2027-02-30\t\t*\t-silent-\t春节\n"
                                                                "# UID sports@district\noneoff\t2026-11-05\t\t*\t-silent-\t运动会\n");
        Open();
        QVERIFY(sheet_->Status->text().contains("第9行"));
        QCOMPARE(sheet_->RuleTable->rowCount(), 6);

        CalendarRule exam = sheet_->Document().Rules()[3];
        exam.To = QDate(2027, 1, 16);
        exam.Channels = {0, 1, 2};
        answers_ << exam;
        sheet_->RuleTable->selectRow(3);
        sheet_->EditRule();
        QCOMPARE(asked_.size(), 1);
        QCOMPARE(asked_[0].Label, QString("期末考试"));

        CalendarRule makeup;
        makeup.Kind = "oneoff";
        makeup.From = makeup.To = QDate(2026, 10, 5);
        makeup.Channels = {2};
        makeup.TargetText = "term.lst";
        makeup.Target = CalendarTarget::List;
        makeup.Label = "补课";
        answers_ << makeup << std::nullopt;
        sheet_->AddRule();
        sheet_->AddRule();  // cancelled: nothing added
        QCOMPARE(sheet_->RuleTable->rowCount(), 7);

        sheet_->RuleTable->selectRow(5);  // the sports day, with its import comment
        sheet_->DeleteRule();
        QCOMPARE(sheet_->RuleTable->rowCount(), 6);

        sheet_->Save();
        QVERIFY(WaitUntil([&] { return !sheet_->Busy(); }));
        QVERIFY2(sheet_->Status->text().startsWith("已保存"), qPrintable(sheet_->Status->text()));
        const QByteArray saved = year_->dir.Read("calendar.txt");
        QCOMPARE(QString::fromUtf8(saved), QString::fromUtf8(kSchoolYearCalendar)
                                               .replace("exam\t2027-01-11\t2027-01-15\t0,1", "exam\t2027-01-11\t2027-01-16\t0,1,2") +
                                               "# UID spring@district\nholiday\t2027-02-30\t\t*\t-silent-\t春节\n"
                                               "oneoff\t2026-10-05\t\t2\tterm.lst\t补课\n");
        QVERIFY(!sheet_->Document().Modified());
        // No temporary file is left beside it.
        QCOMPARE(QDir(year_->Path()).entryList({"calendar*"}, QDir::Files | QDir::Hidden), QStringList{"calendar.txt"});
    }

    void aFileThatCannotBeReadIsNeverWrittenOver() {
        QFile::remove(year_->Path("calendar.txt"));
        year_->dir.MakeFolder("calendar.txt");
        Open();
        QVERIFY(!sheet_->LoadError().isEmpty());
        QVERIFY2(sheet_->Status->text().contains("此文件不会被改写"), qPrintable(sheet_->Status->text()));
        QVERIFY(!sheet_->AddButton->isEnabled());
        QVERIFY(!sheet_->SaveButton->isEnabled());
        answers_ << CalendarRule{};
        sheet_->AddRule();
        QVERIFY(asked_.isEmpty());
        sheet_->Save();
        QVERIFY(!sheet_->Busy());
        QVERIFY(QFileInfo(year_->Path("calendar.txt")).isDir());
    }

    void noCalendarFileIsAnEmptyCalendarToStart() {
        QFile::remove(year_->Path("calendar.txt"));
        Open();
        QCOMPARE(sheet_->RuleTable->rowCount(), 0);
        QVERIFY(sheet_->LoadError().isEmpty());
        QVERIFY(sheet_->SaveButton->isEnabled());
    }

    void theRuleDialogRefusesAnEndBeforeTheStart() {
        CalendarRule rule;
        rule.Kind = "holiday";
        rule.From = rule.To = QDate(2026, 10, 1);
        rule.AllChannels = true;
        rule.Target = CalendarTarget::Silent;
        rule.TargetText = kSilentTarget;
        QString shownProblem;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            const auto dates = dialog->findChildren<QDateEdit*>();
            dates[1]->setDate(QDate(2026, 9, 30));
            auto* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
            ok->click();
            for (QLabel* label : dialog->findChildren<QLabel*>())
                if (label->text().contains("结束日期")) shownProblem = label->text();
            dates[1]->setDate(QDate(2026, 10, 7));
            auto* target = dialog->findChildren<QComboBox*>()[1];
            target->setCurrentIndex(target->findText("期末考试.lst"));
            ok->click();
        });
        const auto answer = AskCalendarRule(nullptr, rule, {"term.lst", "期末考试.lst"}, {"0 教学楼", "1 操场"});
        QCOMPARE(shownProblem, QString("结束日期早于开始日期"));
        QVERIFY(answer);
        QCOMPARE(answer->To, QDate(2026, 10, 7));
        QCOMPARE(answer->TargetText, QString("期末考试.lst"));
        QVERIFY(answer->Target == CalendarTarget::List);
    }
};

QTEST_MAIN(CalendarSheetTest)
#include "calendar_sheet_test.moc"
