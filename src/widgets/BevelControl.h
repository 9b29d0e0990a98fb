#pragma once
// The base of the LED widgets: a widget with a bevel frame whose inside is filled with `Color`.

#include "Bevel.h"

#include <QWidget>

namespace tessora {

class TBevelControl : public QWidget {
    Q_OBJECT
public:
    explicit TBevelControl(QWidget* parent = nullptr);

    TBevel& bevel() { return *bevel_; }
    const TBevel& bevel() const { return *bevel_; }

    QColor color() const { return color_; }
    void setColor(const QColor& color);

    // The widget less the bevel width on every side.
    QRect innerRect() const;

protected:
    // Draws the frame and fills the inside with `Color`.
    void paintFrame(QPainter& painter) const;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    // Called after the frame or the colour has changed.
    virtual void bevelChanged() { update(); }
    virtual void colorChanged() { update(); }

private:
    TBevel* bevel_;
    QColor color_ = Qt::black;
};

}  // namespace tessora
