#include "LEDLabel.h"

#include "ChangeValue.h"
#include "ColorRef.h"

#include <QPainter>
#include <QResizeEvent>
#include <QTimer>

namespace tessora {
namespace {

constexpr quint32 kPureGreen = 65280;
constexpr quint32 kDarkGreen = 32768;

}  // namespace

TLEDLabel::TLEDLabel(QWidget* parent)
    : TBevelControl(parent),
      ledColor_(colorFromRef(kPureGreen)),
      inactiveColor_(colorFromRef(kDarkGreen)),
      scrollTimer_(new QTimer(this))
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    resize(11, 13);
    {
        // The starting frame and size stand until a property that sizes the label changes.
        QSignalBlocker quiet(&bevel());
        bevel().setBorderSpace(2);
    }
    recolourFont();
    scrollTimer_->setInterval(scrollSpeed_);
    connect(scrollTimer_, &QTimer::timeout, this, &TLEDLabel::scrollTick);
}

void TLEDLabel::setCaption(const QString& caption)
{
    if (!changeValue(caption_, caption))
        return;
    codes_ = ledCodes(caption);
    applySize();
    update();
}

void TLEDLabel::setFontSize(TLEDFontSize font)
{
    if (!changeValue(fontSize_, font))
        return;
    recolourFont();
    // Another font has other cells, so the size follows it.
    applySize();
}

void TLEDLabel::setLedColor(const QColor& color)
{
    if (changeValue(ledColor_, color))
        recolourFont();
}

void TLEDLabel::setInactiveColor(const QColor& color)
{
    if (changeValue(inactiveColor_, color))
        recolourFont();
}

void TLEDLabel::setDrawInactive(bool draw)
{
    if (changeValue(drawInactive_, draw))
        recolourFont();
}

void TLEDLabel::colorChanged()
{
    recolourFont();
}

void TLEDLabel::bevelChanged()
{
    applySize();
    update();
}

void TLEDLabel::setNumChars(int numChars)
{
    if (numChars < 0 || numChars == numChars_)
        return;
    numChars_ = numChars;
    // With a fixed width the cell count follows the width, so the width takes the count first.
    if (!autoSize_) {
        const QSize cell = cellSize();
        resize(ledWidthForCells(numChars_, ledSpace_, bevel().width(), cell.width()), height());
    }
    applySize();
}

void TLEDLabel::setLedSpace(int space)
{
    if (space < 1 || space == ledSpace_)
        return;
    ledSpace_ = space;
    applySize();
    update();
}

void TLEDLabel::setAutoSize(bool autoSize)
{
    if (changeValue(autoSize_, autoSize))
        applySize();
}

void TLEDLabel::setAlignment(TAlignment alignment)
{
    if (changeValue(alignment_, alignment))
        update();
}

void TLEDLabel::setScrollSpeed(int milliseconds)
{
    if (milliseconds < 1)
        return;
    scrollSpeed_ = milliseconds;
    scrollTimer_->setInterval(milliseconds);
}

void TLEDLabel::setStartStep(int step)
{
    if (step < 0 || step > captionLength())
        return;
    startStep_ = step;
    setCurrentStep(step);
}

void TLEDLabel::setCurrentStep(int step)
{
    if (step < 0 || step > captionLength() || step == currentStep_)
        return;
    currentStep_ = step;
    update();
}

void TLEDLabel::setAutoScroll(bool scroll)
{
    autoScroll_ = scroll;
    if (scroll && !scrollTimer_->isActive()) {
        if (currentStep_ > captionLength())
            currentStep_ = startStep_;
        alignment_ = TAlignment::taLeftJustify;
        emit onBegin();
        scrollTimer_->start();
    } else if (!scroll) {
        scrollTimer_->stop();
    }
    update();
}

void TLEDLabel::scrollTick()
{
    ++currentStep_;
    if (isVisible())
        update();
    if (currentStep_ >= captionLength()) {
        if (autoScroll_)
            currentStep_ = startStep_;
        else
            scrollTimer_->stop();
        emit onEnd();
    } else {
        emit onStep();
    }
}

void TLEDLabel::setDoubleBuffer(bool on)
{
    if (changeValue(doubleBuffer_, on))
        update();
}

void TLEDLabel::setOnDrawBitmap(DrawBitmapHandler handler)
{
    onDrawBitmap_ = std::move(handler);
    update();
}

QByteArray TLEDLabel::shownCodes() const
{
    return ledWindow(codes_, numChars_, alignment_, currentStep_);
}

QSize TLEDLabel::cellSize() const
{
    return ledCellSize(fontBitmap_.size());
}

QSize TLEDLabel::sizeHint() const
{
    const int b = bevel().width();
    const QSize cell = cellSize();
    return {ledWidthForCells(numChars_, ledSpace_, b, cell.width()), 2 * b + cell.height()};
}

void TLEDLabel::applySize()
{
    if (sizing_)
        return;
    sizing_ = true;
    const int b = bevel().width();
    const QSize cell = cellSize();
    numChars_ = autoSize_ ? captionLength() : ledCellsForWidth(width(), ledSpace_, b, cell.width());
    const QSize wanted = sizeHint();
    if (wanted != size())
        resize(wanted);
    updateGeometry();
    sizing_ = false;
}

void TLEDLabel::resizeEvent(QResizeEvent* event)
{
    TBevelControl::resizeEvent(event);
    applySize();
}

void TLEDLabel::recolourFont()
{
    fontBitmap_ = recolourLedFont(ledFontBitmap(fontSize_), ledColor_,
                                  drawInactive_ ? inactiveColor_ : color(), color());
    update();
}

void TLEDLabel::drawCells(QPainter& painter, const QPoint& origin) const
{
    const QSize cell = cellSize();
    const int pitch = cell.width() + ledSpace_ - 1;
    const QByteArray shown = shownCodes();
    for (int i = 0; i < shown.size(); ++i) {
        const QRect source = ledCellRect(static_cast<unsigned char>(shown.at(i)), cell);
        painter.drawImage(origin + QPoint(i * pitch, 0), fontBitmap_, source);
    }
}

void TLEDLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintFrame(painter);
    const QRect inner = innerRect();
    if (!doubleBuffer_) {
        painter.setClipRect(inner);
        drawCells(painter, inner.topLeft());
        return;
    }
    if (!inner.isValid())
        return;
    QImage bitmap(inner.size(), QImage::Format_RGB32);
    bitmap.fill(color());
    {
        QPainter offscreen(&bitmap);
        drawCells(offscreen, QPoint(0, 0));
    }
    if (onDrawBitmap_)
        onDrawBitmap_(*this, painter, bitmap, inner);
    else
        painter.drawImage(inner.topLeft(), bitmap);
}

}  // namespace tessora
