// The font bitmaps compiled into the widgets, and their recolouring.

#include "LEDFont.h"

#include <QSet>
#include <QTest>

using namespace tessora;

Q_DECLARE_METATYPE(tessora::TLEDFontSize)

namespace {

const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kSilver = qRgb(0xC0, 0xC0, 0xC0);

QSet<QRgb> coloursIn(const QImage& image, const QRect& area)
{
    QSet<QRgb> colours;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            colours.insert(image.pixel(x, y));
    return colours;
}

}  // namespace

class LedFontTest : public QObject {
    Q_OBJECT
private slots:
    void bitmaps_data();
    void bitmaps();
    void recolouring();
};

void LedFontTest::bitmaps_data()
{
    QTest::addColumn<TLEDFontSize>("font");
    QTest::addColumn<QString>("resource");
    QTest::addColumn<QSize>("bitmapSize");
    QTest::addColumn<QSize>("cell");
    QTest::newRow("11x13") << TLEDFontSize::fs11x13 << "FONT_11X13" << QSize(693, 28) << QSize(11, 13);
    QTest::newRow("11x13 bold") << TLEDFontSize::fs11x13_bold << "FONT_11X13_BOLD" << QSize(694, 28)
                                << QSize(11, 13);
    QTest::newRow("16x20") << TLEDFontSize::fs16x20 << "FONT_16X20" << QSize(1008, 42) << QSize(16, 20);
}

void LedFontTest::bitmaps()
{
    QFETCH(TLEDFontSize, font);
    QFETCH(QString, resource);
    QFETCH(QSize, bitmapSize);
    QFETCH(QSize, cell);
    QCOMPARE(ledFontResourceName(font), resource);
    const QImage bitmap = ledFontBitmap(font);
    QCOMPARE(bitmap.size(), bitmapSize);
    QCOMPARE(ledCellSize(bitmap.size()), cell);
    QCOMPARE(coloursIn(bitmap, bitmap.rect()), (QSet<QRgb>{kBlack, kWhite, kSilver}));
    // The lines between the rows are background.
    QCOMPARE(coloursIn(bitmap, QRect(0, cell.height(), bitmapSize.width(), 2)), QSet<QRgb>{kBlack});
    // The space lights nothing but shows unlit dots; every glyph from 33 on lights something,
    // and the full block has no unlit dot.
    const QSet<QRgb> space = coloursIn(bitmap, ledCellRect(' ', cell));
    QVERIFY(!space.contains(kWhite));
    QVERIFY(space.contains(kSilver));
    for (int code = 33; code <= 157; ++code)
        QVERIFY2(coloursIn(bitmap, ledCellRect(code, cell)).contains(kWhite), qPrintable(QString::number(code)));
    QVERIFY(!coloursIn(bitmap, ledCellRect(127, cell)).contains(kSilver));
}

void LedFontTest::recolouring()
{
    const QImage bitmap = ledFontBitmap(TLEDFontSize::fs11x13);
    const QColor lit(1, 2, 3), unlit(4, 5, 6), background(7, 8, 9);
    const QImage recoloured = recolourLedFont(bitmap, lit, unlit, background);
    QCOMPARE(recoloured.size(), bitmap.size());
    for (int y = 0; y < bitmap.height(); ++y) {
        for (int x = 0; x < bitmap.width(); ++x) {
            const QRgb before = bitmap.pixel(x, y);
            const QRgb expected = before == kWhite ? lit.rgb() : before == kSilver ? unlit.rgb() : background.rgb();
            if (recoloured.pixel(x, y) != expected)
                QFAIL(qPrintable(QString("pixel %1,%2").arg(x).arg(y)));
        }
    }
}

QTEST_GUILESS_MAIN(LedFontTest)
#include "LedFontTest.moc"
