#pragma once
// Turns the glyph table into the LED font bitmaps: two rows of 63 cells, a black background,
// white lit dots and silver unlit dots.

#include <QImage>
#include <QSize>
#include <QString>

#include <vector>

namespace tessora::fontgen {

// How one font lays the 5 x 7 dot matrix into its cells.
struct FontStyle {
    QString fileName;
    int bitmapWidth = 0;  // 63 cells, plus spare columns where the bitmap is wider
    QSize cell;
    int pitch = 0;        // distance between neighbouring dots, both ways
    int originX = 0;      // left edge of the first dot column inside a cell
    QSize litDot;         // a lit dot may be wider than an unlit one (the bold face)
    QSize unlitDot;
};

// The three faces the LED text display reads from the resources.
const std::vector<FontStyle>& ledFontStyles();

QImage renderFont(const FontStyle& style);

}  // namespace tessora::fontgen
