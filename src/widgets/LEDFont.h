#pragma once
// The dot-matrix fonts of the LED text display. Each bitmap holds two rows of 63 cells, row 0
// with the glyph codes 32 to 94 and row 1, two lines further down, with 95 to 157; black is the
// background, white a lit dot and silver an unlit dot.

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>

namespace tessora {

enum class TLEDFontSize { fs11x13 = 0, fs16x20 = 1, fs11x13_bold = 2 };

// The name of the font's bitmap in the resources ("FONT_11X13", ...).
QString ledFontResourceName(TLEDFontSize font);
// The font bitmap as stored, in QImage::Format_RGB32 (decoded once; call from the GUI thread).
// A missing one gives a null image.
QImage ledFontBitmap(TLEDFontSize font);

// The bitmap with white turned into `lit`, silver into `unlit` and black into `background`.
QImage recolourLedFont(const QImage& bitmap, const QColor& lit, const QColor& unlit,
                       const QColor& background);

// Cell width is the bitmap width div 63, cell height (bitmap height - 2) div 2.
QSize ledCellSize(const QSize& bitmapSize);

// The glyph a character code shows: a few Latin-1 letters take the font's own glyphs.
int ledGlyphCode(unsigned char code);
// Where the cell of character code `code` lies in the bitmap; codes without a glyph take the
// blank cell of the space.
QRect ledCellRect(unsigned char code, const QSize& cell);

}  // namespace tessora
