// The caption-to-cells rules of the LED text display, without a widget.

#include "LEDFont.h"
#include "LEDText.h"

#include <QTest>

using namespace tessora;

Q_DECLARE_METATYPE(tessora::TAlignment)

class LedTextTest : public QObject {
    Q_OBJECT
private slots:
    void codesFromCaption_data();
    void codesFromCaption();
    void window_data();
    void window();
    void sizeArithmetic_data();
    void sizeArithmetic();
    void glyphSubstitution_data();
    void glyphSubstitution();
    void cellPlacement_data();
    void cellPlacement();
};

void LedTextTest::codesFromCaption_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QByteArray>("codes");
    QTest::newRow("ascii") << "09:03 am" << QByteArray("09:03 am");
    QTest::newRow("latin-1 keeps its codes") << QString::fromUtf8("Grüß ±")
                                             << QByteArray("Gr\xFC\xDF \xB1");
    // 校 is D0 A3 and 园 D4 B0 in GBK: two blank cells each.
    QTest::newRow("chinese: a blank per gbk byte") << QString::fromUtf8("校园A") << QByteArray("\0\0\0\0A", 5);
    // 丂 is 81 40: as bytes they would show a glyph and "@".
    QTest::newRow("gbk bytes with glyph codes stay blank") << QString::fromUtf8("丂") << QByteArray(2, '\0');
    QTest::newRow("one-byte gbk character") << QString::fromUtf8("€") << QByteArray(1, '\0');
    QTest::newRow("outside gbk is one cell") << QString::fromUtf8("a😀b") << QByteArray("a\0b", 3);
    QTest::newRow("empty") << QString() << QByteArray();
}

void LedTextTest::codesFromCaption()
{
    QFETCH(QString, caption);
    QFETCH(QByteArray, codes);
    QCOMPARE(ledCodes(caption), codes);
}

void LedTextTest::window_data()
{
    QTest::addColumn<QByteArray>("codes");
    QTest::addColumn<int>("numChars");
    QTest::addColumn<TAlignment>("alignment");
    QTest::addColumn<int>("currentStep");
    QTest::addColumn<QByteArray>("shown");
    const auto left = TAlignment::taLeftJustify;
    const auto right = TAlignment::taRightJustify;
    const auto centre = TAlignment::taCenter;
    QTest::newRow("clock: one short, centred") << QByteArray("2024/01/05 09:03:07 am") << 23 << centre
                                               << 0 << QByteArray("2024/01/05 09:03:07 am ");
    QTest::newRow("short centred, odd space right") << QByteArray("ABC") << 6 << centre << 0
                                                    << QByteArray(" ABC  ");
    QTest::newRow("long centred shows the middle") << QByteArray("ABCDEFGHIJ") << 5 << centre << 0
                                                   << QByteArray("CDEFG");
    QTest::newRow("long centred, odd excess") << QByteArray("ABCDEFGHIJK") << 4 << centre << 0
                                              << QByteArray("DEFG");
    QTest::newRow("long right shows the tail") << QByteArray("ABCDEFGHIJ") << 5 << right << 0
                                               << QByteArray("FGHIJ");
    QTest::newRow("short right padded left") << QByteArray("ABC") << 6 << right << 0
                                             << QByteArray("   ABC");
    QTest::newRow("left from the current step") << QByteArray("ABCDEFGHIJ") << 4 << left << 3
                                                << QByteArray("DEFG");
    QTest::newRow("left near the end padded") << QByteArray("ABCDEF") << 4 << left << 4
                                              << QByteArray("EF  ");
    QTest::newRow("left past the end is blank") << QByteArray("AB") << 3 << left << 5
                                                << QByteArray("   ");
    QTest::newRow("no cells") << QByteArray("ABC") << 0 << centre << 0 << QByteArray();
}

void LedTextTest::window()
{
    QFETCH(QByteArray, codes);
    QFETCH(int, numChars);
    QFETCH(TAlignment, alignment);
    QFETCH(int, currentStep);
    QFETCH(QByteArray, shown);
    QCOMPARE(ledWindow(codes, numChars, alignment, currentStep), shown);
}

void LedTextTest::sizeArithmetic_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("ledSpace");
    QTest::addColumn<int>("frame");
    QTest::addColumn<int>("cellWidth");
    QTest::addColumn<int>("cells");
    QTest::addColumn<int>("fittedWidth");
    QTest::newRow("clock panel") << 259 << 1 << 3 << 11 << 23 << 259;
    QTest::newRow("a little wider keeps 23") << 269 << 1 << 3 << 11 << 23 << 259;
    QTest::newRow("spaced cells") << 100 << 3 << 1 << 16 << 5 << 90;
    QTest::newRow("too narrow for one") << 8 << 1 << 3 << 11 << 0 << 6;
    QTest::newRow("narrower than the frame") << 0 << 1 << 10 << 11 << 0 << 20;
}

void LedTextTest::sizeArithmetic()
{
    QFETCH(int, width);
    QFETCH(int, ledSpace);
    QFETCH(int, frame);
    QFETCH(int, cellWidth);
    QFETCH(int, cells);
    QFETCH(int, fittedWidth);
    QCOMPARE(ledCellsForWidth(width, ledSpace, frame, cellWidth), cells);
    QCOMPARE(ledWidthForCells(cells, ledSpace, frame, cellWidth), fittedWidth);
}

void LedTextTest::glyphSubstitution_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("glyph");
    const int table[][2] = {{177, 150}, {196, 135}, {228, 135}, {214, 140}, {246, 140},
                            {220, 137}, {252, 137}, {223, 149}, {65, 65},   {200, 200}};
    for (const auto& row : table)
        QTest::addRow("%d", row[0]) << row[0] << row[1];
}

void LedTextTest::glyphSubstitution()
{
    QFETCH(int, code);
    QFETCH(int, glyph);
    QCOMPARE(ledGlyphCode(static_cast<unsigned char>(code)), glyph);
}

void LedTextTest::cellPlacement_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QPoint>("topLeft");
    // Cells of 11 x 13: row 1 starts at y = 13 + 2.
    QTest::newRow("space") << 32 << QPoint(0, 0);
    QTest::newRow("A") << 65 << QPoint(33 * 11, 0);
    QTest::newRow("^ ends row 0") << 94 << QPoint(62 * 11, 0);
    QTest::newRow("_ starts row 1") << 95 << QPoint(0, 15);
    QTest::newRow("157 ends row 1") << 157 << QPoint(62 * 11, 15);
    QTest::newRow("ü takes glyph 137") << 252 << QPoint(42 * 11, 15);
    QTest::newRow("158 is blank") << 158 << QPoint(0, 0);
    QTest::newRow("control code is blank") << 7 << QPoint(0, 0);
    QTest::newRow("gbk lead byte is blank") << 0xD0 << QPoint(0, 0);
}

void LedTextTest::cellPlacement()
{
    QFETCH(int, code);
    QFETCH(QPoint, topLeft);
    QCOMPARE(ledCellRect(static_cast<unsigned char>(code), QSize(11, 13)), QRect(topLeft, QSize(11, 13)));
}

QTEST_GUILESS_MAIN(LedTextTest)
#include "LedTextTest.moc"
