#include "LEDFont.h"

#include <QtGlobal>

#include <algorithm>
#include <array>
#include <cstddef>

// Resources compiled into a static library are registered only when something refers to them.
static void registerLedFontResources()
{
    Q_INIT_RESOURCE(ledfonts);
}

namespace tessora {
namespace {

constexpr int kCellsPerRow = 63;
constexpr int kFirstCode = 32;
constexpr int kFirstSecondRowCode = kFirstCode + kCellsPerRow;  // 95
constexpr int kLastCode = kFirstSecondRowCode + kCellsPerRow - 1;  // 157
constexpr int kRowGap = 2;

constexpr QRgb kBitmapBackground = qRgb(0, 0, 0);
constexpr QRgb kBitmapLit = qRgb(255, 255, 255);
constexpr QRgb kBitmapUnlit = qRgb(0xC0, 0xC0, 0xC0);

}  // namespace

QString ledFontResourceName(TLEDFontSize font)
{
    switch (font) {
    case TLEDFontSize::fs11x13:
        return QStringLiteral("FONT_11X13");
    case TLEDFontSize::fs11x13_bold:
        return QStringLiteral("FONT_11X13_BOLD");
    case TLEDFontSize::fs16x20:
        break;
    }
    return QStringLiteral("FONT_16X20");
}

QImage ledFontBitmap(TLEDFontSize font)
{
    // Decoded once; the widgets live on the GUI thread only.
    static std::array<QImage, 3> decoded;
    QImage& bitmap = decoded.at(static_cast<std::size_t>(font));
    if (bitmap.isNull()) {
        static const bool registered = (registerLedFontResources(), true);
        Q_UNUSED(registered);
        bitmap = QImage(QStringLiteral(":/") + ledFontResourceName(font), "PNG").convertToFormat(QImage::Format_RGB32);
        if (bitmap.isNull())
            qWarning("LED font %s is missing from the resources", qPrintable(ledFontResourceName(font)));
    }
    return bitmap;
}

QImage recolourLedFont(const QImage& bitmap, const QColor& lit, const QColor& unlit,
                       const QColor& background)
{
    QImage result = bitmap.convertToFormat(QImage::Format_RGB32);
    const QRgb litRgb = lit.rgb();
    const QRgb unlitRgb = unlit.rgb();
    const QRgb backgroundRgb = background.rgb();
    for (int y = 0; y < result.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x) {
            const QRgb pixel = line[x] | 0xFF000000u;
            if (pixel == kBitmapLit)
                line[x] = litRgb;
            else if (pixel == kBitmapUnlit)
                line[x] = unlitRgb;
            else if (pixel == kBitmapBackground)
                line[x] = backgroundRgb;
        }
    }
    return result;
}

QSize ledCellSize(const QSize& bitmapSize)
{
    return {bitmapSize.width() / kCellsPerRow, std::max(0, (bitmapSize.height() - kRowGap) / 2)};
}

int ledGlyphCode(unsigned char code)
{
    switch (code) {
    case 177:  // ±
        return 150;
    case 196:  // Ä
    case 228:  // ä
        return 135;
    case 214:  // Ö
    case 246:  // ö
        return 140;
    case 220:  // Ü
    case 252:  // ü
        return 137;
    case 223:  // ß
        return 149;
    default:
        return code;
    }
}

QRect ledCellRect(unsigned char code, const QSize& cell)
{
    const int glyph = ledGlyphCode(code);
    int row = 0;
    int column = 0;
    if (glyph >= kFirstCode && glyph < kFirstSecondRowCode) {
        column = glyph - kFirstCode;
    } else if (glyph >= kFirstSecondRowCode && glyph <= kLastCode) {
        row = 1;
        column = glyph - kFirstSecondRowCode;
    }
    return {QPoint(column * cell.width(), row * (cell.height() + kRowGap)), cell};
}

}  // namespace tessora
