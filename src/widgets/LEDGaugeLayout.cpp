#include "LEDGaugeLayout.h"

#include <algorithm>
#include <cstdint>

namespace tessora {

int clampSpotWidth(int spotWidth, int length)
{
    return std::clamp(spotWidth, 1, std::max(1, length / 3));
}

int clampSpotSpace(int spotSpace)
{
    return std::clamp(spotSpace, 0, kMaxSpotSpace);
}

int clampZonePoint(int point)
{
    return std::clamp(point, 1, 100);
}

int clampProgress(int progress)
{
    return std::clamp(progress, 0, 100);
}

int gaugeLength(const QSize& inner, TLEDGaugeKind kind)
{
    return std::max(1, kind == TLEDGaugeKind::gkHorizontal ? inner.width() : inner.height());
}

TGaugeLayout TGaugeLayout::compute(int length, int spotWidth, int spotSpace, int point1, int point2)
{
    TGaugeLayout layout;
    layout.length = std::max(1, length);
    layout.spotWidth = spotWidth;
    layout.spotSpace = spotSpace;
    const int pitch = spotWidth + spotSpace;
    layout.spotCount = std::max(1, (layout.length + spotSpace) / pitch);
    layout.margin = (spotSpace + layout.length - layout.spotCount * pitch) / 2;
    layout.zone1Limit = point1 * layout.spotCount / 100;
    layout.zone2Limit = point2 * layout.spotCount / 100;
    return layout;
}

int TGaugeLayout::litCount(int progress) const
{
    const std::int64_t lit = std::int64_t(progress) * spotCount / 100;
    return int(std::clamp<std::int64_t>(lit, 0, spotCount));
}

int TGaugeLayout::zoneOf(int spot) const
{
    if (spot <= zone1Limit)
        return 1;
    return spot <= zone2Limit ? 2 : 3;
}

int TGaugeLayout::spotOffset(int spot) const
{
    return margin + (spot - 1) * (spotWidth + spotSpace);
}

QRect TGaugeLayout::spotRect(int spot, const QSize& inner, TLEDGaugeKind kind,
                             TLEDGaugeDirection direction) const
{
    const int offset = spotOffset(spot);
    const bool reversed = direction == TLEDGaugeDirection::dirReversed;
    if (kind == TLEDGaugeKind::gkHorizontal) {
        const int x = reversed ? inner.width() - offset - spotWidth : offset;
        return {x, 0, spotWidth, inner.height()};
    }
    // Vertical bars fill from the bottom unless reversed.
    const int y = reversed ? offset : inner.height() - offset - spotWidth;
    return {0, y, inner.width(), spotWidth};
}

}  // namespace tessora
