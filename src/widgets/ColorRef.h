#pragma once
// Colours of the LED widgets as the stored settings and the widgets' defaults give them:
// 0x00BBGGRR numbers (65280 is pure green, 16776960 aqua).

#include <QColor>

namespace tessora {

constexpr QRgb rgbFromColorRef(quint32 colorRef)
{
    return qRgb(colorRef & 0xFF, (colorRef >> 8) & 0xFF, (colorRef >> 16) & 0xFF);
}

inline QColor colorFromRef(quint32 colorRef)
{
    return QColor::fromRgb(rgbFromColorRef(colorRef));
}

inline quint32 colorRefFrom(const QColor& color)
{
    return quint32(color.red()) | (quint32(color.green()) << 8) | (quint32(color.blue()) << 16);
}

}  // namespace tessora
