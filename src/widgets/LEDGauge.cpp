#include "LEDGauge.h"

#include "ChangeValue.h"
#include "ColorRef.h"

#include <QResizeEvent>

namespace tessora {
namespace {

constexpr quint32 kAqua = 16776960;
constexpr quint32 kRed = 255;
constexpr quint32 kTeal = 8421376;
constexpr quint32 kMaroon = 128;

}  // namespace

TLEDGauge::TLEDGauge(QWidget* parent)
    : TDIBGraphicControl(parent),
      barColors_{colorFromRef(kAqua), colorFromRef(kAqua), colorFromRef(kRed)},
      inactiveColors_{colorFromRef(kTeal), colorFromRef(kTeal), colorFromRef(kMaroon)}
{
    resize(200, 17);
    updateLayout();
}

void TLEDGauge::setKind(TLEDGaugeKind kind)
{
    if (!changeValue(kind_, kind))
        return;
    const bool horizontal = kind == TLEDGaugeKind::gkHorizontal;
    if ((horizontal && height() > width()) || (!horizontal && width() > height()))
        resize(height(), width());
    relayout();
}

void TLEDGauge::setDirection(TLEDGaugeDirection direction)
{
    if (changeValue(direction_, direction))
        relayout();
}

int TLEDGauge::spotWidth() const
{
    ensureLayout();
    return spotWidth_;
}

const TGaugeLayout& TLEDGauge::layout() const
{
    ensureLayout();
    return layout_;
}

int TLEDGauge::litCount() const
{
    ensureLayout();
    return litCount_;
}

void TLEDGauge::setSpotWidth(int width)
{
    ensureLayout();
    if (changeValue(spotWidth_, clampSpotWidth(width, layout_.length)))
        relayout();
}

void TLEDGauge::setSpotSpace(int space)
{
    if (changeValue(spotSpace_, clampSpotSpace(space)))
        relayout();
}

void TLEDGauge::setZoneColor(QColor& field, const QColor& color)
{
    if (!changeValue(field, color))
        return;
    rebuildUnlitImage();
    update();
}

void TLEDGauge::setActiveDoted(bool doted)
{
    if (changeValue(activeDoted_, doted))
        update();
}

void TLEDGauge::setInactiveDoted(bool doted)
{
    if (!changeValue(inactiveDoted_, doted))
        return;
    rebuildUnlitImage();
    update();
}

void TLEDGauge::setPoint1(int percent)
{
    if (changeValue(point1_, clampZonePoint(percent)))
        relayout();
}

void TLEDGauge::setPoint2(int percent)
{
    if (changeValue(point2_, clampZonePoint(percent)))
        relayout();
}

void TLEDGauge::setProgress(int percent)
{
    if (!changeValue(progress_, clampProgress(percent)))
        return;
    ensureLayout();
    litCount_ = layout_.litCount(progress_);
    redrawNow();
}

void TLEDGauge::setOnDrawBar(DrawBarHandler handler)
{
    onDrawBar_ = std::move(handler);
    rebuildUnlitImage();
    update();
}

void TLEDGauge::resizeEvent(QResizeEvent* event)
{
    TDIBGraphicControl::resizeEvent(event);
    keepMinimumSize();
    updateLayout();
}

void TLEDGauge::bevelChanged()
{
    keepMinimumSize();
    relayout();
}

void TLEDGauge::colorChanged()
{
    rebuildUnlitImage();
    update();
}

void TLEDGauge::keepMinimumSize()
{
    const int b = bevel().width();
    const QSize least(2 * b + 2, 2 * b);
    if (width() < least.width() || height() < least.height())
        resize(size().expandedTo(least));
}

void TLEDGauge::updateLayout()
{
    const QSize inner = innerRect().size().expandedTo(QSize(0, 0));
    const int length = gaugeLength(inner, kind_);
    spotWidth_ = clampSpotWidth(spotWidth_, length);
    layout_ = TGaugeLayout::compute(length, spotWidth_, spotSpace_, point1_, point2_);
    litCount_ = layout_.litCount(progress_);
    fitCanvas();
    unlit_.setSize(inner, color());
    rebuildUnlitImage();
    layoutSize_ = size();
    layoutFrame_ = bevel().width();
}

void TLEDGauge::ensureLayout() const
{
    if (size() != layoutSize_ || bevel().width() != layoutFrame_)
        const_cast<TLEDGauge*>(this)->updateLayout();
}

void TLEDGauge::relayout()
{
    updateLayout();
    update();
}

void TLEDGauge::rebuildUnlitImage()
{
    if (onDrawBar_)
        return;
    unlit_.fill(color());
    for (int spot = 1; spot <= layout_.spotCount; ++spot)
        drawSpot(unlit_, spot, inactiveColors_[layout_.zoneOf(spot) - 1], inactiveDoted_);
}

void TLEDGauge::drawSpot(TDIBCanvas& canvas, int spot, const QColor& color, bool doted) const
{
    const QRect area = layout_.spotRect(spot, canvas.size(), kind_, direction_);
    if (doted) {
        canvas.fillRect(area, this->color());
        canvas.fillDotted(area, color);
    } else {
        canvas.fillRect(area, color);
    }
}

void TLEDGauge::drawCanvas(TDIBCanvas& canvas)
{
    ensureLayout();
    if (onDrawBar_) {
        onDrawBar_(*this, canvas, litCount_, innerRect());
        return;
    }
    canvas.copyFrom(unlit_);
    for (int spot = 1; spot <= litCount_; ++spot)
        drawSpot(canvas, spot, barColors_[layout_.zoneOf(spot) - 1], activeDoted_);
}

}  // namespace tessora
