#include "ListEditor.h"

#include "ItemEditor.h"
#include "OffGuiThread.h"

#include <QAction>
#include <QCalendarWidget>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTextCharFormat>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tessora {

namespace {

const QString kListTitleOpen = QStringLiteral("打开列表");
const QString kListTitleSave = QStringLiteral("保存列表");
const QString kOpenFilter = QStringLiteral("Tessel List (*.lst *.lsm)");
const QString kDayListFilter = QStringLiteral("Tessel List (*.lst)");
const QString kSaveDayFilter = QStringLiteral("日列表 (*.lst)");
const QString kSavePeriodicFilter = QStringLiteral("周期列表 (*.lsm)");
const QString kInitialSaveFilter = QStringLiteral("Tessel list (*.lst);;所有文件 (*)");
constexpr int kRowHeight = 20;
const QString kDiscardDaysQuestion = QStringLiteral("更改列表类型将清除所有日期已选的节目列表。是否继续？");

// A report view of a day list: grid lines, whole rows selected, the six columns.
QTableWidget* DayListTable() {
    auto* table = new QTableWidget(0, 6);
    table->setHorizontalHeaderLabels({"标题", "开始", "结束", "节目源", "播放方式", "备注"});
    const int widths[] = {200, 100, 100, 200, 100, 200};
    for (int column = 0; column < 6; ++column) table->setColumnWidth(column, widths[column]);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setShowGrid(true);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(kRowHeight);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

void FillRows(QTableWidget* table, const TPlayList& list) {
    table->clearContents();
    const std::vector<PlayItemRow> rows = list.FillListView();
    table->setRowCount(static_cast<int>(rows.size()));
    for (int row = 0; row < table->rowCount(); ++row) {
        const PlayItemRow& texts = rows[static_cast<size_t>(row)];
        const QString cells[] = {texts.Title, texts.Start, texts.End, texts.Source, texts.PlayMode, texts.Memo};
        for (int column = 0; column < 6; ++column) table->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
}

void ClearRows(QTableWidget* table) {
    table->clearContents();
    table->setRowCount(0);
}

QString CannotOpenText(const OpenedList& opened) { return QString("无法打开 %1：%2").arg(opened.Path, opened.Error); }

}  // namespace

template <typename Show>
auto TFormList::WhileDialogUp(Show show) {
    ++dialogsUp_;
    struct Down {
        int& count;
        ~Down() { --count; }
    } down{dialogsUp_};
    return show();
}

TFormList::TFormList(const SystemSettings& settings, ListEditorServices services, QWidget* parent)
    : QDialog(parent), settings_(settings), services_(std::move(services)) {
    setWindowTitle("节目编排");
    MainTab = new QTabWidget;
    sheetDay = BuildDaySheet();
    sheetMultiDay = BuildPeriodicSheet();
    MainTab->addTab(sheetDay, "日列表");
    MainTab->addTab(sheetMultiDay, "周期列表");
    sheetCalendar = new TCalendarSheet(settings_, services_.calendar);
    MainTab->addTab(sheetCalendar, "校历");
    MainTab->setCurrentWidget(sheetMultiDay);
    StatusLine = new QLabel;
    StatusLine->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    BuildMenus();
    layout->setMenuBar(MainMenu);
    layout->addWidget(MainTab);
    layout->addWidget(StatusLine);
    saveFilter_ = kInitialSaveFilter;
    resize(1180, 660);
}

void TFormList::BuildMenus() {
    MainMenu = new QMenuBar(this);
    QMenu* file = MainMenu->addMenu("文件");
    QMenu* create = file->addMenu("新建(&N)");
    connect(create->addAction("日列表"), &QAction::triggered, this, &TFormList::NewDayList);
    connect(create->addAction("其他列表"), &QAction::triggered, this, &TFormList::NewPeriodicList);
    connect(file->addAction("打开(&O)"), &QAction::triggered, this, &TFormList::Open);
    connect(file->addAction("保存(&S)"), &QAction::triggered, this, &TFormList::Save);
    connect(file->addAction("另存为(&A)"), &QAction::triggered, this, &TFormList::SaveAs);
    file->addSeparator();
    // 退出 leaves the editor, as closing its window does.
    connect(file->addAction("退出"), &QAction::triggered, this, &QDialog::reject);
    QMenu* edit = MainMenu->addMenu("编辑");
    QMenu* insert = edit->addMenu("插入");
    connect(insert->addAction("文件(&I)"), &QAction::triggered, this, [this] { Insert(KindFile); });
    connect(insert->addAction("目录"), &QAction::triggered, this, [this] { Insert(KindFolder); });
    connect(edit->addAction("删除(&D)"), &QAction::triggered, this, &TFormList::Delete);
    connect(edit->addAction("编辑(&E)"), &QAction::triggered, this, &TFormList::Edit);
    // There is no help text yet: the entry stays, disabled.
    MainMenu->addAction("帮助(&H)")->setEnabled(false);
}

QWidget* TFormList::BuildDaySheet() {
    auto* sheet = new QWidget;
    ListView = DayListTable();
    connect(ListView, &QTableWidget::cellDoubleClicked, this, [this] { Edit(); });
    auto* buttons = new QVBoxLayout;
    const auto addButton = [&](const QString& text, void (TFormList::*operation)()) {
        auto* button = new QPushButton(text);
        connect(button, &QPushButton::clicked, this, operation);
        buttons->addWidget(button);
    };
    addButton("打开(&O)", &TFormList::Open);
    addButton("保存(&S)", &TFormList::Save);
    addButton("删除(&D)", &TFormList::Delete);
    addButton("编辑(&E)", &TFormList::Edit);
    InsertButton = new QToolButton;
    InsertButton->setText("插入");
    InsertButton->setPopupMode(QToolButton::InstantPopup);
    InsertButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    InsertButton->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* insertMenu = new QMenu(InsertButton);
    connect(insertMenu->addAction("文件(&I)"), &QAction::triggered, this, [this] { Insert(KindFile); });
    connect(insertMenu->addAction("目录"), &QAction::triggered, this, [this] { Insert(KindFolder); });
    connect(insertMenu->addAction("外设"), &QAction::triggered, this, [this] { Insert(KindDevice); });
    InsertButton->setMenu(insertMenu);
    buttons->addWidget(InsertButton);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(sheet);
    layout->addWidget(ListView, 1);
    layout->addLayout(buttons);
    return sheet;
}

QWidget* TFormList::BuildPeriodicSheet() {
    auto* sheet = new QWidget;
    cboType = new QComboBox;
    cboType->addItems({"周列表", "月列表", "年列表"});
    connect(cboType, &QComboBox::currentIndexChanged, this, &TFormList::ChangeKind);

    gridDays = new QTableWidget(0, 2);
    gridDays->setHorizontalHeaderLabels({QString(), QString()});
    gridDays->setColumnWidth(0, 64);
    gridDays->setColumnWidth(1, 295);
    gridDays->verticalHeader()->hide();
    gridDays->verticalHeader()->setDefaultSectionSize(kRowHeight);
    gridDays->horizontalHeader()->setStretchLastSection(true);
    gridDays->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridDays->setSelectionMode(QAbstractItemView::SingleSelection);
    gridDays->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridDays->setMinimumWidth(64 + 295 + 24);
    connect(gridDays, &QTableWidget::cellClicked, this, [this](int row) { SelectGridDay(row); });
    connect(gridDays, &QTableWidget::cellDoubleClicked, this, [this](int row) {
        SelectGridDay(row);
        ChooseDayList();
    });

    calDays = new QCalendarWidget;
    calDays->setFirstDayOfWeek(Qt::Sunday);
    calDays->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    calDays->hide();
    connect(calDays, &QCalendarWidget::clicked, this, &TFormList::SelectCalendarDay);
    connect(calDays, &QCalendarWidget::activated, this, [this] { ChooseDayList(); });
    connect(calDays, &QCalendarWidget::currentPageChanged, this, &TFormList::MarkCalendarDays);

    DayListView = DayListTable();
    EditDayList = new QLineEdit;
    EditDayList->setReadOnly(true);
    btnList = new QPushButton("...");
    btnDel = new QPushButton("Del");
    btnList->setMaximumWidth(40);
    btnDel->setMaximumWidth(40);
    connect(btnList, &QPushButton::clicked, this, &TFormList::ChooseDayList);
    connect(btnDel, &QPushButton::clicked, this, &TFormList::ClearDay);

    auto* kind = new QHBoxLayout;
    kind->addWidget(new QLabel("选择节目周期"));
    kind->addWidget(cboType);
    kind->addStretch();
    auto* days = new QVBoxLayout;
    days->addLayout(kind);
    days->addWidget(gridDays, 1);
    days->addWidget(calDays);
    days->addStretch(0);
    auto* choice = new QHBoxLayout;
    choice->addWidget(new QLabel("请选择当日播放的节目列表"));
    choice->addWidget(EditDayList, 1);
    choice->addWidget(btnList);
    choice->addWidget(btnDel);
    auto* right = new QVBoxLayout;
    right->addWidget(DayListView, 1);
    right->addLayout(choice);
    auto* layout = new QHBoxLayout(sheet);
    layout->addLayout(days);
    layout->addLayout(right, 1);
    return sheet;
}

void TFormList::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!shown_) FormShow();
}

void TFormList::done(int result) {
    if (DialogUp()) return;  // closed under its own dialog: the dialog's answer still comes
    FormClose();
    QDialog::done(result);
}

void TFormList::FormShow() {
    shown_ = true;
    ++showing_;
    SetBusy(false);
    document_.Kind = static_cast<PeriodKind>(cboType->currentIndex());
    document_.Show();
    ShowDays();
    ClearRows(ListView);
    StatusLine->clear();
}

void TFormList::FormClose() {
    document_.Close();
    shown_ = false;
    ++showing_;
}

void TFormList::NewDayList() {
    if (DialogUp()) return;
    ShowOnlyTab(sheetDay);
    document_.NewDayList();
    ClearRows(ListView);
    StatusLine->clear();
}

void TFormList::NewPeriodicList() {
    if (DialogUp()) return;
    ShowOnlyTab(sheetMultiDay);
    document_.NewPeriodicList();
    ClearRows(ListView);
    ShowDays();
    cboType->setEnabled(true);
    StatusLine->clear();
}

void TFormList::ShowOnlyTab(QWidget* sheet) {
    MainTab->setTabVisible(MainTab->indexOf(sheetDay), sheet == sheetDay);
    MainTab->setTabVisible(MainTab->indexOf(sheetMultiDay), sheet == sheetMultiDay);
    MainTab->setCurrentWidget(sheet);
}

EditorTab TFormList::ActiveTab() const { return MainTab->currentWidget() == sheetMultiDay ? EditorTab::Periodic : EditorTab::Day; }

void TFormList::ChangeKind(int index) {
    if (index < 0) return;
    const auto& lines = document_.EditedPeriodicList;
    const bool assigned = std::any_of(lines.begin(), lines.end(), [](const QString& line) { return !line.isEmpty(); });
    const bool refused = DialogUp() || (assigned && services_.dialogs.askYesNo &&
                                        !WhileDialogUp([&] { return services_.dialogs.askYesNo(this, kDiscardDaysQuestion); }));
    if (refused) {
        const QSignalBlocker quiet(cboType);
        cboType->setCurrentIndex(static_cast<int>(document_.Kind));
        return;
    }
    document_.ChangeKind(static_cast<PeriodKind>(index));
    ShowDays();
}

// The day grid or the calendar for the periodic list being edited, with the day's choice cleared.
void TFormList::ShowDays() {
    const bool calendar = document_.UsesCalendar();
    calDays->setVisible(calendar);
    gridDays->setVisible(!calendar);
    ClearRows(gridDays);
    if (!calendar) {
        const PeriodicList& lines = document_.EditedPeriodicList;
        gridDays->setRowCount(static_cast<int>(lines.size()));
        for (int row = 0; row < gridDays->rowCount(); ++row) {
            gridDays->setItem(row, 0, new QTableWidgetItem(DayLabel(document_.Kind, row)));
            gridDays->setItem(row, 1, new QTableWidgetItem(lines.at(row)));
        }
    }
    EditDayList->clear();
    ClearRows(DayListView);
    MarkCalendarDays();
}

void TFormList::MarkCalendarDays() {
    calDays->setDateTextFormat(QDate(), QTextCharFormat());  // no day marked
    if (!document_.UsesCalendar()) return;
    QTextCharFormat marked;
    marked.setFontWeight(QFont::Bold);
    // Dark text on amber reads in every skin, light or dark.
    marked.setForeground(QColor(0x1a, 0x1d, 0x22));
    marked.setBackground(QColor(0xf2, 0xc1, 0x4e));
    // The page shows its month and some days of the months beside it.
    const QDate first(calDays->yearShown(), calDays->monthShown(), 1);
    for (QDate day = first.addDays(-7); day < first.addMonths(1).addDays(14); day = day.addDays(1))
        if (!document_.EditedPeriodicList.value(day.dayOfYear() - 1).isEmpty()) calDays->setDateTextFormat(day, marked);
}

void TFormList::Open() {
    if (DialogUp()) return;
    const QString path =
        WhileDialogUp([&] { return services_.dialogs.chooseOpenFile(this, kListTitleOpen, settings_.ListDirectory, kOpenFilter); });
    if (path.isEmpty()) return;
    RunFileTask([path] { return ReadListFile(path); }, [this](const std::optional<OpenedList>& opened) {
        if (opened) ShowOpened(*opened);
    });
}

void TFormList::ShowOpened(const OpenedList& opened) {
    // A file that could not be read whole changes nothing: the list shown is still the list held.
    if (!document_.TakeOpened(opened)) {
        Message(CannotOpenText(opened));
        return;
    }
    if (opened.Tab == EditorTab::Day) {
        FillDayListView();
        ShowOnlyTab(sheetDay);
    } else {
        const QSignalBlocker quiet(cboType);
        cboType->setCurrentIndex(static_cast<int>(document_.Kind));
        cboType->setEnabled(false);
        ShowDays();
        ShowOnlyTab(sheetMultiDay);
    }
    StatusLine->setText(QString("已打开：%1").arg(opened.Path));
}

void TFormList::Save() {
    if (DialogUp()) return;
    if (MainTab->currentWidget() == sheetCalendar) return sheetCalendar->Save();
    const EditorTab tab = ActiveTab();
    QString name = document_.NameFor(tab);
    if (name.isEmpty()) {
        saveFilter_ = tab == EditorTab::Periodic ? kSavePeriodicFilter : kSaveDayFilter;
        saveFolder_ = settings_.ListDirectory;
        name = WhileDialogUp([&] { return services_.dialogs.chooseSaveFile(this, kListTitleSave, saveFolder_, saveFilter_); });
        if (name.isEmpty()) return;
    }
    WriteList(document_.Save(tab, name));
}

void TFormList::SaveAs() {
    if (DialogUp()) return;
    const QString name =
        WhileDialogUp([&] { return services_.dialogs.chooseSaveFile(this, kListTitleSave, saveFolder_, saveFilter_); });
    if (name.isEmpty()) return;
    // The list of the tab in view is written: on the periodic tab, the periodic list.
    WriteList(document_.SaveAs(ActiveTab(), name));
}

void TFormList::WriteList(const ListFileToWrite& file) {
    const QString path = file.Path;
    RunFileTask([file] { return WriteListFile(file); }, [this, path](const QString& error) {
        if (!error.isEmpty()) {
            Message(QString("无法保存 %1：%2").arg(path, error));
            return;
        }
        StatusLine->setText(SavedListNote(path, services_.channelUses ? services_.channelUses() : std::vector<ChannelListUse>{}));
    });
}

void TFormList::FillDayListView() { FillRows(ListView, document_.EditedDayList); }

std::optional<PlayItem> TFormList::EditItem(const PlayItem& item, bool editMode) {
    return WhileDialogUp([&]() -> std::optional<PlayItem> {
        if (services_.editItem) return services_.editItem(this, item, editMode);
        TfrmItemEditor editor(settings_, services_.dialogs, services_.keepPreviewVolume, this);
        // It shares this window's look: the style sheet reaches it by itself, the palette does not.
        editor.setPalette(palette());
        editor.WorkItem = item;
        editor.EditMode = editMode;
        editor.exec();
        if (editor.Cancelled) return std::nullopt;
        return editor.WorkItem;
    });
}

void TFormList::Insert(PlayKind kind) {
    if (DialogUp()) return;
    PlayItem item;
    item.Kind = kind;
    if (const auto confirmed = EditItem(item, false)) {
        document_.EditedDayList.Items.push_back(*confirmed);
        FillDayListView();
    }
}

void TFormList::Edit() {
    if (DialogUp()) return;
    const int row = ListView->currentRow();
    auto& items = document_.EditedDayList.Items;
    if (row < 0 || static_cast<size_t>(row) >= items.size() || !ListView->selectionModel()->isRowSelected(row)) return;
    const PlayItem edited = items[static_cast<size_t>(row)];  // a copy: the editor outlives no reference into the list
    if (const auto confirmed = EditItem(edited, true); confirmed && static_cast<size_t>(row) < items.size())
        items[static_cast<size_t>(row)] = *confirmed;
    FillDayListView();
}

void TFormList::Delete() {
    if (DialogUp()) return;
    const int row = ListView->currentRow();
    auto& items = document_.EditedDayList.Items;
    if (row < 0 || static_cast<size_t>(row) >= items.size() || !ListView->selectionModel()->isRowSelected(row)) return;
    items.erase(items.begin() + row);
    ListView->removeRow(row);
}

void TFormList::SelectGridDay(int row) {
    if (DialogUp()) return;
    if (row < 0 || row >= gridDays->rowCount()) return;
    document_.SelectedDay = row;
    ShowSelectedDay();
}

void TFormList::SelectCalendarDay(const QDate& date) {
    if (DialogUp()) return;
    // The same numbering as the year file: 1 January is line 1, whatever the year.
    document_.SelectedDay = date.dayOfYear() - 1;
    ShowSelectedDay();
}

void TFormList::ShowSelectedDay() {
    const QString line = document_.SelectedLine().value_or(QString());
    EditDayList->setText(line);
    if (line.isEmpty())
        ClearRows(DayListView);
    else
        ShowDayListPreview(line);
}

void TFormList::ShowDayListPreview(const QString& path) {
    RunFileTask([path] { return ReadDayListFile(path); }, [this](const OpenedList& opened) {
        if (!opened.Error.isEmpty()) {
            ClearRows(DayListView);
            Message(CannotOpenText(opened));
            return;
        }
        FillRows(DayListView, opened.DayList);
    });
}

void TFormList::ChooseDayList() {
    if (DialogUp()) return;
    if (!document_.IsDay(document_.SelectedDay)) return;
    const QString path =
        WhileDialogUp([&] { return services_.dialogs.chooseOpenFile(this, kListTitleOpen, settings_.ListDirectory, kDayListFilter); });
    if (path.isEmpty()) return;
    const qsizetype day = document_.SelectedDay;
    RunFileTask([path] { return ReadDayListFile(path); }, [this, path, day](const OpenedList& opened) {
        // A day list that cannot be read is not assigned.
        if (!opened.Error.isEmpty()) {
            Message(CannotOpenText(opened));
            return;
        }
        document_.SelectedDay = day;
        document_.AssignSelectedDay(path);
        EditDayList->setText(path);
        FillRows(DayListView, opened.DayList);
        if (!document_.UsesCalendar() && day < gridDays->rowCount()) gridDays->item(static_cast<int>(day), 1)->setText(path);
        MarkCalendarDays();
    });
}

void TFormList::ClearDay() {
    if (DialogUp()) return;
    if (!document_.ClearSelectedDay()) return;
    EditDayList->clear();
    if (!document_.UsesCalendar() && document_.SelectedDay < gridDays->rowCount())
        gridDays->item(static_cast<int>(document_.SelectedDay), 1)->setText(QString());
    ClearRows(DayListView);
    MarkCalendarDays();
}

void TFormList::SetBusy(bool busy) {
    busy_ = busy;
    MainTab->setEnabled(!busy);
    MainMenu->setEnabled(!busy);
}

template <typename Work, typename Done>
void TFormList::RunFileTask(Work work, Done done) {
    SetBusy(true);
    const int showing = showing_;
    RunOffGuiThread(this, std::move(work), [this, showing, done = std::move(done)](const auto& result) {
        if (showing != showing_) return;  // the window was closed meanwhile: nothing to show it in
        SetBusy(false);
        done(result);
    });
}

void TFormList::Message(const QString& text) {
    WhileDialogUp([&] { services_.dialogs.showMessage(this, text); });
}

}  // namespace tessora
