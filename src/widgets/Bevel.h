#pragma once
// The bevelled frame around the LED widgets: an optional single line, an outer bevel, a border,
// an inner bevel and a border space, drawn from the outside in.

#include "ChangeValue.h"

#include <QColor>
#include <QObject>
#include <QPalette>
#include <QRect>

#include <algorithm>

class QPainter;

namespace tessora {

enum class TBevelCut { bvNone, bvLowered, bvRaised };
enum class TBorderStyle { bsNone, bsSingle };

class TBevel : public QObject {
    Q_OBJECT
public:
    // The border and bevel colours are the palette's button face, light and shadow colours,
    // and follow the palette until they are set.
    explicit TBevel(const QPalette& palette, QObject* parent = nullptr);
    void followPalette(const QPalette& palette);

    TBevelCut bevelInner() const { return inner_; }
    void setBevelInner(TBevelCut cut) { assign(inner_, cut); }
    TBevelCut bevelOuter() const { return outer_; }
    void setBevelOuter(TBevelCut cut) { assign(outer_, cut); }
    // Widths below 0 count as 0.
    int bevelInnerWidth() const { return innerWidth_; }
    void setBevelInnerWidth(int width) { assign(innerWidth_, std::max(0, width)); }
    int bevelOuterWidth() const { return outerWidth_; }
    void setBevelOuterWidth(int width) { assign(outerWidth_, std::max(0, width)); }
    TBorderStyle borderStyle() const { return borderStyle_; }
    void setBorderStyle(TBorderStyle style) { assign(borderStyle_, style); }
    int borderWidth() const { return borderWidth_; }
    void setBorderWidth(int width) { assign(borderWidth_, std::max(0, width)); }
    int borderSpace() const { return borderSpace_; }
    void setBorderSpace(int width) { assign(borderSpace_, std::max(0, width)); }

    QColor borderColor() const { return borderColor_.color; }
    void setBorderColor(const QColor& color) { setPaletteColor(borderColor_, color); }
    QColor borderSpaceColor() const { return borderSpaceColor_; }
    void setBorderSpaceColor(const QColor& color) { assign(borderSpaceColor_, color); }
    QColor innerLightColor() const { return innerLight_.color; }
    void setInnerLightColor(const QColor& color) { setPaletteColor(innerLight_, color); }
    QColor outerLightColor() const { return outerLight_.color; }
    void setOuterLightColor(const QColor& color) { setPaletteColor(outerLight_, color); }
    QColor innerShadowColor() const { return innerShadow_.color; }
    void setInnerShadowColor(const QColor& color) { setPaletteColor(innerShadow_, color); }
    QColor outerShadowColor() const { return outerShadow_.color; }
    void setOuterShadowColor(const QColor& color) { setPaletteColor(outerShadow_, color); }

    // Total width of the frame on each side.
    int width() const;
    // Draws the frame along the edges of `outer`; the inside is left alone.
    void paint(QPainter& painter, const QRect& outer) const;

signals:
    void changed();

private:
    // A colour taken from the palette, until it is set by hand.
    struct PaletteColor {
        QPalette::ColorRole role;
        QColor color;
        bool followsPalette = true;
    };

    void setPaletteColor(PaletteColor& field, const QColor& color);

    template <typename T>
    void assign(T& field, const T& value)
    {
        if (changeValue(field, value))
            emit changed();
    }

    TBevelCut inner_ = TBevelCut::bvNone;
    TBevelCut outer_ = TBevelCut::bvLowered;
    int innerWidth_ = 1;
    int outerWidth_ = 1;
    TBorderStyle borderStyle_ = TBorderStyle::bsNone;
    int borderWidth_ = 0;
    int borderSpace_ = 0;
    QColor borderSpaceColor_ = Qt::black;
    PaletteColor borderColor_{QPalette::Button, {}};
    PaletteColor innerLight_{QPalette::Light, {}};
    PaletteColor outerLight_{QPalette::Light, {}};
    PaletteColor innerShadow_{QPalette::Dark, {}};
    PaletteColor outerShadow_{QPalette::Dark, {}};
};

}  // namespace tessora
