#include "MultiAreaPlay.h"

#include <QLabel>
#include <QPushButton>

namespace tessora {

namespace {

const QString kAudioFilter = QStringLiteral("音频文件 (*.mp3 *.wav *.midi *.asf *.wma)");

}  // namespace

TFormMultiArea::TFormMultiArea(TBroadcastChannels& channels, QString musicDirectory, ChooseAudioFile chooseFile,
                               QWidget* parent)
    : TOverrideWindow(channels, QString(), TOverrideKind::AllCall, QStringLiteral("全呼广播"), 155, parent),
      musicDirectory_(std::move(musicDirectory)),
      chooseFile_(std::move(chooseFile)) {
    tCurFile = new QLabel(QStringLiteral("当前曲目"), this);
    tCurFile->setGeometry(10, 128, TChannelChecks::kWidth, 20);
    tStop = new QPushButton(QStringLiteral("■"), this);
    tStop->setToolTip(QStringLiteral("停止"));
    tStop->setGeometry(55, 155, 40, 25);
    tOpen = new QPushButton(QStringLiteral("..."), this);
    tOpen->setGeometry(100, 155, 40, 25);
    for (QPushButton* button : {tStop, tOpen}) button->setAutoDefault(false);
    connect(tOpen, &QPushButton::clicked, this, &TFormMultiArea::tOpenClick);
    connect(tStop, &QPushButton::clicked, this, &TFormMultiArea::tStopClick);
}

void TFormMultiArea::FormShow() { checks_->CreateBoxes(false); }

void TFormMultiArea::tOpenClick() {
    const QString path = chooseFile_(this, musicDirectory_, kAudioFilter);
    if (path.isEmpty()) return;
    tCurFile->setText(path);
    session_.SetFile(path);
    ShowButtons();
}

void TFormMultiArea::tStopClick() {
    session_.Stop();
    ShowButtons();
}

}  // namespace tessora
