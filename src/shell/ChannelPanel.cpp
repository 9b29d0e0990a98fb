#include "ChannelPanel.h"

#include "LEDGauge.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>

#include <algorithm>

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

TChannelPanel::TChannelPanel(int index, const QString& title, int32_t volume, QWidget* parent)
    : QGroupBox(title, parent), index_(index) {
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
    for (QWidget* w : std::initializer_list<QWidget*>{tListFile, tCurFile, LeftG, RightG, tProgress, tVolume, tPlay, tStop, tMenuBtn}) {
        w->setProperty("tag", index);
        w->installEventFilter(this);
    }
    connect(tProgress, &QSlider::valueChanged, this, [this](int value) {
        if (dragging_) emit seekRequested(value);
    });
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

bool TChannelPanel::eventFilter(QObject* watched, QEvent* event) {
    // Working any control of the panel selects its channel, as the panel's own click does.
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::MouseButtonPress) emit entered(index_);
    if (watched == tProgress) return ProgressMouse(event);
    return QGroupBox::eventFilter(watched, event);
}

bool TChannelPanel::ProgressMouse(QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        dragging_ = false;
        return false;
    }
    if (event->type() != QEvent::MouseButtonPress) return false;
    auto* press = static_cast<QMouseEvent*>(event);
    if (press->button() != Qt::LeftButton) return false;
    dragging_ = true;
    QStyleOptionSlider option;
    option.initFrom(tProgress);
    option.orientation = tProgress->orientation();
    option.minimum = tProgress->minimum();
    option.maximum = tProgress->maximum();
    option.sliderPosition = tProgress->sliderPosition();
    option.sliderValue = tProgress->value();
    option.subControls = QStyle::SC_All;
    const QPoint at = press->position().toPoint();
    if (tProgress->style()->hitTestComplexControl(QStyle::CC_Slider, &option, at, tProgress) == QStyle::SC_SliderHandle)
        return false;  // the slider drags its handle itself
    // A click on the groove goes to that place in the file, rather than a page step of a few ms.
    const QRect groove = tProgress->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, tProgress);
    const QRect handle = tProgress->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, tProgress);
    const int span = std::max(1, groove.width() - handle.width());
    tProgress->setValue(QStyle::sliderValueFromPosition(tProgress->minimum(), tProgress->maximum(),
                                                        at.x() - groove.x() - handle.width() / 2, span));
    return true;
}

}  // namespace tessora
