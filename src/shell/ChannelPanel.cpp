#include "ChannelPanel.h"

#include "LEDGauge.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QSignalBlocker>
#include <QSlider>

namespace tessora {

namespace {

template <typename Widget>
Widget* Place(Widget* widget, int left, int top, int width, int height) {
    widget->setGeometry(left, top, width, height);
    return widget;
}

QLabel* SmallLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setPixelSize(12);
    label->setFont(font);
    return label;
}

}  // namespace

void TMenuButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !OpenMenu) return QPushButton::mousePressEvent(event);
    emit menuShown();
    OpenMenu->popup(mapToGlobal(QPoint(0, height())));
}

void TMenuButton::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit openClicked();
        return;
    }
    QPushButton::keyPressEvent(event);
}

TChannelPanel::TChannelPanel(int index, const QString& title, int32_t volume, const bool& dragging, QWidget* parent)
    : QGroupBox(title, parent), index_(index), dragging_(dragging) {
    resize(185, 150);
    setFocusPolicy(Qt::ClickFocus);
    tListFile = Place(SmallLabel("", this), 9, 24, 183, 13);
    tCurFile = Place(SmallLabel("无...", this), 9, 40, 183, 13);
    LeftG = Place(new TLEDGauge(this), 9, 56, 167, 13);
    RightG = Place(new TLEDGauge(this), 9, 68, 167, 13);
    tProgress = Place(new QSlider(Qt::Horizontal, this), 9, 85, 167, 20);
    tProgress->setRange(0, 100);
    tProgress->setValue(50);
    // A bar 63 pixels long and 12 high: it can only be worked along its length.
    tVolume = Place(new QSlider(Qt::Horizontal, this), 112, 119, 63, 12);
    tVolume->setRange(0, 10000);
    tVolume->setValue(volume + 10000);
    tPlay = Place(new QPushButton("||", this), 9, 112, 25, 25);
    tPlay->setToolTip("暂停播放");
    tStop = Place(new QPushButton("■", this), 36, 112, 25, 25);
    tStop->setToolTip("停止");
    tMenuBtn = Place(new TMenuButton("...", this), 64, 112, 33, 25);
    for (QWidget* w : std::initializer_list<QWidget*>{tListFile, tCurFile, tProgress, tVolume, tPlay, tStop, tMenuBtn})
        w->setProperty("tag", index);
}

void TChannelPanel::SetCaption(const QString& text) { setTitle(text); }
void TChannelPanel::SetListLabel(const QString& text) { tListFile->setText(text); }
void TChannelPanel::SetFileLabel(const QString& text) { tCurFile->setText(text); }

void TChannelPanel::SetGauges(int left, int right) {
    LeftG->setProgress(left);
    RightG->setProgress(right);
}

// The player's own moves of the bar must never read as the operator seeking.
void TChannelPanel::SetProgressRange(int minimum, int maximum) {
    const QSignalBlocker quiet(tProgress);
    tProgress->setRange(minimum, maximum);
}

void TChannelPanel::SetProgressValue(int value) {
    const QSignalBlocker quiet(tProgress);
    tProgress->setValue(value);
}

void TChannelPanel::mousePressEvent(QMouseEvent* event) {
    emit entered(index_);
    QGroupBox::mousePressEvent(event);
}

void TChannelPanel::focusInEvent(QFocusEvent* event) {
    emit entered(index_);
    QGroupBox::focusInEvent(event);
}

}  // namespace tessora
