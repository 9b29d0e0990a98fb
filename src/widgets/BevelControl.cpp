#include "BevelControl.h"

#include "ChangeValue.h"

#include <QEvent>
#include <QPainter>

namespace tessora {

TBevelControl::TBevelControl(QWidget* parent)
    : QWidget(parent), bevel_(new TBevel(palette(), this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(bevel_, &TBevel::changed, this, [this] { bevelChanged(); });
}

void TBevelControl::setColor(const QColor& color)
{
    if (changeValue(color_, color))
        colorChanged();
}

void TBevelControl::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        bevel_->followPalette(palette());
    QWidget::changeEvent(event);
}

void TBevelControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintFrame(painter);
}

QRect TBevelControl::innerRect() const
{
    const int b = bevel_->width();
    return rect().adjusted(b, b, -b, -b);
}

void TBevelControl::paintFrame(QPainter& painter) const
{
    bevel_->paint(painter, rect());
    const QRect inner = innerRect();
    if (inner.isValid())
        painter.fillRect(inner, color_);
}

}  // namespace tessora
