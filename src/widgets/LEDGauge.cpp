#include "LEDGauge.h"

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
    if (kind == kind_)
        return;
    kind_ = kind;
    const bool horizontal = kind == TLEDGaugeKind::gkHorizontal;
    if ((horizontal && height() > width()) || (!horizontal && width() > height()))
        resize(height(), width());
    relayout();
}

void TLEDGauge::setDirection(TLEDGaugeDirection direction)
{
    if (direction == direction_)
        return;
    direction_ = direction;
    relayout();
}

void TLEDGauge::setSpotWidth(int width)
{
    width = clampSpotWidth(width, layout_.length);
    if (width == spotWidth_)
        return;
    spotWidth_ = width;
    relayout();
}

void TLEDGauge::setSpotSpace(int space)
{
    space = clampSpotSpace(space);
    if (space == spotSpace_)
        return;
    spotSpace_ = space;
    relayout();
}

void TLEDGauge::setZoneColor(QColor& field, const QColor& color)
{
    if (color == field)
        return;
    field = color;
    rebuildUnlitImage();
    update();
}

void TLEDGauge::setActiveDoted(bool doted)
{
    if (doted == activeDoted_)
        return;
    activeDoted_ = doted;
    update();
}

void TLEDGauge::setInactiveDoted(bool doted)
{
    if (doted == inactiveDoted_)
        return;
    inactiveDoted_ = doted;
    rebuildUnlitImage();
    update();
}

void TLEDGauge::setPoint1(int percent)
{
    percent = clampZonePoint(percent);
    if (percent == point1_)
        return;
    point1_ = percent;
    relayout();
}

void TLEDGauge::setPoint2(int percent)
{
    percent = clampZonePoint(percent);
    if (percent == point2_)
        return;
    point2_ = percent;
    relayout();
}

void TLEDGauge::setProgress(int percent)
{
    percent = clampProgress(percent);
    if (percent == progress_)
        return;
    progress_ = percent;
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
    if (unlit_.size() != canvas.size())
        updateLayout();
    if (onDrawBar_) {
        onDrawBar_(*this, canvas, litCount_, innerRect());
        return;
    }
    canvas.copyFrom(unlit_);
    for (int spot = 1; spot <= litCount_; ++spot)
        drawSpot(canvas, spot, barColors_[layout_.zoneOf(spot) - 1], activeDoted_);
}

}  // namespace tessora
