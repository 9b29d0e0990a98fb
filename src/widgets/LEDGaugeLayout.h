#pragma once
// The arithmetic of the LED level gauge: how many spots fit along the bar, where each lies,
// which colour zone it belongs to and how many a value lights.

#include <QRect>
#include <QSize>

namespace tessora {

enum class TLEDGaugeKind { gkHorizontal, gkVertical };
enum class TLEDGaugeDirection { dirNormal, dirReversed };

constexpr int kMaxSpotSpace = 10;

// The range a spot width may take on a bar `length` pixels long: 1 .. length div 3.
int clampSpotWidth(int spotWidth, int length);
int clampSpotSpace(int spotSpace);
// Zone limits and the value are percentages: 1 .. 100 and 0 .. 100.
int clampZonePoint(int point);
int clampProgress(int progress);

struct TGaugeLayout {
    int length = 1;      // L: inner length along the bar, at least 1
    int spotWidth = 1;
    int spotSpace = 1;
    int spotCount = 1;   // n
    int margin = 0;      // m: centres the row of spots
    int zone1Limit = 0;  // t1
    int zone2Limit = 0;  // t2

    // `spotWidth` and `spotSpace` are taken as they are; clamp them first.
    static TGaugeLayout compute(int length, int spotWidth, int spotSpace, int point1, int point2);

    int litCount(int progress) const;
    // Spots count from 1 at the filling end; zones are 1, 2 and 3.
    int zoneOf(int spot) const;
    // Distance of the spot's near edge from the filling end.
    int spotOffset(int spot) const;
    // The spot's area inside a bar of `inner` size.
    QRect spotRect(int spot, const QSize& inner, TLEDGaugeKind kind, TLEDGaugeDirection direction) const;
};

// L for a bar of this inner size and orientation.
int gaugeLength(const QSize& inner, TLEDGaugeKind kind);

}  // namespace tessora
