#include "DIBCanvas.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace tessora {

void TDIBCanvas::setSize(const QSize& size, const QColor& background)
{
    if (size == image_.size())
        return;
    image_ = QImage(size.expandedTo(QSize(0, 0)), QImage::Format_RGB32);
    image_.fill(background);
}

void TDIBCanvas::fill(const QColor& color)
{
    image_.fill(color);
}

void TDIBCanvas::fillRect(const QRect& area, const QColor& color)
{
    const QRect r = area & image_.rect();
    const QRgb rgb = color.rgb();
    for (int y = r.top(); y <= r.bottom(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image_.scanLine(y));
        std::fill(line + r.left(), line + r.left() + r.width(), rgb);
    }
}

void TDIBCanvas::fillDotted(const QRect& area, const QColor& color)
{
    const QRect r = area & image_.rect();
    const QRgb rgb = color.rgb();
    for (int y = r.top(); y <= r.bottom(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image_.scanLine(y));
        for (int x = r.left() + ((r.left() + y) & 1); x <= r.right(); x += 2)
            line[x] = rgb;
    }
}

void TDIBCanvas::copyFrom(const TDIBCanvas& other)
{
    Q_ASSERT(other.size() == size());
    image_ = other.image_;  // implicitly shared; detaches on the next write
}

void TDIBCanvas::drawOn(QPainter& painter, const QPoint& at) const
{
    painter.drawImage(at, image_);
}

TDIBGraphicControl::TDIBGraphicControl(QWidget* parent) : TBevelControl(parent) {}

void TDIBGraphicControl::fitCanvas()
{
    canvas_.setSize(innerRect().size(), color());
}

void TDIBGraphicControl::redrawNow()
{
    if (isVisible())
        repaint(innerRect());
}

void TDIBGraphicControl::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect inner = innerRect();
    if (!inner.contains(event->rect()))
        paintFrame(painter);
    if (!inner.isValid())
        return;
    fitCanvas();
    drawCanvas(canvas_);
    canvas_.drawOn(painter, inner.topLeft());
}

}  // namespace tessora
