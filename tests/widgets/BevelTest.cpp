// The bevel frame shared by the LED widgets: its width and what it paints, ring by ring.

#include "Bevel.h"
#include "BevelControl.h"

#include <QPainter>
#include <QTest>

using namespace tessora;

Q_DECLARE_METATYPE(tessora::TBevelCut)
Q_DECLARE_METATYPE(tessora::TBorderStyle)

namespace {

QPalette testPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Button, QColor(200, 200, 200));
    palette.setColor(QPalette::Light, QColor(255, 255, 255));
    palette.setColor(QPalette::Dark, QColor(100, 100, 100));
    return palette;
}

}  // namespace

class BevelTest : public QObject {
    Q_OBJECT
private slots:
    void defaults();
    void width_data();
    void width();
    void negativeWidthsCountAsZero();
    void paintsRingsFromTheOutsideIn();
    void raisedSwapsLightAndShadow();
    void announcesChangesOnce();
    void paletteColoursFollowThePaletteUntilSet();
    void widgetFrameFollowsItsPalette();
};

void BevelTest::defaults()
{
    const TBevel bevel(testPalette());
    QCOMPARE(bevel.bevelInner(), TBevelCut::bvNone);
    QCOMPARE(bevel.bevelOuter(), TBevelCut::bvLowered);
    QCOMPARE(bevel.bevelInnerWidth(), 1);
    QCOMPARE(bevel.bevelOuterWidth(), 1);
    QCOMPARE(bevel.borderStyle(), TBorderStyle::bsNone);
    QCOMPARE(bevel.borderWidth(), 0);
    QCOMPARE(bevel.borderSpace(), 0);
    QCOMPARE(bevel.borderColor(), QColor(200, 200, 200));
    QCOMPARE(bevel.borderSpaceColor(), QColor(Qt::black));
    QCOMPARE(bevel.innerLightColor(), QColor(255, 255, 255));
    QCOMPARE(bevel.outerLightColor(), QColor(255, 255, 255));
    QCOMPARE(bevel.innerShadowColor(), QColor(100, 100, 100));
    QCOMPARE(bevel.outerShadowColor(), QColor(100, 100, 100));
    QCOMPARE(bevel.width(), 1);
}

void BevelTest::width_data()
{
    QTest::addColumn<TBevelCut>("outer");
    QTest::addColumn<TBevelCut>("inner");
    QTest::addColumn<TBorderStyle>("style");
    QTest::addColumn<int>("borderWidth");
    QTest::addColumn<int>("borderSpace");
    QTest::addColumn<int>("expected");
    const auto none = TBevelCut::bvNone;
    const auto lowered = TBevelCut::bvLowered;
    const auto raised = TBevelCut::bvRaised;
    QTest::newRow("clock panel") << lowered << none << TBorderStyle::bsNone << 0 << 2 << 3;
    QTest::newRow("no bevels") << none << none << TBorderStyle::bsNone << 0 << 0 << 0;
    QTest::newRow("everything") << raised << lowered << TBorderStyle::bsSingle << 2 << 3 << 2 + 3 + 1 + 2 + 1;
    QTest::newRow("inner bevel only") << none << raised << TBorderStyle::bsNone << 1 << 0 << 1 + 2;
}

void BevelTest::width()
{
    QFETCH(TBevelCut, outer);
    QFETCH(TBevelCut, inner);
    QFETCH(TBorderStyle, style);
    QFETCH(int, borderWidth);
    QFETCH(int, borderSpace);
    QFETCH(int, expected);
    TBevel bevel(testPalette());
    bevel.setBevelOuter(outer);
    bevel.setBevelInner(inner);
    bevel.setBevelInnerWidth(2);
    bevel.setBorderStyle(style);
    bevel.setBorderWidth(borderWidth);
    bevel.setBorderSpace(borderSpace);
    QCOMPARE(bevel.width(), expected);
}

void BevelTest::negativeWidthsCountAsZero()
{
    TBevel bevel(testPalette());
    bevel.setBevelOuterWidth(-4);
    bevel.setBorderSpace(-1);
    bevel.setBorderWidth(-2);
    QCOMPARE(bevel.width(), 0);
}

void BevelTest::paintsRingsFromTheOutsideIn()
{
    TBevel bevel(testPalette());
    bevel.setBorderStyle(TBorderStyle::bsSingle);
    bevel.setBorderWidth(1);
    bevel.setBorderColor(QColor(0, 0, 255));
    bevel.setBevelInner(TBevelCut::bvLowered);
    bevel.setInnerShadowColor(QColor(0, 255, 0));
    bevel.setInnerLightColor(QColor(255, 255, 0));
    bevel.setBorderSpace(1);
    bevel.setBorderSpaceColor(QColor(255, 0, 255));
    QCOMPARE(bevel.width(), 5);

    QImage image(20, 20, QImage::Format_RGB32);
    const QColor untouched(1, 2, 3);
    image.fill(untouched);
    {
        QPainter painter(&image);
        bevel.paint(painter, image.rect());
    }
    // Down the diagonal from the top-left corner, then from the bottom-right one.
    const QColor topLeft[] = {Qt::black, QColor(100, 100, 100), QColor(0, 0, 255), QColor(0, 255, 0),
                              QColor(255, 0, 255), untouched};
    const QColor bottomRight[] = {Qt::black, QColor(255, 255, 255), QColor(0, 0, 255),
                                  QColor(255, 255, 0), QColor(255, 0, 255), untouched};
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(QColor(image.pixel(i, 10)), topLeft[i]);
        QCOMPARE(QColor(image.pixel(10, i)), topLeft[i]);
        QCOMPARE(QColor(image.pixel(19 - i, 10)), bottomRight[i]);
        QCOMPARE(QColor(image.pixel(10, 19 - i)), bottomRight[i]);
    }
}

void BevelTest::raisedSwapsLightAndShadow()
{
    TBevel bevel(testPalette());
    bevel.setBevelOuter(TBevelCut::bvRaised);
    QImage image(10, 10, QImage::Format_RGB32);
    image.fill(Qt::black);
    {
        QPainter painter(&image);
        bevel.paint(painter, image.rect());
    }
    QCOMPARE(QColor(image.pixel(0, 5)), QColor(255, 255, 255));
    QCOMPARE(QColor(image.pixel(9, 5)), QColor(100, 100, 100));
}

void BevelTest::announcesChangesOnce()
{
    TBevel bevel(testPalette());
    int changes = 0;
    connect(&bevel, &TBevel::changed, [&] { ++changes; });
    bevel.setBorderSpace(2);
    bevel.setBorderSpace(2);
    bevel.setOuterLightColor(Qt::red);
    QCOMPARE(changes, 2);
}

void BevelTest::paletteColoursFollowThePaletteUntilSet()
{
    TBevel bevel(testPalette());
    bevel.setOuterShadowColor(Qt::red);
    QPalette skin = testPalette();
    skin.setColor(QPalette::Button, QColor(10, 20, 30));
    skin.setColor(QPalette::Light, QColor(40, 50, 60));
    skin.setColor(QPalette::Dark, QColor(70, 80, 90));
    int changes = 0;
    connect(&bevel, &TBevel::changed, [&] { ++changes; });
    bevel.followPalette(skin);
    QCOMPARE(changes, 1);
    QCOMPARE(bevel.borderColor(), QColor(10, 20, 30));
    QCOMPARE(bevel.outerLightColor(), QColor(40, 50, 60));
    QCOMPARE(bevel.innerLightColor(), QColor(40, 50, 60));
    QCOMPARE(bevel.innerShadowColor(), QColor(70, 80, 90));
    QCOMPARE(bevel.outerShadowColor(), QColor(Qt::red));
    bevel.followPalette(skin);
    QCOMPARE(changes, 1);
}

void BevelTest::widgetFrameFollowsItsPalette()
{
    TBevelControl control;
    control.resize(10, 10);
    QPalette skin = control.palette();
    skin.setColor(QPalette::Dark, QColor(1, 2, 3));
    control.setPalette(skin);
    QCOMPARE(control.bevel().outerShadowColor(), QColor(1, 2, 3));
    QCOMPARE(control.grab().toImage().pixelColor(0, 5), QColor(1, 2, 3));
}

QTEST_MAIN(BevelTest)
#include "BevelTest.moc"
