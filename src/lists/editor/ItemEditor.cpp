#include "ItemEditor.h"

#include "DateTimeValue.h"
#include "ItemCheck.h"
#include "SoundMixer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>

namespace tessora {

namespace {

const QString kAudioFilter = QStringLiteral("音频文件 (*.mp3 *.wav *.midi *.mid *.asf *.wma);;所有文件 (*)");
const QString kFileInvalid = QStringLiteral("文件无效");
constexpr int kVolumeBarOffset = 10000;

QLineEdit* TimeField() {
    auto* field = new QLineEdit;
    // hh:mm:ss with an optional first hour digit; blanks are spaces.
    field->setInputMask("09:99:99; ");
    field->setText("00:00:00");
    field->setMaximumWidth(90);
    return field;
}

QLineEdit* PathField() {
    auto* field = new QLineEdit;
    field->setReadOnly(true);
    return field;
}

// Opens the preview file on a pool thread; the error text, or empty. A FIFO or a device would
// block the decoder for ever, so only regular files are opened.
QString OpenPreviewFile(TSoundMixerChannel* channel, const QString& path) {
    try {
        if (!path.isEmpty() && !QFileInfo(path).isFile()) return "Not a regular file";
        channel->Open(path);
        if (channel->FileName() != path) return "The preview channel is busy";
        return {};
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    }
}

}  // namespace

TfrmItemEditor::TfrmItemEditor(const SystemSettings& settings, EditorDialogs dialogs, KeepPreviewVolume keepPreviewVolume,
                               QWidget* parent)
    : QDialog(parent), settings_(settings), dialogs_(std::move(dialogs)), keepPreviewVolume_(std::move(keepPreviewVolume)) {
    setWindowTitle("项目编辑");
    Cancelled = true;
    previewMixer_ = std::make_unique<TSoundMixer>();
    previewMixer_->SetDeviceIndex(settings_.PreviewDeviceID);
    previewMixer_->CloseDevice();
    previewChannel_ = std::make_unique<TSoundMixerChannel>(previewMixer_.get());
    previewChannel_->OnEnd = [this](TSoundMixerChannel*) { OnEndPlay(); };

    ItemPage = new QTabWidget;
    ItemPage->setTabPosition(QTabWidget::South);
    tab1 = BuildFileTab();
    tab2 = BuildFolderTab();
    tab3 = BuildDeviceTab();
    ItemPage->addTab(tab1, "文件");
    ItemPage->addTab(tab2, "目录");
    ItemPage->addTab(tab3, "外部设备");

    TimeStart = TimeField();
    TimeEnd = TimeField();
    txtMemo = new QLineEdit;
    TxtTitle1 = new QLineEdit;
    auto* fields = new QFormLayout;
    auto* times = new QHBoxLayout;
    times->addWidget(TimeStart);
    times->addWidget(new QLabel("结束时间"));
    times->addWidget(TimeEnd);
    times->addStretch();
    fields->addRow("开始时间", times);
    fields->addRow("节目名称", TxtTitle1);
    fields->addRow("备注", txtMemo);

    OkButton = new QPushButton("确定");
    CancelButton = new QPushButton("取消");
    OkButton->setDefault(true);
    connect(OkButton, &QPushButton::clicked, this, &TfrmItemEditor::SkinButton1Click);
    connect(CancelButton, &QPushButton::clicked, this, &TfrmItemEditor::SkinButton2Click);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ItemPage);
    layout->addLayout(fields);
    layout->addLayout(buttons);

    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TfrmItemEditor::Timer1Timer);
    Timer1->start();
    resize(560, sizeHint().height());
}

TfrmItemEditor::~TfrmItemEditor() {
    // The pool thread may still be opening a file on the channel released below.
    openFuture_.waitForFinished();
    previewChannel_.reset();
}

QWidget* TfrmItemEditor::BuildFileTab() {
    auto* tab = new QWidget;
    FileEditor = PathField();
    FileButton = new QToolButton;
    FileButton->setText("...");
    connect(FileButton, &QToolButton::clicked, this, &TfrmItemEditor::ChooseFile);
    connect(FileEditor, &QLineEdit::textChanged, this, &TfrmItemEditor::FileEditorChange);
    chkLoop = new QCheckBox("循环播放");
    tPlay = new QPushButton("试听");
    tStop = new QPushButton("停止");
    connect(tPlay, &QPushButton::clicked, this, &TfrmItemEditor::tPlayClick);
    connect(tStop, &QPushButton::clicked, this, &TfrmItemEditor::tStopClick);
    tProgress = new QSlider(Qt::Horizontal);
    tProgress->setRange(0, 100);
    tProgress->setValue(50);
    connect(tProgress, &QSlider::sliderPressed, this, &TfrmItemEditor::tProgressMouseDown);
    connect(tProgress, &QSlider::sliderReleased, this, &TfrmItemEditor::tProgressMouseUp);
    tVolume = new QSlider(Qt::Horizontal);
    tVolume->setRange(0, 10000);
    tVolume->setMaximumWidth(120);
    tVolume->setToolTip("音量");
    connect(tVolume, &QSlider::valueChanged, this, &TfrmItemEditor::tVolumeChange);

    auto* path = new QHBoxLayout;
    path->addWidget(new QLabel("文件"));
    path->addWidget(FileEditor);
    path->addWidget(FileButton);
    auto* preview = new QHBoxLayout;
    preview->addWidget(tPlay);
    preview->addWidget(tStop);
    preview->addWidget(tProgress, 1);
    preview->addWidget(new QLabel("音量"));
    preview->addWidget(tVolume);
    auto* layout = new QVBoxLayout(tab);
    layout->addLayout(path);
    layout->addWidget(chkLoop);
    layout->addLayout(preview);
    layout->addStretch();
    return tab;
}

QWidget* TfrmItemEditor::BuildFolderTab() {
    auto* tab = new QWidget;
    FolderEditor = PathField();
    FolderButton = new QToolButton;
    FolderButton->setText("...");
    connect(FolderButton, &QToolButton::clicked, this, &TfrmItemEditor::ChooseFolder);
    PlaySequence = new QComboBox;
    PlaySequence->addItems({"顺序", "随机"});
    chkLoop1 = new QCheckBox("循环播放");
    auto* path = new QHBoxLayout;
    path->addWidget(FolderEditor);
    path->addWidget(FolderButton);
    auto* layout = new QFormLayout(tab);
    layout->addRow("目录", path);
    layout->addRow("播放方式", PlaySequence);
    layout->addRow(QString(), chkLoop1);
    return tab;
}

QWidget* TfrmItemEditor::BuildDeviceTab() {
    auto* tab = new QWidget;
    cboDEvice = new QComboBox;
    cboDEvice->addItems(kDeviceNames);
    auto* layout = new QFormLayout(tab);
    layout->addRow("设备", cboDEvice);
    return tab;
}

void TfrmItemEditor::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (shown_) return;
    shown_ = true;
    FormShow();
}

void TfrmItemEditor::ShowOnlyTab(QWidget* tab) {
    for (int i = 0; i < ItemPage->count(); ++i) ItemPage->setTabVisible(i, ItemPage->widget(i) == tab);
    ItemPage->setCurrentWidget(tab);
}

void TfrmItemEditor::FormShow() {
    filling_ = true;
    switch (WorkItem.Kind) {
    case KindFolder:
        FolderEditor->setText(WorkItem.Source);
        chkLoop1->setChecked(WorkItem.Loop);
        PlaySequence->setCurrentIndex(WorkItem.PlayOrder == 0 ? 0 : 1);
        ShowOnlyTab(tab2);
        break;
    case KindDevice:
        cboDEvice->setCurrentIndex(std::max(0, static_cast<int>(kDeviceNames.indexOf(WorkItem.Source))));
        if (WorkItem.DeviceIndex >= 0 && WorkItem.DeviceIndex < cboDEvice->count()) cboDEvice->setCurrentIndex(WorkItem.DeviceIndex);
        ShowOnlyTab(tab3);
        break;
    default:
        FileEditor->setText(WorkItem.Source);
        chkLoop->setChecked(WorkItem.Loop);
        ShowOnlyTab(tab1);
        break;
    }
    filling_ = false;
    if (EditMode) {
        // Times are stored as date-time values; anything not finite has no time of day to show.
        if (!std::isfinite(WorkItem.StartTime) || !std::isfinite(WorkItem.EndTime)) {
            Message(kBadTimeMessage);
            return;
        }
        TimeStart->setText(FormatTimeOfDay(WorkItem.StartTime));
        TimeEnd->setText(FormatTimeOfDay(WorkItem.EndTime));
        txtMemo->setText(WorkItem.Memo);
        TxtTitle1->setText(WorkItem.Title);
    }
    tVolume->setValue(settings_.PreviewVolume + kVolumeBarOffset);
}

void TfrmItemEditor::SkinButton1Click() {
    const auto start = ParseTimeOfDay(TimeStart->text());
    const auto end = ParseTimeOfDay(TimeEnd->text());
    if (!start || !end) {
        Message(kBadTimeMessage);
        return;
    }
    WorkItem.StartTime = *start;
    WorkItem.EndTime = *end;
    WorkItem.Memo = txtMemo->text();
    WorkItem.Title = TxtTitle1->text();
    StoreKindFields();
    // In order: times, something to play, then texts the record cannot hold (refused rather than
    // cut, so the operator sees what will be stored).
    const ItemProblem problem = CheckPlayItem(WorkItem);
    if (problem != ItemProblem::None) {
        Message(ItemProblemText(problem).Chinese);
        return;
    }
    Cancelled = false;
    accept();
}

void TfrmItemEditor::StoreKindFields() {
    const QWidget* active = ItemPage->currentWidget();
    if (active == tab1) {
        WorkItem.Source = FileEditor->text();
        WorkItem.Loop = chkLoop->isChecked();
    } else if (active == tab2) {
        WorkItem.Source = FolderEditor->text();
        WorkItem.Loop = chkLoop1->isChecked();
        WorkItem.PlayOrder = PlaySequence->currentIndex();
    } else {
        WorkItem.Source = cboDEvice->currentText();
        WorkItem.DeviceIndex = cboDEvice->currentIndex();
    }
}

void TfrmItemEditor::SkinButton2Click() { reject(); }

void TfrmItemEditor::done(int result) {
    // The preview belongs to the dialog: it ends when the dialog closes.
    Timer1->stop();
    Preview([this] { previewChannel_->Stop(); });
    QDialog::done(result);
}

void TfrmItemEditor::ChooseFile() {
    const QString path = dialogs_.chooseOpenFile(this, "选择文件", settings_.MusicDirectory, kAudioFilter);
    if (!path.isEmpty()) FileEditor->setText(path);
}

void TfrmItemEditor::ChooseFolder() {
    QString path = dialogs_.chooseFolder(this, settings_.MusicDirectory);
    while (path.size() > 1 && (path.endsWith('/') || path.endsWith('\\'))) path.chop(1);
    if (!path.isEmpty()) FolderEditor->setText(path);
}

void TfrmItemEditor::FileEditorChange() {
    const QString path = FileEditor->text();
    // An item opened for editing keeps its stored end time; a newly chosen file sets it.
    const bool setEndTime = !filling_;
    openFuture_.waitForFinished();
    Preview([this] { previewChannel_->Stop(); });
    Timer1->stop();
    SetOpening(true);
    TSoundMixerChannel* channel = previewChannel_.get();
    openFuture_ = QtConcurrent::run([channel, path] { return OpenPreviewFile(channel, path); });
    auto* watcher = new QFutureWatcher<QString>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, path, setEndTime] {
        watcher->deleteLater();
        OpenFinished(path, watcher->result(), setEndTime);
    });
    watcher->setFuture(openFuture_);
}

void TfrmItemEditor::OpenFinished(const QString& path, const QString& error, bool setEndTime) {
    SetOpening(false);
    if (path != FileEditor->text()) return;  // another file has been chosen since
    if (!error.isEmpty()) {
        Message(kFileInvalid);
        FileEditor->clear();
        return;
    }
    if (path.isEmpty() || !setEndTime) return;
    if (const auto start = ParseTimeOfDay(TimeStart->text()))
        TimeEnd->setText(FormatTimeOfDay(EndTimeFromLength(*start, previewChannel_->Length())));
}

void TfrmItemEditor::SetOpening(bool opening) {
    opening_ = opening;
    for (QWidget* control : {static_cast<QWidget*>(OkButton), static_cast<QWidget*>(FileButton), static_cast<QWidget*>(tPlay)})
        control->setEnabled(!opening);
}

bool TfrmItemEditor::HasPreviewFile() const { return !opening_ && !previewChannel_->FileName().isEmpty(); }

template <typename Command>
void TfrmItemEditor::Preview(Command command) {
    if (opening_) return;
    try {
        command();
    } catch (const std::exception& e) {
        Message(QString::fromLocal8Bit(e.what()));
    }
}

void TfrmItemEditor::tPlayClick() {
    if (!HasPreviewFile()) return;
    Preview([this] {
        previewChannel_->Play();
        previewChannel_->SetVolume(settings_.PreviewVolume);
        tProgress->setRange(0, static_cast<int>(previewChannel_->Length()));
        tProgress->setValue(0);
        Timer1->start();
    });
}

void TfrmItemEditor::tStopClick() {
    Preview([this] { previewChannel_->Stop(); });
}

void TfrmItemEditor::tVolumeChange(int value) {
    const int32_t volume = value - kVolumeBarOffset;
    keepPreviewVolume_(volume);
    Preview([this, volume] { previewChannel_->SetVolume(volume); });
}

void TfrmItemEditor::Timer1Timer() {
    if (opening_ || tProgress->isSliderDown()) return;
    if (previewChannel_->State() == TSoundMixerChannel::Playing) tProgress->setValue(static_cast<int>(previewChannel_->Position()));
}

void TfrmItemEditor::tProgressMouseDown() {
    if (!HasPreviewFile()) return;
    Preview([this] { previewChannel_->Pause(); });
}

void TfrmItemEditor::tProgressMouseUp() {
    if (!HasPreviewFile()) return;
    Preview([this] {
        previewChannel_->Seek(static_cast<uint32_t>(std::max(0, tProgress->value())));
        previewChannel_->Play();
    });
}

void TfrmItemEditor::OnEndPlay() {
    Timer1->stop();
    tProgress->setValue(0);
}

void TfrmItemEditor::Message(const QString& text) { dialogs_.showMessage(this, text); }

}  // namespace tessora
