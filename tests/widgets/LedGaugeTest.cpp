// The LED level gauge: its geometry in numbers, its pixels, and when it redraws.

#include "ColorRef.h"
#include "LEDGauge.h"
#include "WidgetTestSupport.h"

#include <QPainter>

using namespace tessora;
using tessora::test::grabbed;

namespace {

const QColor kAqua = colorFromRef(16776960);
const QColor kRed = colorFromRef(255);
const QColor kTeal = colorFromRef(8421376);
const QColor kMaroon = colorFromRef(128);

// A channel panel's gauge: 167 x 13 with every property at its default.
void makeChannelGauge(TLEDGauge& gauge)
{
    gauge.setGeometry(9, 56, 167, 13);
}

// The colour in the middle of spot `spot` (from 1 at the filling end).
QColor spotColour(TLEDGauge& gauge, const QImage& image, int spot)
{
    const QRect area = gauge.layout()
                           .spotRect(spot, gauge.innerRect().size(), gauge.kind(), gauge.direction())
                           .translated(gauge.innerRect().topLeft());
    return image.pixelColor(area.center());
}

}  // namespace

class LedGaugeTest : public QObject {
    Q_OBJECT
private slots:
    void layout_data();
    void layout();
    void channelGaugeGeometry();
    void litCountAndZones_data();
    void litCountAndZones();
    void defaults();
    void clamps();
    void narrowGaugeKeepsOneSpot();
    void boundsKeepRoomForTheFrame();
    void switchingKindTurnsTheGauge();
    void channelGaugePixels_data();
    void channelGaugePixels();
    void spotsLieWhereTheLayoutSays();
    void directionAndOrientationChooseTheFillingEnd();
    void dotedSpots();
    void progressRedrawsAtOnceOnlyWhenChanged();
    void progressIsNotDrawnWhileHidden();
    void drawBarHandlerDrawsInstead();
};

void LedGaugeTest::layout_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("spotWidth");
    QTest::addColumn<int>("spotSpace");
    QTest::addColumn<int>("spots");
    QTest::addColumn<int>("margin");
    QTest::addColumn<int>("t1");
    QTest::addColumn<int>("t2");
    QTest::newRow("channel gauge") << 165 << 1 << 1 << 83 << 0 << 41 << 70;
    QTest::newRow("200 x 17 default") << 198 << 1 << 1 << 99 << 0 << 49 << 84;
    QTest::newRow("centred with a margin") << 10 << 2 << 1 << 3 << 1 << 1 << 2;
    QTest::newRow("no gaps") << 30 << 3 << 0 << 10 << 0 << 5 << 8;
    QTest::newRow("one pixel") << 1 << 1 << 10 << 1 << 0 << 0 << 0;
}

void LedGaugeTest::layout()
{
    QFETCH(int, length);
    QFETCH(int, spotWidth);
    QFETCH(int, spotSpace);
    QFETCH(int, spots);
    QFETCH(int, margin);
    QFETCH(int, t1);
    QFETCH(int, t2);
    const TGaugeLayout layout = TGaugeLayout::compute(length, spotWidth, spotSpace, 50, 85);
    QCOMPARE(layout.spotCount, spots);
    QCOMPARE(layout.margin, margin);
    QCOMPARE(layout.zone1Limit, t1);
    QCOMPARE(layout.zone2Limit, t2);
}

void LedGaugeTest::channelGaugeGeometry()
{
    TLEDGauge gauge;
    makeChannelGauge(gauge);
    QCOMPARE(gauge.bevel().width(), 1);
    QCOMPARE(gauge.innerRect(), QRect(1, 1, 165, 11));
    QCOMPARE(gauge.layout().length, 165);
    QCOMPARE(gauge.layout().spotCount, 83);
    QCOMPARE(gauge.layout().margin, 0);
    QCOMPARE(gauge.layout().zone1Limit, 41);
    QCOMPARE(gauge.layout().zone2Limit, 70);
}

void LedGaugeTest::litCountAndZones_data()
{
    QTest::addColumn<int>("progress");
    QTest::addColumn<int>("lit");
    QTest::newRow("100 lights all") << 100 << 83;
    QTest::newRow("50 lights 41") << 50 << 41;
    QTest::newRow("1 lights none") << 1 << 0;
    QTest::newRow("0") << 0 << 0;
    QTest::newRow("150 shows 100") << 150 << 83;
    QTest::newRow("-5 shows 0") << -5 << 0;
}

void LedGaugeTest::litCountAndZones()
{
    QFETCH(int, progress);
    QFETCH(int, lit);
    TLEDGauge gauge;
    makeChannelGauge(gauge);
    gauge.setProgress(progress);
    QCOMPARE(gauge.progress(), std::clamp(progress, 0, 100));
    QCOMPARE(gauge.litCount(), lit);
    const TGaugeLayout& layout = gauge.layout();
    QCOMPARE(layout.zoneOf(41), 1);
    QCOMPARE(layout.zoneOf(42), 2);
    QCOMPARE(layout.zoneOf(70), 2);
    QCOMPARE(layout.zoneOf(71), 3);
}

void LedGaugeTest::defaults()
{
    TLEDGauge gauge;
    QCOMPARE(gauge.size(), QSize(200, 17));
    QCOMPARE(gauge.kind(), TLEDGaugeKind::gkHorizontal);
    QCOMPARE(gauge.direction(), TLEDGaugeDirection::dirNormal);
    QCOMPARE(gauge.spotWidth(), 1);
    QCOMPARE(gauge.spotSpace(), 1);
    QCOMPARE(gauge.bar1Color(), kAqua);
    QCOMPARE(gauge.bar2Color(), kAqua);
    QCOMPARE(gauge.bar3Color(), kRed);
    QCOMPARE(gauge.inactive1Color(), kTeal);
    QCOMPARE(gauge.inactive2Color(), kTeal);
    QCOMPARE(gauge.inactive3Color(), kMaroon);
    QVERIFY(!gauge.activeDoted());
    QVERIFY(!gauge.inactiveDoted());
    QCOMPARE(gauge.point1(), 50);
    QCOMPARE(gauge.point2(), 85);
    QCOMPARE(gauge.progress(), 0);
    QCOMPARE(gauge.color(), QColor(Qt::black));
}

void LedGaugeTest::clamps()
{
    TLEDGauge gauge;  // inner length 198
    gauge.setSpotSpace(20);
    QCOMPARE(gauge.spotSpace(), 10);
    gauge.setSpotSpace(-3);
    QCOMPARE(gauge.spotSpace(), 0);
    gauge.setSpotWidth(0);
    QCOMPARE(gauge.spotWidth(), 1);
    gauge.setSpotWidth(500);
    QCOMPARE(gauge.spotWidth(), 66);
    gauge.setPoint1(0);
    QCOMPARE(gauge.point1(), 1);
    gauge.setPoint2(101);
    QCOMPARE(gauge.point2(), 100);
    // A shorter bar brings a spot width it cannot hold back into range.
    gauge.resize(32, 17);
    QCOMPARE(gauge.spotWidth(), 10);
}

void LedGaugeTest::narrowGaugeKeepsOneSpot()
{
    test::ShownHost host;
    TLEDGauge gauge(&host);
    gauge.setSpotWidth(10);
    gauge.setSpotSpace(10);
    gauge.show();
    gauge.resize(5, 17);
    QCOMPARE(gauge.layout().length, 3);
    QCOMPARE(gauge.layout().spotCount, 1);
    gauge.setProgress(100);
    QCOMPARE(gauge.litCount(), 1);
    const QImage image = grabbed(gauge);
    QCOMPARE(image.pixelColor(gauge.innerRect().center()), kRed);
}

void LedGaugeTest::boundsKeepRoomForTheFrame()
{
    test::ShownHost host;
    TLEDGauge gauge(&host);
    gauge.show();
    gauge.resize(1, 1);
    QCOMPARE(gauge.size(), QSize(4, 2));
    QCOMPARE(gauge.layout().spotCount, 1);
    gauge.bevel().setBorderSpace(3);
    QCOMPARE(gauge.size(), QSize(10, 8));
}

void LedGaugeTest::switchingKindTurnsTheGauge()
{
    TLEDGauge gauge;
    gauge.setKind(TLEDGaugeKind::gkVertical);
    QCOMPARE(gauge.size(), QSize(17, 200));
    QCOMPARE(gauge.layout().length, 198);
    QCOMPARE(gauge.layout().spotCount, 99);
    gauge.setKind(TLEDGaugeKind::gkHorizontal);
    QCOMPARE(gauge.size(), QSize(200, 17));
    // A shape that already fits the new orientation stays.
    gauge.resize(40, 60);
    gauge.setKind(TLEDGaugeKind::gkVertical);
    QCOMPARE(gauge.size(), QSize(40, 60));
}

void LedGaugeTest::channelGaugePixels_data()
{
    QTest::addColumn<int>("progress");
    QTest::addColumn<int>("lit");
    QTest::newRow("100") << 100 << 83;
    QTest::newRow("50") << 50 << 41;
    QTest::newRow("1") << 1 << 0;
}

void LedGaugeTest::channelGaugePixels()
{
    QFETCH(int, progress);
    QFETCH(int, lit);
    test::ShownHost host;
    TLEDGauge gauge(&host);
    makeChannelGauge(gauge);
    gauge.show();
    gauge.setProgress(progress);
    const QImage image = grabbed(gauge);
    // Along the middle line: spot, gap, spot, ... from the left edge of the inside.
    const int y = 6;
    int litSeen = 0;
    for (int spot = 1; spot <= 83; ++spot) {
        const int x = 1 + (spot - 1) * 2;
        const bool isLit = spot <= lit;
        const QColor expected = spot <= 70 ? (isLit ? kAqua : kTeal) : (isLit ? kRed : kMaroon);
        QCOMPARE(image.pixelColor(x, y), expected);
        litSeen += isLit;
        if (spot < 83)
            QCOMPARE(image.pixelColor(x + 1, y), QColor(Qt::black));
    }
    QCOMPARE(litSeen, lit);
    // Each spot spans the whole inner height.
    for (int row = 1; row <= 11; ++row)
        QCOMPARE(image.pixelColor(1, row), lit > 0 ? kAqua : kTeal);
}

void LedGaugeTest::spotsLieWhereTheLayoutSays()
{
    test::ShownHost host;
    TLEDGauge gauge(&host);
    gauge.setGeometry(0, 0, 52, 10);  // inner 50: 7 spots of 5 with 2 between, margin 1
    gauge.setSpotWidth(5);
    gauge.setSpotSpace(2);
    gauge.setBar1Color(Qt::green);
    gauge.show();
    QCOMPARE(gauge.layout().spotCount, 7);
    QCOMPARE(gauge.layout().margin, 1);
    gauge.setProgress(100);
    const QImage image = grabbed(gauge);
    QCOMPARE(image.pixelColor(1, 5), QColor(Qt::black));  // margin
    for (int x = 2; x < 7; ++x)
        QCOMPARE(image.pixelColor(x, 5), QColor(Qt::green));
    QCOMPARE(image.pixelColor(7, 5), QColor(Qt::black));
    QCOMPARE(image.pixelColor(8, 5), QColor(Qt::black));
    QCOMPARE(image.pixelColor(9, 5), QColor(Qt::green));
}

void LedGaugeTest::directionAndOrientationChooseTheFillingEnd()
{
    test::ShownHost host;
    struct Case {
        TLEDGaugeKind kind;
        TLEDGaugeDirection direction;
        QPoint litPixel;    // next to the filling end
        QPoint unlitPixel;  // at the far end
    };
    // 167 x 13 horizontal or 13 x 167 vertical, half full: spot 1 at the filling end is lit.
    const Case cases[] = {
        {TLEDGaugeKind::gkHorizontal, TLEDGaugeDirection::dirNormal, {1, 6}, {165, 6}},
        {TLEDGaugeKind::gkHorizontal, TLEDGaugeDirection::dirReversed, {165, 6}, {1, 6}},
        {TLEDGaugeKind::gkVertical, TLEDGaugeDirection::dirNormal, {6, 165}, {6, 1}},
        {TLEDGaugeKind::gkVertical, TLEDGaugeDirection::dirReversed, {6, 1}, {6, 165}},
    };
    for (const Case& c : cases) {
        TLEDGauge gauge(&host);
        makeChannelGauge(gauge);
        gauge.setKind(c.kind);
        gauge.setDirection(c.direction);
        gauge.setProgress(50);
        gauge.show();
        const QImage image = grabbed(gauge);
        QCOMPARE(image.pixelColor(c.litPixel), kAqua);
        QCOMPARE(image.pixelColor(c.unlitPixel), kMaroon);
        QCOMPARE(spotColour(gauge, image, 41), kAqua);
        QCOMPARE(spotColour(gauge, image, 42), kTeal);
    }
}

void LedGaugeTest::dotedSpots()
{
    test::ShownHost host;
    TLEDGauge gauge(&host);
    gauge.setGeometry(0, 0, 102, 12);
    gauge.setSpotWidth(6);
    gauge.setActiveDoted(true);
    gauge.setInactiveDoted(true);
    gauge.setProgress(50);
    gauge.show();
    const QImage image = grabbed(gauge);
    const QRect inner = gauge.innerRect();
    for (int spot : {1, gauge.layout().spotCount}) {
        const QRect area = gauge.layout().spotRect(spot, inner.size(), gauge.kind(), gauge.direction())
                               .translated(inner.topLeft());
        const QColor dot = spot == 1 ? kAqua : kMaroon;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                const bool onDot = ((x - inner.left()) + (y - inner.top())) % 2 == 0;
                QCOMPARE(image.pixelColor(x, y), onDot ? dot : QColor(Qt::black));
            }
        }
    }
}

void LedGaugeTest::progressRedrawsAtOnceOnlyWhenChanged()
{
    test::ShownHost host;
    TLEDGauge gauge(&host);
    makeChannelGauge(gauge);
    gauge.show();
    QCoreApplication::processEvents();
    int draws = 0;
    int litDrawn = -1;
    gauge.setOnDrawBar([&](TLEDGauge&, TDIBCanvas&, int lit, const QRect&) {
        ++draws;
        litDrawn = lit;
    });
    QCoreApplication::processEvents();
    draws = 0;
    gauge.setProgress(50);
    QCOMPARE(draws, 1);  // before any event is handled
    QCOMPARE(litDrawn, 41);
    gauge.setProgress(50);
    gauge.setProgress(50);
    QCOMPARE(draws, 1);
    gauge.setProgress(100);
    gauge.setProgress(150);  // still 100
    QCOMPARE(draws, 2);
    QCOMPARE(litDrawn, 83);
}

void LedGaugeTest::progressIsNotDrawnWhileHidden()
{
    test::ShownHost host;
    TLEDGauge gauge(&host);
    makeChannelGauge(gauge);
    int draws = 0;
    gauge.setOnDrawBar([&](TLEDGauge&, TDIBCanvas&, int, const QRect&) { ++draws; });
    gauge.setProgress(70);
    QCOMPARE(draws, 0);
    QCOMPARE(gauge.litCount(), 58);
    // Shown later, the gauge draws the value it has by then.
    gauge.setOnDrawBar({});
    gauge.show();
    const QImage image = grabbed(gauge);
    QCOMPARE(spotColour(gauge, image, 58), kAqua);
    QCOMPARE(spotColour(gauge, image, 59), kTeal);
}

void LedGaugeTest::drawBarHandlerDrawsInstead()
{
    test::ShownHost host;
    TLEDGauge gauge(&host);
    makeChannelGauge(gauge);
    gauge.setProgress(30);
    gauge.show();
    QSize canvasSize;
    QRect where;
    gauge.setOnDrawBar([&](TLEDGauge& sender, TDIBCanvas& canvas, int lit, const QRect& rect) {
        QCOMPARE(&sender, &gauge);
        canvasSize = canvas.size();
        where = rect;
        canvas.fill(Qt::black);
        canvas.fillRect(QRect(0, 0, lit, canvas.size().height()), Qt::yellow);
    });
    const QImage image = grabbed(gauge);
    QCOMPARE(canvasSize, QSize(165, 11));
    QCOMPARE(where, gauge.innerRect());
    QCOMPARE(test::countPixels(image, Qt::yellow), gauge.litCount() * 11);
    QCOMPARE(test::countPixels(image, kTeal), 0);
}

QTEST_MAIN(LedGaugeTest)
#include "LedGaugeTest.moc"
