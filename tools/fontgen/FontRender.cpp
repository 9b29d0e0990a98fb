#include "FontRender.h"

#include "GlyphTable.h"

#include <QPainter>

#include <stdexcept>

namespace tessora::fontgen {
namespace {

constexpr int kCellsPerRow = 63;
constexpr int kRowGap = 2;  // black lines between the two rows of cells
const QColor kBackground(0, 0, 0);
const QColor kLit(255, 255, 255);
const QColor kUnlit(0xC0, 0xC0, 0xC0);

QPoint cellOrigin(int code, QSize cell)
{
    const int row = code < kFirstGlyph + kCellsPerRow ? 0 : 1;
    const int column = code - kFirstGlyph - row * kCellsPerRow;
    return {column * cell.width(), row * (cell.height() + kRowGap)};
}

bool isLit(const GlyphPattern& pattern, int code, int column, int row)
{
    const char dot = pattern[row].size() == kGlyphColumns ? pattern[row][column] : '?';
    if (dot != '#' && dot != '.')
        throw std::logic_error("malformed pattern of glyph " + std::to_string(code));
    return dot == '#';
}

void drawGlyph(QPainter& painter, const FontStyle& style, int code)
{
    const GlyphPattern& pattern = glyphPattern(code);
    const QPoint origin = cellOrigin(code, style.cell);
    for (int row = 0; row < kGlyphRows; ++row) {
        for (int column = 0; column < kGlyphColumns; ++column) {
            const QPoint dot = origin + QPoint(style.originX + column * style.pitch, row * style.pitch);
            const bool lit = isLit(pattern, code, column, row);
            const QRect area(dot, lit ? style.litDot : style.unlitDot);
            painter.fillRect(area, lit ? kLit : kUnlit);
        }
    }
}

}  // namespace

const std::vector<FontStyle>& ledFontStyles()
{
    // 11 x 13: single-pixel dots two pixels apart; the bold face lights two pixels per dot.
    // 16 x 20: 2 x 2 dots three pixels apart fill the cell's height exactly.
    static const std::vector<FontStyle> styles = {
        {"font_11x13.png", 693, {11, 13}, 2, 1, {1, 1}, {1, 1}},
        {"font_11x13_bold.png", 694, {11, 13}, 2, 1, {2, 1}, {1, 1}},
        {"font_16x20.png", 1008, {16, 20}, 3, 1, {2, 2}, {2, 2}},
    };
    return styles;
}

QImage renderFont(const FontStyle& style)
{
    QImage image(style.bitmapWidth, 2 * style.cell.height() + kRowGap, QImage::Format_RGB32);
    image.fill(kBackground);
    QPainter painter(&image);
    for (int code = kFirstGlyph; code <= kLastGlyph; ++code)
        drawGlyph(painter, style, code);
    return image;
}

}  // namespace tessora::fontgen
