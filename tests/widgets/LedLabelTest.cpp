// The LED text display as a widget: its size rule, the pixels of its cells, scrolling.

#include "ColorRef.h"
#include "LEDLabel.h"
#include "WidgetTestSupport.h"

#include <QPainter>
#include <QSignalSpy>

using namespace tessora;
using tessora::test::grabbed;

Q_DECLARE_METATYPE(tessora::TAlignment)
Q_DECLARE_METATYPE(tessora::TLEDFontSize)

namespace {

const QColor kAqua = colorFromRef(16776960);
const QColor kGreen = colorFromRef(65280);
const QColor kDarkGreen = colorFromRef(32768);

// The clock of the main window: bold 11 x 13, aqua, centred, 259 pixels wide.
void makeClock(TLEDLabel& label)
{
    label.setFontSize(TLEDFontSize::fs11x13_bold);
    label.setLedColor(kAqua);
    label.setAlignment(TAlignment::taCenter);
    label.setAutoSize(false);
    label.setGeometry(4, 0, 259, 19);
}

// The picture glyph `glyph` has in `label`'s font and colours, found from the glyph's place in
// the font layout: row 0 holds 32..94, row 1 (two lines below) 95..157.
QImage expectedCell(const TLEDLabel& label, int glyph)
{
    const QImage font = recolourLedFont(ledFontBitmap(label.fontSize()), label.ledColor(),
                                        label.drawInactive() ? label.inactiveColor() : label.color(),
                                        label.color());
    const QSize cell = ledCellSize(font.size());
    const int row = glyph < 95 ? 0 : 1;
    const int column = glyph - (row == 0 ? 32 : 95);
    return font.copy(QRect(QPoint(column * cell.width(), row * (cell.height() + 2)), cell));
}

QImage shownCell(TLEDLabel& label, int index)
{
    const QSize cell = ledCellSize(ledFontBitmap(label.fontSize()).size());
    const int b = label.bevel().width();
    const int pitch = cell.width() + label.ledSpace() - 1;
    return grabbed(label).copy(QRect(QPoint(b + index * pitch, b), cell));
}

void compareCells(TLEDLabel& label, const QByteArray& glyphs)
{
    QCOMPARE(label.numChars(), int(glyphs.size()));
    for (int i = 0; i < glyphs.size(); ++i) {
        if (shownCell(label, i) != expectedCell(label, static_cast<unsigned char>(glyphs.at(i))))
            QFAIL(qPrintable(QString("cell %1 does not show glyph %2").arg(i).arg(int(uchar(glyphs.at(i))))));
    }
}

}  // namespace

class LedLabelTest : public QObject {
    Q_OBJECT
private slots:
    void defaults();
    void clockConfiguration();
    void cellCountFollowsNumCharsWithFixedWidth();
    void autoSizeFollowsTheCaption();
    void fontChangeResizes();
    void bevelChangeResizes();
    void cellsShowTheirGlyphs_data();
    void cellsShowTheirGlyphs();
    void chineseCaptionShowsBlankCells();
    void unlitDotsVanishWithoutDrawInactive();
    void colourChangesRecolourTheFont();
    void ledSpaceSpreadsTheCells();
    void valuesBelowOneAreIgnored();
    void stepsAcceptOnlyTheCaptionRange();
    void doubleBufferPaintsTheSame();
    void drawBitmapHandlerDrawsInstead();
    void scrollingRunsAndLoops();
    void scrollStartResetsAStepPastTheEnd();
};

void LedLabelTest::defaults()
{
    TLEDLabel label;
    QCOMPARE(label.size(), QSize(11, 13));
    QCOMPARE(label.numChars(), 11);
    QCOMPARE(label.bevel().borderSpace(), 2);
    QCOMPARE(label.bevel().width(), 3);
    QCOMPARE(label.caption(), QString());
    QCOMPARE(label.fontSize(), TLEDFontSize::fs16x20);
    QCOMPARE(label.ledColor(), kGreen);
    QCOMPARE(label.inactiveColor(), kDarkGreen);
    QVERIFY(label.drawInactive());
    QCOMPARE(label.color(), QColor(Qt::black));
    QCOMPARE(label.ledSpace(), 1);
    QVERIFY(label.autoSize());
    QCOMPARE(label.alignment(), TAlignment::taLeftJustify);
    QCOMPARE(label.scrollSpeed(), 100);
    QCOMPARE(label.startStep(), 0);
    QCOMPARE(label.currentStep(), 0);
    QVERIFY(!label.autoScroll());
    QVERIFY(!label.doubleBuffer());
}

void LedLabelTest::clockConfiguration()
{
    test::ShownHost host;
    TLEDLabel clock(&host);
    clock.setCaption("...");
    makeClock(clock);
    clock.show();
    QCOMPARE(clock.numChars(), 23);
    QCOMPARE(clock.size(), QSize(259, 19));
    QCOMPARE(clock.sizeHint(), QSize(259, 19));
    // The clock text changes every second; the size stays.
    clock.setCaption("2024/01/05 09:03:07 am");
    QCOMPARE(clock.size(), QSize(259, 19));
    QCOMPARE(clock.numChars(), 23);
}

void LedLabelTest::cellCountFollowsNumCharsWithFixedWidth()
{
    TLEDLabel label;
    label.setFontSize(TLEDFontSize::fs11x13_bold);
    label.setAutoSize(false);
    label.setNumChars(23);
    QCOMPARE(label.numChars(), 23);
    QCOMPARE(label.size(), QSize(259, 19));
    label.setNumChars(-1);
    QCOMPARE(label.numChars(), 23);
}

void LedLabelTest::autoSizeFollowsTheCaption()
{
    TLEDLabel label;
    label.setCaption("ABCD");
    QCOMPARE(label.numChars(), 4);
    QCOMPARE(label.size(), QSize(6 + 16 * 4, 6 + 20));
    label.setCaption(QString::fromUtf8("校园"));
    QCOMPARE(label.numChars(), 4);
    label.setCaption("");
    QCOMPARE(label.numChars(), 0);
    QCOMPARE(label.size(), QSize(6, 26));
}

void LedLabelTest::fontChangeResizes()
{
    TLEDLabel label;
    label.setCaption("AB");
    QCOMPARE(label.size(), QSize(38, 26));
    label.setFontSize(TLEDFontSize::fs11x13);
    QCOMPARE(label.size(), QSize(28, 19));
}

void LedLabelTest::bevelChangeResizes()
{
    TLEDLabel label;
    label.setCaption("AB");
    label.bevel().setBorderSpace(0);
    QCOMPARE(label.size(), QSize(2 + 32, 2 + 20));
}

void LedLabelTest::cellsShowTheirGlyphs_data()
{
    QTest::addColumn<TLEDFontSize>("font");
    QTest::addColumn<TAlignment>("alignment");
    QTest::addColumn<int>("numChars");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QByteArray>("glyphs");
    const auto bold = TLEDFontSize::fs11x13_bold;
    QTest::newRow("clock: no blank left, one right")
        << bold << TAlignment::taCenter << 23 << "2024/01/05 09:03:07 am" << QByteArray("2024/01/05 09:03:07 am ");
    QTest::newRow("long caption centred shows its middle")
        << TLEDFontSize::fs11x13 << TAlignment::taCenter << 6 << "Tessora broadcast" << QByteArray("ra bro");
    QTest::newRow("long caption right-justified shows its tail")
        << TLEDFontSize::fs16x20 << TAlignment::taRightJustify << 6 << "Tessora broadcast" << QByteArray("adcast");
    QTest::newRow("short caption right-justified")
        << bold << TAlignment::taRightJustify << 5 << "am" << QByteArray("   am");
    QTest::newRow("umlauts, sharp s and plus-minus take their glyphs")
        << TLEDFontSize::fs11x13 << TAlignment::taLeftJustify << 6 << QString::fromUtf8("ÄöÜß±x")
        << QByteArray("\x87\x8C\x89\x95\x96x");
    QTest::newRow("codes without a glyph are blank")
        << TLEDFontSize::fs11x13 << TAlignment::taLeftJustify << 3 << QString::fromUtf8("é\tA") << QByteArray("  A");
}

void LedLabelTest::cellsShowTheirGlyphs()
{
    QFETCH(TLEDFontSize, font);
    QFETCH(TAlignment, alignment);
    QFETCH(int, numChars);
    QFETCH(QString, caption);
    QFETCH(QByteArray, glyphs);
    test::ShownHost host;
    TLEDLabel label(&host);
    label.setFontSize(font);
    label.setLedColor(kAqua);
    label.setAlignment(alignment);
    label.setAutoSize(false);
    label.setNumChars(numChars);
    label.setCaption(caption);
    label.show();
    compareCells(label, glyphs);
}

void LedLabelTest::chineseCaptionShowsBlankCells()
{
    test::ShownHost host;
    TLEDLabel label(&host);
    // 丂 (GBK 81 40) has bytes that would have glyphs of their own.
    label.setCaption(QString::fromUtf8("校园广播丂"));
    label.show();
    QCOMPARE(label.numChars(), 10);
    const QImage blank = expectedCell(label, ' ');
    for (int i = 0; i < 10; ++i)
        QCOMPARE(shownCell(label, i), blank);
    QCOMPARE(test::countPixels(grabbed(label), label.ledColor()), 0);
}

void LedLabelTest::unlitDotsVanishWithoutDrawInactive()
{
    test::ShownHost host;
    TLEDLabel label(&host);
    label.setCaption("8 8");
    label.show();
    const int litPixels = test::countPixels(grabbed(label), kGreen);
    QVERIFY(test::countPixels(grabbed(label), kDarkGreen) > 0);
    label.setDrawInactive(false);
    QCOMPARE(test::countPixels(grabbed(label), kDarkGreen), 0);
    QCOMPARE(test::countPixels(grabbed(label), kGreen), litPixels);
}

void LedLabelTest::colourChangesRecolourTheFont()
{
    test::ShownHost host;
    TLEDLabel label(&host);
    label.setCaption("8");
    label.show();
    const QImage before = grabbed(label);
    const int lit = test::countPixels(before, kGreen);
    const int unlit = test::countPixels(before, kDarkGreen);
    const int background = test::countPixels(before, Qt::black);
    label.setLedColor(Qt::red);
    label.setInactiveColor(Qt::blue);
    const QColor newBackground(1, 2, 3);
    label.setColor(newBackground);
    const QImage after = grabbed(label);
    QCOMPARE(test::countPixels(after, Qt::red), lit);
    QCOMPARE(test::countPixels(after, Qt::blue), unlit);
    // The border space keeps its own black; the background of the cells follows Color.
    const int newBackgroundPixels = test::countPixels(after, newBackground);
    QVERIFY(newBackgroundPixels > 0);
    QCOMPARE(test::countPixels(after, Qt::black), background - newBackgroundPixels);
}

void LedLabelTest::ledSpaceSpreadsTheCells()
{
    test::ShownHost host;
    TLEDLabel label(&host);
    label.setFontSize(TLEDFontSize::fs11x13);
    label.setColor(QColor(9, 9, 9));
    label.setCaption("ABC");
    label.setLedSpace(4);
    label.show();
    QCOMPARE(label.size(), QSize(6 + (11 + 3) * 3 - 3, 19));
    compareCells(label, "ABC");
    // Between the cells lies the background.
    const QImage image = grabbed(label);
    for (int x = 3 + 11; x < 3 + 14; ++x)
        QCOMPARE(QColor(image.pixel(x, 8)), QColor(9, 9, 9));
}

void LedLabelTest::valuesBelowOneAreIgnored()
{
    TLEDLabel label;
    label.setLedSpace(3);
    label.setLedSpace(0);
    QCOMPARE(label.ledSpace(), 3);
    label.setLedSpace(-2);
    QCOMPARE(label.ledSpace(), 3);
    // A scroll interval of 0 would step as fast as the event loop turns.
    label.setScrollSpeed(40);
    label.setScrollSpeed(0);
    QCOMPARE(label.scrollSpeed(), 40);
}

void LedLabelTest::stepsAcceptOnlyTheCaptionRange()
{
    TLEDLabel label;
    label.setCaption("ABCDE");
    label.setCurrentStep(6);
    QCOMPARE(label.currentStep(), 0);
    label.setCurrentStep(-1);
    QCOMPARE(label.currentStep(), 0);
    label.setCurrentStep(5);
    QCOMPARE(label.currentStep(), 5);
    label.setStartStep(2);
    QCOMPARE(label.startStep(), 2);
    QCOMPARE(label.currentStep(), 2);
    label.setStartStep(9);
    QCOMPARE(label.startStep(), 2);
    QCOMPARE(label.shownCodes(), QByteArray("CDE  "));
}

void LedLabelTest::doubleBufferPaintsTheSame()
{
    test::ShownHost host;
    TLEDLabel label(&host);
    label.setCaption("09:03 am");
    label.show();
    const QImage direct = grabbed(label);
    label.setDoubleBuffer(true);
    QCOMPARE(grabbed(label), direct);
}

void LedLabelTest::drawBitmapHandlerDrawsInstead()
{
    test::ShownHost host;
    TLEDLabel label(&host);
    label.setCaption("AB");
    label.show();
    QSize bitmapSize;
    QRect where;
    label.setOnDrawBitmap([&](TLEDLabel& sender, QPainter& painter, const QImage& bitmap, const QRect& rect) {
        QCOMPARE(&sender, &label);
        bitmapSize = bitmap.size();
        where = rect;
        painter.fillRect(rect, Qt::magenta);
    });
    // Without double buffering the handler is not asked.
    QCOMPARE(test::countPixels(grabbed(label), Qt::magenta), 0);
    label.setDoubleBuffer(true);
    const QImage image = grabbed(label);
    QCOMPARE(where, label.innerRect());
    QCOMPARE(bitmapSize, label.innerRect().size());
    QCOMPARE(test::countPixels(image, Qt::magenta), where.width() * where.height());
}

void LedLabelTest::scrollingRunsAndLoops()
{
    TLEDLabel label;
    label.setCaption("ABC");
    label.setAlignment(TAlignment::taRightJustify);
    label.setScrollSpeed(5);
    QSignalSpy begins(&label, &TLEDLabel::onBegin);
    QSignalSpy steps(&label, &TLEDLabel::onStep);
    QSignalSpy ends(&label, &TLEDLabel::onEnd);
    QList<int> stepsSeen;
    connect(&label, &TLEDLabel::onStep, [&] { stepsSeen << label.currentStep(); });
    int stepAtEnd = -1;
    connect(&label, &TLEDLabel::onEnd, [&] {
        if (stepAtEnd < 0)
            stepAtEnd = label.currentStep();
    });
    label.setAutoScroll(true);
    QCOMPARE(begins.count(), 1);
    QCOMPARE(label.alignment(), TAlignment::taLeftJustify);
    QVERIFY(ends.wait(10000));
    // 0 -> 1 -> 2 step, 3 is the end and goes back to the start.
    QCOMPARE(stepsSeen.mid(0, 2), (QList<int>{1, 2}));
    QCOMPARE(stepAtEnd, 0);
    label.setAutoScroll(false);
    const int stepsSoFar = steps.count() + ends.count();
    QTest::qWait(60);
    QCOMPARE(steps.count() + ends.count(), stepsSoFar);
    QCOMPARE(begins.count(), 1);
}

void LedLabelTest::scrollStartResetsAStepPastTheEnd()
{
    TLEDLabel label;
    label.setCaption("ABCDEF");
    label.setCurrentStep(5);
    label.setCaption("AB");
    label.setAutoScroll(true);
    QCOMPARE(label.currentStep(), 0);
    label.setAutoScroll(false);
}

QTEST_MAIN(LedLabelTest)
#include "LedLabelTest.moc"
