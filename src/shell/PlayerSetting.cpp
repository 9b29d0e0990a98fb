#include "PlayerSetting.h"

#include "EditMask.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>

namespace tessora {

namespace {

QLabel* AddLabel(QWidget* page, const QString& text, int left, int top) {
    auto* label = new QLabel(text, page);
    label->move(left, top);
    label->adjustSize();
    return label;
}

template <typename Control>
Control* Place(Control* control, const QString& name, int left, int top, int width, int height) {
    control->setObjectName(name);
    control->setGeometry(left, top, width, height);
    return control;
}

QCheckBox* AddCheck(QWidget* page, const QString& name, const QString& text, int left, int top) {
    auto* box = new QCheckBox(text, page);
    box->setObjectName(name);
    box->move(left, top);
    box->adjustSize();
    return box;
}

}  // namespace

TFormPlayerSetting::TFormPlayerSetting(FolderChooser chooseFolder, MessageShower showMessage, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      chooseFolder_(std::move(chooseFolder)),
      showMessage_(std::move(showMessage)) {
    setObjectName("FormPlayerSetting");
    setWindowTitle("系统设置");
    setFixedSize(405, 326);
    Pages = Place(new QTabWidget(this), "PageControl1", 16, 24, 377, 249);
    Pages->addTab(BuildSystemPage(), "系统");
    Pages->addTab(BuildSecurityPage(), "安全");
    Pages->addTab(BuildFoldersPage(), "目录");
    Pages->addTab(BuildPlayPage(), "播放");
    Pages->setCurrentIndex(3);  // later shows open on the page last shown

    SkinButton3 = Place(new QPushButton("确定", this), "SkinButton3", 256, 272, 49, 25);
    SkinButton6 = Place(new QPushButton("取消", this), "SkinButton6", 320, 272, 49, 25);
    SkinButton3->setAutoDefault(false);
    SkinButton6->setAutoDefault(false);
    connect(SkinButton3, &QPushButton::clicked, this, &TFormPlayerSetting::SkinButton3Click);
    connect(SkinButton6, &QPushButton::clicked, this, &QDialog::reject);
}

QWidget* TFormPlayerSetting::BuildSystemPage() {
    auto* page = new QWidget;
    chkShowSystemName = AddCheck(page, "chkShowSystemName", "标题显示系统名称", 120, 52);
    AddLabel(page, "用户名称", 56, 84);
    EditSystemName = Place(new QLineEdit(page), "EditSystemName", 120, 80, 150, 20);
    chkAutoShutDown = AddCheck(page, "chkAutoShutDown", "定时关机", 120, 128);
    AddLabel(page, "关机时间", 56, 159);
    editShutDownTime = Place(new QLineEdit(page), "editShutDownTime", 120, 156, 150, 20);
    editShutDownTime->setInputMask(QtInputMask(kShutDownTimeMask));
    editShutDownTime->setText("00:00:00");
    // When exactly the computer goes off, so nobody sets it early to be safe.
    AddLabel(page, "到设定时间才关机，绝不提前；其后五分钟内仍会关机", 56, 186)->setObjectName("lblShutDownRule");
    return page;
}

QWidget* TFormPlayerSetting::BuildSecurityPage() {
    auto* page = new QWidget;
    AddLabel(page, "管理员密码", 58, 84);
    EditPass = Place(new QLineEdit(page), "EditPass", 144, 84, 121, 21);
    EditPass->setEchoMode(QLineEdit::Password);
    EditPass->setAttribute(Qt::WA_InputMethodEnabled, false);
    chkCheckPass = AddCheck(page, "chkCheckPass", "启动，退出时检查密码", 56, 128);
    return page;
}

QWidget* TFormPlayerSetting::BuildFoldersPage() {
    auto* page = new QWidget;
    DirMusic = AddFolderField(page, "DirMusic", "乐曲库目录", 64);
    DirList = AddFolderField(page, "DirList", "列表目录", 96);
    DirTemplate = AddFolderField(page, "DirTemplate", "模板目录", 128);
    return page;
}

QLineEdit* TFormPlayerSetting::AddFolderField(QWidget* page, const QString& name, const QString& label, int top) {
    AddLabel(page, label, 56, top);
    auto* field = Place(new QLineEdit(page), name, 144, top, 153, 20);
    field->setReadOnly(true);
    auto* browse = new QToolButton(page);
    browse->setObjectName(name + "Browse");
    browse->setText("...");
    browse->setAccessibleName(label);
    browse->setGeometry(300, top, 24, 20);
    connect(browse, &QToolButton::clicked, this, [this, field] {
        const QString chosen = chooseFolder_(this, field->text());
        if (!chosen.isEmpty()) field->setText(chosen);
    });
    return field;
}

QWidget* TFormPlayerSetting::BuildPlayPage() {
    auto* page = new QWidget;
    AddLabel(page, "连续播放间隔（秒）", 40, 56);
    EditInterval = Place(new QLineEdit(page), "EditInterval", 160, 56, 121, 20);
    AddLabel(page, "试听声卡设备", 72, 96);
    cboCard = Place(new QComboBox(page), "cboCard", 160, 96, 120, 20);
    return page;
}

void TFormPlayerSetting::Load(const SystemSettings& settings, const QStringList& outputNames) {
    current_ = settings;
    cboCard->clear();
    cboCard->addItems(outputNames);
    SetFields(FieldsFromSettings(settings));
}

void TFormPlayerSetting::SetFields(const SettingsFormFields& f) {
    chkAutoShutDown->setChecked(f.AutoShutDown);
    editShutDownTime->setText(f.ShutDownTime);
    DirMusic->setText(f.MusicDirectory);
    DirList->setText(f.ListDirectory);
    DirTemplate->setText(f.TemplateDirectory);
    EditSystemName->setText(f.SystemName);
    chkShowSystemName->setChecked(f.ShowSystemName);
    chkCheckPass->setChecked(f.CheckPassOnInOut);
    EditPass->setText(f.Password);
    // A position outside the list leaves nothing chosen.
    cboCard->setCurrentIndex(f.PreviewDevice < cboCard->count() ? f.PreviewDevice : -1);
    EditInterval->setText(f.PlayingInterval);
    // Long names and paths show from their beginning.
    for (QLineEdit* field : {EditSystemName, DirMusic, DirList, DirTemplate}) field->setCursorPosition(0);
}

SettingsFormFields TFormPlayerSetting::Fields() const {
    SettingsFormFields f;
    f.ShowSystemName = chkShowSystemName->isChecked();
    f.SystemName = EditSystemName->text();
    f.AutoShutDown = chkAutoShutDown->isChecked();
    f.ShutDownTime = editShutDownTime->displayText();  // with its blanks: an unfinished time is refused
    f.Password = EditPass->text();
    f.CheckPassOnInOut = chkCheckPass->isChecked();
    f.MusicDirectory = DirMusic->text();
    f.ListDirectory = DirList->text();
    f.TemplateDirectory = DirTemplate->text();
    f.PlayingInterval = EditInterval->text();
    f.PreviewDevice = cboCard->currentIndex();
    return f;
}

void TFormPlayerSetting::SkinButton3Click() {
    const SettingsFormResult result = SettingsFromFields(Fields(), current_);
    if (!result.Settings) {
        showMessage_(this, result.Error);
        return;
    }
    result_ = *result.Settings;
    accept();
}

}  // namespace tessora
