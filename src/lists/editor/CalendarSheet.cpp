#include "CalendarSheet.h"

#include "FileError.h"
#include "OffGuiThread.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tessora {

namespace {

const QString kSilentChoice = QStringLiteral("静音");
const QString kBaseChoice = QStringLiteral("默认");
constexpr int kYearsBack = 5, kYearsAhead = 10;

struct ReadResult {
    bool ok = false;
    QByteArray text;
    QString error;
    QStringList lists;  // the day lists of the list folder, by name
};

QTableWidgetItem* Cell(const QString& text) {
    auto* cell = new QTableWidgetItem(text);
    cell->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return cell;
}

QIcon Swatch(const QColor& colour) {
    QPixmap pixmap(14, 14);
    pixmap.fill(colour);
    QPainter painter(&pixmap);
    painter.setPen(QColor(120, 120, 120));  // white days still show a box
    painter.drawRect(0, 0, 13, 13);
    return QIcon(pixmap);
}

}  // namespace

QColor TCalendarSheet::RuleColor(int index) {
    if (index < 0) return Qt::white;
    return QColor::fromHsv((index * 67 + 20) % 360, 120, 235);
}

TCalendarSheet::TCalendarSheet(const SystemSettings& settings, CalendarSheetServices services, QWidget* parent)
    : QWidget(parent), settings_(settings), services_(std::move(services)) {
    RuleTable = new QTableWidget(0, 6);
    RuleTable->setHorizontalHeaderLabels({"类别", "开始", "结束", "通道", "节目列表", "说明"});
    RuleTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    RuleTable->setSelectionMode(QAbstractItemView::SingleSelection);
    RuleTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    RuleTable->verticalHeader()->hide();
    RuleTable->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {82, 84, 84, 46, 100};
    for (int c = 0; c < 5; ++c) RuleTable->setColumnWidth(c, widths[c]);
    connect(RuleTable, &QTableWidget::cellDoubleClicked, this, [this] { EditRule(); });

    auto* buttons = new QHBoxLayout;
    const auto addButton = [&](const QString& text, void (TCalendarSheet::*operation)()) {
        auto* button = new QPushButton(text);
        connect(button, &QPushButton::clicked, this, operation);
        buttons->addWidget(button);
        return button;
    };
    AddButton = addButton("添加", &TCalendarSheet::AddRule);
    EditButton = addButton("编辑", &TCalendarSheet::EditRule);
    DeleteButton = addButton("删除", &TCalendarSheet::DeleteRule);
    SaveButton = addButton("保存校历", &TCalendarSheet::Save);
    buttons->addStretch();

    auto* left = new QVBoxLayout;
    left->addWidget(RuleTable, 1);
    left->addLayout(buttons);

    ChannelBox = new QComboBox;
    // A list of years rather than a spin box: the window's line edits are the skin's to style.
    YearBox = new QComboBox;
    const int thisYear = QDate::currentDate().year();
    for (int y = thisYear - kYearsBack; y <= thisYear + kYearsAhead; ++y) YearBox->addItem(QString::number(y), y);
    YearBox->setCurrentIndex(kYearsBack);
    connect(ChannelBox, &QComboBox::currentIndexChanged, this, [this] { ShowYear(); });
    connect(YearBox, &QComboBox::currentIndexChanged, this, [this] { ShowYear(); });
    auto* chooser = new QHBoxLayout;
    chooser->addWidget(new QLabel("通道"));
    chooser->addWidget(ChannelBox, 1);
    chooser->addWidget(new QLabel("年份"));
    chooser->addWidget(YearBox);

    YearView = new QTableWidget(12, 31);
    YearView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    YearView->setSelectionMode(QAbstractItemView::NoSelection);
    QStringList months, days;
    for (int m = 1; m <= 12; ++m) months << QString("%1月").arg(m);
    for (int d = 1; d <= 31; ++d) days << QString::number(d);
    YearView->setVerticalHeaderLabels(months);
    YearView->setHorizontalHeaderLabels(days);
    // The whole year at once, without scrolling: a lost day must be seen, not scrolled to.
    constexpr int kDayWidth = 21, kDayHeight = 19;
    for (QHeaderView* header : {YearView->horizontalHeader(), YearView->verticalHeader()}) {
        header->setSectionResizeMode(QHeaderView::Fixed);
        header->setMinimumSectionSize(kDayWidth - 4);
    }
    YearView->horizontalHeader()->setDefaultSectionSize(kDayWidth);
    YearView->verticalHeader()->setDefaultSectionSize(kDayHeight);
    YearView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    YearView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    YearView->setFixedSize(kDayWidth * 31 + 48, kDayHeight * 12 + 28);
    Legend = new QListWidget;
    Legend->setMaximumHeight(130);

    auto* right = new QVBoxLayout;
    right->addLayout(chooser);
    right->addWidget(YearView, 1);
    right->addWidget(Legend);

    Status = new QLabel;
    Status->setWordWrap(true);
    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 1);
    columns->addLayout(right);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns, 1);
    layout->addWidget(Status);

    if (services_.stationFolder.isEmpty()) {
        setEnabled(false);
        Status->setText("没有电台文件夹：校历不可编辑");
    }
}

QString TCalendarSheet::CalendarPath() const { return QDir(services_.stationFolder).filePath(kCalendarFileName); }

QString TCalendarSheet::ListFolder() const {
    return settings_.ListDirectory.isEmpty() ? QDir(services_.stationFolder).filePath("list") : settings_.ListDirectory;
}

void TCalendarSheet::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Load();
}

void TCalendarSheet::SetBusy(bool busy) {
    busy_ = busy;
    const bool editable = !busy && loadError_.isEmpty() && loaded_;
    for (QPushButton* b : {AddButton, EditButton, DeleteButton, SaveButton}) b->setEnabled(editable);
}

void TCalendarSheet::ShowState(const QString& text) { Status->setText(text); }

void TCalendarSheet::Load() {
    // An edit not yet saved is not thrown away by looking at the tab again.
    if (busy_ || services_.stationFolder.isEmpty() || document_.Modified()) return;
    SetBusy(true);
    const QString path = CalendarPath(), folder = ListFolder();
    RunOffGuiThread(
        this,
        [path, folder] {
            ReadResult r;
            try {
                r.text = QFileInfo(path).exists() || QFileInfo(path).isSymLink() ? ReadWholeFile(path) : QByteArray();
                r.ok = true;
            } catch (const EFileError& e) {
                r.error = e.Message;
            }
            r.lists = QDir(folder).entryList({"*.lst", "*.LST"}, QDir::Files | QDir::Readable, QDir::Name);
            return r;
        },
        [this, path, folder](const ReadResult& r) {
            loaded_ = true;
            listNames_ = r.lists;
            if (!r.ok) {
                loadError_ = r.error;
                document_.Load({}, folder);
                ShowState(QString("无法读取 %1：%2。此文件不会被改写。").arg(path, r.error));
            } else {
                loadError_.clear();
                document_.Load(r.text, folder);
                const QStringList problems = document_.LineProblems();
                ShowState(problems.isEmpty() ? QString("已打开：%1").arg(path)
                                             : QString("%1 中有无法读取的行（保存时原样保留，电台在改正前不采用此校历）：%2")
                                                   .arg(path, problems.join("；")));
            }
            const QSignalBlocker quiet(ChannelBox);
            const int chosen = std::max(0, ChannelBox->currentIndex());
            ChannelBox->clear();
            const QStringList titles = services_.channelTitles ? services_.channelTitles() : QStringList();
            for (int c = 0; c < std::max<qsizetype>(1, titles.size()); ++c)
                ChannelBox->addItem(QString("%1 %2").arg(c).arg(titles.value(c)).trimmed());
            ChannelBox->setCurrentIndex(std::min(chosen, ChannelBox->count() - 1));
            ShowRules();
            SetBusy(false);
        });
}

void TCalendarSheet::ShowRules() {
    const auto& rules = document_.Rules();
    RuleTable->setRowCount(int(rules.size()));
    for (int row = 0; row < RuleTable->rowCount(); ++row) {
        const CalendarRule& r = rules[size_t(row)];
        const QString cells[] = {r.Kind, r.From.toString("yyyy-MM-dd"), r.To.toString("yyyy-MM-dd"), RuleChannelsText(r),
                                 RuleTargetText(r), r.Label};
        for (int c = 0; c < 6; ++c) {
            QTableWidgetItem* cell = Cell(cells[c]);
            if (c == 0) cell->setIcon(Swatch(RuleColor(row)));
            RuleTable->setItem(row, c, cell);
        }
    }
    ShowYear();
}

void TCalendarSheet::ShowYear() {
    const int channel = std::max(0, ChannelBox->currentIndex());
    const int year = YearBox->currentData().toInt();
    const std::vector<int> governing = document_.GoverningByDay(channel, year);
    const auto& rules = document_.Rules();
    std::vector<bool> shown(rules.size(), false);
    bool uncovered = false;
    for (int m = 1; m <= 12; ++m)
        for (int d = 1; d <= 31; ++d) {
            QTableWidgetItem* cell = Cell(QString());
            const QDate date(year, m, d);
            if (!date.isValid()) {
                cell->setBackground(QColor(90, 90, 90));
            } else {
                const int rule = governing[size_t(QDate(year, 1, 1).daysTo(date))];
                cell->setBackground(RuleColor(rule));
                if (rule >= 0) {
                    shown[size_t(rule)] = true;
                    cell->setToolTip(date.toString("yyyy-MM-dd ") + rules[size_t(rule)].Label + " (" +
                                     RuleTargetText(rules[size_t(rule)]) + ")");
                } else {
                    uncovered = true;
                    cell->setToolTip(date.toString("yyyy-MM-dd ") + "通道自己的列表");
                }
            }
            YearView->setItem(m - 1, d - 1, cell);
        }
    Legend->clear();
    if (uncovered) Legend->addItem(new QListWidgetItem(Swatch(RuleColor(-1)), "无规则：通道自己的列表"));
    for (size_t i = 0; i < rules.size(); ++i)
        if (shown[i])
            Legend->addItem(new QListWidgetItem(Swatch(RuleColor(int(i))),
                                                QString("第%1行 %2 %3 → %4")
                                                    .arg(rules[i].Line)
                                                    .arg(rules[i].Kind, rules[i].Label, RuleTargetText(rules[i]))));
}

int TCalendarSheet::SelectedRule() const {
    const int row = RuleTable->currentRow();
    return row >= 0 && row < int(document_.Rules().size()) ? row : -1;
}

std::optional<CalendarRule> TCalendarSheet::AskRule(const CalendarRule& rule) {
    QStringList channels;
    for (int c = 0; c < ChannelBox->count(); ++c) channels << ChannelBox->itemText(c);
    asking_ = true;
    const CalendarRule shown = rule;  // the list may change under a dialog's own event loop
    auto answer = services_.editRule ? services_.editRule(this, shown, listNames_, channels)
                                     : AskCalendarRule(this, shown, listNames_, channels);
    asking_ = false;
    return answer;
}

void TCalendarSheet::AddRule() {
    if (busy_ || asking_ || !loadError_.isEmpty()) return;
    CalendarRule fresh;
    fresh.Kind = QStringLiteral("holiday");
    fresh.From = fresh.To = QDate::currentDate();
    fresh.AllChannels = true;
    fresh.Target = CalendarTarget::Silent;
    fresh.TargetText = kSilentTarget;
    if (const auto rule = AskRule(fresh)) {
        document_.Add(*rule);
        ShowRules();
        RuleTable->selectRow(RuleTable->rowCount() - 1);
        ShowState("已添加，尚未保存");
    }
}

void TCalendarSheet::EditRule() {
    const int row = SelectedRule();
    if (busy_ || asking_ || !loadError_.isEmpty() || row < 0) return;
    if (const auto rule = AskRule(document_.Rules()[size_t(row)])) {
        document_.Replace(size_t(row), *rule);
        ShowRules();
        RuleTable->selectRow(row);
        ShowState("已修改，尚未保存");
    }
}

void TCalendarSheet::DeleteRule() {
    const int row = SelectedRule();
    if (busy_ || asking_ || !loadError_.isEmpty() || row < 0) return;
    document_.Remove(size_t(row));
    ShowRules();
    ShowState("已删除，尚未保存");
}

void TCalendarSheet::Save() {
    if (busy_ || asking_) return;
    if (!loadError_.isEmpty() || !loaded_) {
        ShowState(QString("校历未能读取（%1），不会写入 %2").arg(loadError_, CalendarPath()));
        return;
    }
    SetBusy(true);
    const QString path = CalendarPath();
    const QByteArray text = document_.Text();
    RunOffGuiThread(
        this,
        [path, text] {
            try {
                WriteFileAtomically(path, text);
                return QString();
            } catch (const EFileError& e) {
                return e.Message;
            }
        },
        [this, path](const QString& error) {
            if (error.isEmpty()) {
                document_.MarkSaved();
                ShowState(QString("已保存：%1（电台在一秒内采用）").arg(path));
            } else {
                ShowState(QString("无法保存 %1：%2").arg(path, error));
            }
            SetBusy(false);
        });
}

// ---------------------------------------------------------------------------------------------
// The rule dialog

std::optional<CalendarRule> AskCalendarRule(QWidget* parent, const CalendarRule& rule, const QStringList& lists,
                                            const QStringList& channels) {
    QDialog dialog(parent);
    dialog.setWindowTitle("校历规则");
    auto* kind = new QComboBox;
    kind->setEditable(true);
    kind->addItems({"term", "holiday", "exam", "oneoff"});
    kind->setCurrentText(rule.Kind);
    auto* from = new QDateEdit(rule.From);
    auto* to = new QDateEdit(rule.To);
    for (QDateEdit* edit : {from, to}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat("yyyy-MM-dd");
    }
    auto* all = new QCheckBox("全部通道");
    all->setChecked(rule.AllChannels);
    auto* channelList = new QListWidget;
    for (int c = 0; c < channels.size(); ++c) {
        auto* item = new QListWidgetItem(channels[c], channelList);
        item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
        item->setCheckState(rule.Channels.contains(c) ? Qt::Checked : Qt::Unchecked);
    }
    channelList->setMaximumHeight(100);
    channelList->setEnabled(!rule.AllChannels);
    QObject::connect(all, &QCheckBox::toggled, channelList, [channelList](bool on) { channelList->setEnabled(!on); });
    auto* target = new QComboBox;
    target->addItem(kSilentChoice, kSilentTarget);
    target->addItem(kBaseChoice, kBaseTarget);
    for (const QString& name : lists) target->addItem(name, name);
    // A list named otherwise (a path, a list not in the folder) is offered as it is written.
    if (rule.Target == CalendarTarget::List && target->findData(rule.TargetText) < 0)
        target->addItem(rule.TargetText, rule.TargetText);
    target->setCurrentIndex(std::max(0, target->findData(rule.TargetText)));
    auto* label = new QLineEdit(rule.Label);
    auto* problem = new QLabel;
    problem->setStyleSheet("color: #b00000");

    auto* form = new QFormLayout;
    form->addRow("类别", kind);
    form->addRow("开始", from);
    form->addRow("结束", to);
    form->addRow("通道", all);
    form->addRow(QString(), channelList);
    form->addRow("节目列表", target);
    form->addRow("说明", label);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(form);
    layout->addWidget(problem);
    layout->addWidget(buttons);

    CalendarRule result;
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
        CalendarRule r = rule;
        r.Kind = kind->currentText().trimmed().replace('\t', ' ');
        r.From = from->date();
        r.To = to->date();
        r.AllChannels = all->isChecked();
        r.Channels.clear();
        for (int c = 0; c < channelList->count(); ++c)
            if (channelList->item(c)->checkState() == Qt::Checked) r.Channels << c;
        r.TargetText = target->currentData().toString();
        r.Target = r.TargetText == kSilentTarget ? CalendarTarget::Silent
                   : r.TargetText == kBaseTarget ? CalendarTarget::Base
                                                 : CalendarTarget::List;
        r.Label = label->text().trimmed().replace('\t', ' ');
        if (r.Kind.isEmpty()) return problem->setText("类别不能为空");
        if (r.To < r.From) return problem->setText("结束日期早于开始日期");
        if (!r.AllChannels && r.Channels.isEmpty()) return problem->setText("请选择通道");
        result = r;
        dialog.accept();
    });
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return result;
}

}  // namespace tessora
