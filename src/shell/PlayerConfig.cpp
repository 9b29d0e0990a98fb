#include "PlayerConfig.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>

namespace tessora {

namespace {

// The labels stand between the channel list and their fields.
constexpr int kLabelLeft = 180;
constexpr int kFieldLeft = 212;
constexpr int kFieldWidth = 149;

template <typename Control>
Control* Place(Control* control, const QString& name, int left, int top, int width, int height) {
    control->setObjectName(name);
    control->setGeometry(left, top, width, height);
    return control;
}

}  // namespace

TFormPlayerConfig::TFormPlayerConfig(PlayerConfigCommands commands, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint), commands_(std::move(commands)) {
    setObjectName("FormPlayerConfig");
    setWindowTitle("通道配置");
    setFixedSize(405, 326);
    auto* pages = Place(new QTabWidget(this), "PageControl1", 16, 16, 377, 249);
    auto* page = new QWidget;
    pages->addTab(page, "音源");
    lstPlayer = Place(new QListWidget(page), "lstPlayer", 16, 8, 153, 209);
    txtPlayerTitle = Place(new QLineEdit(page), "txtPlayerTitle", kFieldLeft, 40, kFieldWidth, 20);
    cboCard = Place(new QComboBox(page), "cboCard", kFieldLeft, 72, kFieldWidth, 20);
    txtPlayerMemo = Place(new QLineEdit(page), "txtPlayerMemo", kFieldLeft, 104, kFieldWidth, 20);
    // Each field says what it holds, on the screen and to a screen reader.
    const std::pair<QWidget*, QString> fields[] = {{txtPlayerTitle, "名称"}, {cboCard, "声卡"}, {txtPlayerMemo, "备注"}};
    for (const auto& [field, text] : fields) {
        auto* label = new QLabel(text, page);
        label->setGeometry(kLabelLeft, field->y(), kFieldLeft - kLabelLeft - 4, field->height());
        label->setBuddy(field);
        field->setAccessibleName(text);
    }
    btnAdd = Place(new QPushButton("添加", page), "btnAdd", 256, 192, 49, 25);
    btnDelete = Place(new QPushButton("删除", page), "btnDelete", 312, 192, 49, 25);
    btnConfirm = Place(new QPushButton("确认", this), "btnConfirm", 256, 272, 49, 25);
    btnCancel = Place(new QPushButton("取消", this), "btnCancel", 320, 272, 49, 25);
    for (QPushButton* button : {btnAdd, btnDelete, btnConfirm, btnCancel}) button->setAutoDefault(false);

    workList_.OnStored = [this](const ChannelEntry& entry) { commands_.storeChannel(entry); };
    // Another entry is selected by the mouse or the keyboard; a click on the entry being edited
    // selects it again, storing what was typed.
    connect(lstPlayer, &QListWidget::currentRowChanged, this, &TFormPlayerConfig::SelectRow);
    connect(lstPlayer, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        if (lstPlayer->row(item) == workList_.EditIndex()) SelectRow(workList_.EditIndex());
    });
    connect(btnAdd, &QPushButton::clicked, this, &TFormPlayerConfig::AddClick);
    connect(btnDelete, &QPushButton::clicked, this, &TFormPlayerConfig::DeleteClick);
    connect(btnConfirm, &QPushButton::clicked, this, &TFormPlayerConfig::ConfirmClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TFormPlayerConfig::Load(std::vector<ChannelEntry> channels, const QStringList& outputNames) {
    const QSignalBlocker blocker(cboCard);
    cboCard->clear();
    cboCard->addItems(outputNames);
    workList_.Reset(std::move(channels));
    ShowTitles();
}

ChannelFields TFormPlayerConfig::Fields() const {
    return {txtPlayerTitle->text(), cboCard->currentIndex(), txtPlayerMemo->text()};
}

void TFormPlayerConfig::ShowFields(const ChannelFields& fields) {
    txtPlayerTitle->setText(fields.Title);
    cboCard->setCurrentIndex(fields.SoundCard < cboCard->count() ? fields.SoundCard : -1);
    txtPlayerMemo->setText(fields.Memo);
}

void TFormPlayerConfig::ShowTitles() {
    const QSignalBlocker blocker(lstPlayer);
    const int keep = lstPlayer->currentRow();
    lstPlayer->clear();
    lstPlayer->addItems(workList_.Titles());
    if (keep >= 0 && keep < lstPlayer->count()) lstPlayer->setCurrentRow(keep);
}

void TFormPlayerConfig::SelectRow(int row) {
    if (row < 0) return;
    // The click that follows a change of row finds nothing new to store.
    if (row == workList_.EditIndex()) {
        const ChannelFields shown = Fields();
        const ChannelFields loaded = workList_.FieldsOf(row);
        if (shown.Title == loaded.Title && shown.SoundCard == loaded.SoundCard && shown.Memo == loaded.Memo) return;
    }
    const ChannelFieldProblem problem = workList_.Select(row, Fields());
    if (problem != ChannelFieldProblem::None) {
        Refuse(problem);
        return;
    }
    ShowTitles();
    ShowFields(workList_.FieldsOf(row));
}

void TFormPlayerConfig::Refuse(ChannelFieldProblem problem) {
    {
        const QSignalBlocker blocker(lstPlayer);
        lstPlayer->setCurrentRow(workList_.EditIndex());
    }
    commands_.inform(this, ChannelFieldMessage(problem));
}

void TFormPlayerConfig::AddClick() {
    const ChannelFieldProblem problem = workList_.Add(Fields());
    if (problem != ChannelFieldProblem::None) {
        commands_.inform(this, ChannelFieldMessage(problem));
        return;
    }
    ShowTitles();
}

void TFormPlayerConfig::DeleteClick() {
    const int row = lstPlayer->currentRow();
    if (row < 0 || !lstPlayer->item(row)->isSelected()) return;
    workList_.Remove(row);
    {
        const QSignalBlocker blocker(lstPlayer);
        lstPlayer->setCurrentRow(-1);
        ShowTitles();
        lstPlayer->clearSelection();
    }
    txtPlayerTitle->clear();
    txtPlayerMemo->clear();
}

void TFormPlayerConfig::ConfirmClick() {
    // What the fields hold now is not stored: only selecting an entry stores.
    const QString failure = commands_.replaceChannels(workList_.Entries());
    if (!failure.isEmpty()) {
        commands_.tell(this, failure);
        return;
    }
    commands_.tell(this, kRestartMessage);
    accept();
}

}  // namespace tessora
