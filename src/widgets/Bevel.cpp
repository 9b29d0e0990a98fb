#include "Bevel.h"

#include <QPainter>
#include <QSignalBlocker>

namespace tessora {
namespace {

// The line of the single frame; the classic window-frame colour.
const QColor kFrameLine = Qt::black;

// Fills a ring `width` pixels wide along the inside of `r`, and returns what is left inside it.
QRect fillRing(QPainter& painter, const QRect& r, int width, const QColor& color)
{
    if (width <= 0 || r.isEmpty())
        return r;
    const QRect inside = r.adjusted(width, width, -width, -width);
    QRegion ring(r);
    ring -= inside.isValid() ? QRegion(inside) : QRegion();
    for (const QRect& part : ring)
        painter.fillRect(part, color);
    return inside;
}

// A bevel `width` pixels deep: top and left lines in one colour, bottom and right in the other.
QRect drawBevel(QPainter& painter, QRect r, int width, TBevelCut cut, const QColor& light,
                const QColor& shadow)
{
    if (cut == TBevelCut::bvNone)
        return r;
    const QColor& topLeft = cut == TBevelCut::bvLowered ? shadow : light;
    const QColor& bottomRight = cut == TBevelCut::bvLowered ? light : shadow;
    for (int i = 0; i < width && !r.isEmpty(); ++i) {
        painter.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), topLeft);
        painter.fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), topLeft);
        painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
        painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
        r.adjust(1, 1, -1, -1);
    }
    return r;
}

}  // namespace

TBevel::TBevel(const QPalette& palette, QObject* parent) : QObject(parent)
{
    QSignalBlocker quiet(this);
    followPalette(palette);
}

void TBevel::followPalette(const QPalette& palette)
{
    bool changed = false;
    for (PaletteColor* field : {&borderColor_, &innerLight_, &outerLight_, &innerShadow_, &outerShadow_}) {
        if (field->followsPalette)
            changed = changeValue(field->color, palette.color(field->role)) || changed;
    }
    if (changed)
        emit this->changed();
}

void TBevel::setPaletteColor(PaletteColor& field, const QColor& color)
{
    field.followsPalette = false;
    assign(field.color, color);
}

int TBevel::width() const
{
    int width = borderWidth_ + borderSpace_;
    if (outer_ != TBevelCut::bvNone)
        width += outerWidth_;
    if (inner_ != TBevelCut::bvNone)
        width += innerWidth_;
    if (borderStyle_ != TBorderStyle::bsNone)
        width += 1;
    return width;
}

void TBevel::paint(QPainter& painter, const QRect& outer) const
{
    QRect r = outer;
    if (borderStyle_ != TBorderStyle::bsNone)
        r = fillRing(painter, r, 1, kFrameLine);
    r = drawBevel(painter, r, outerWidth_, outer_, outerLight_.color, outerShadow_.color);
    r = fillRing(painter, r, borderWidth_, borderColor_.color);
    r = drawBevel(painter, r, innerWidth_, inner_, innerLight_.color, innerShadow_.color);
    fillRing(painter, r, borderSpace_, borderSpaceColor_);
}

}  // namespace tessora
