#pragma once
// Off-screen drawing for the LED widgets: an image canvas, and a bevelled control that paints
// its inside from such a canvas in one copy, so that it can redraw at once without flicker.

#include "BevelControl.h"

#include <QImage>

namespace tessora {

class TDIBCanvas {
public:
    QSize size() const { return image_.size(); }
    // A new size starts filled with `background`; the same size keeps the picture.
    void setSize(const QSize& size, const QColor& background);

    const QImage& image() const { return image_; }
    QImage& image() { return image_; }

    void fill(const QColor& color);
    // Fills the part of `area` that lies on the canvas.
    void fillRect(const QRect& area, const QColor& color);
    // Paints every other pixel of `area`, in a checkerboard, and leaves the rest as it is.
    void fillDotted(const QRect& area, const QColor& color);
    // Takes the picture of `other`, which must have the same size.
    void copyFrom(const TDIBCanvas& other);
    void drawOn(QPainter& painter, const QPoint& at) const;

private:
    QImage image_;
};

class TDIBGraphicControl : public TBevelControl {
    Q_OBJECT
public:
    explicit TDIBGraphicControl(QWidget* parent = nullptr);

protected:
    // The output image, the size of the inner rectangle.
    TDIBCanvas& canvas() { return canvas_; }
    // Brings the output image to the inner rectangle's size.
    void fitCanvas();
    // Draws the inside into the output image.
    virtual void drawCanvas(TDIBCanvas& canvas) = 0;
    // Puts a fresh picture of the inside on the screen now, unless the widget is not shown.
    void redrawNow();

    void paintEvent(QPaintEvent* event) override;

private:
    TDIBCanvas canvas_;
};

}  // namespace tessora
