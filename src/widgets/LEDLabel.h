#pragma once
// TLEDLabel: shows its caption as a row of LED dot-matrix character cells, and can scroll it.

#include "BevelControl.h"
#include "LEDFont.h"
#include "LEDText.h"

#include <QImage>

#include <functional>

class QTimer;

namespace tessora {

class TLEDLabel : public TBevelControl {
    Q_OBJECT
public:
    // Draws the finished off-screen bitmap in place of the label; `rect` is where it belongs.
    using DrawBitmapHandler =
        std::function<void(TLEDLabel& sender, QPainter& painter, const QImage& bitmap, const QRect& rect)>;

    explicit TLEDLabel(QWidget* parent = nullptr);

    QString caption() const { return caption_; }
    void setCaption(const QString& caption);

    TLEDFontSize fontSize() const { return fontSize_; }
    void setFontSize(TLEDFontSize font);
    QColor ledColor() const { return ledColor_; }
    void setLedColor(const QColor& color);
    QColor inactiveColor() const { return inactiveColor_; }
    void setInactiveColor(const QColor& color);
    // When false the unlit dots take the background colour.
    bool drawInactive() const { return drawInactive_; }
    void setDrawInactive(bool draw);

    int numChars() const { return numChars_; }
    void setNumChars(int numChars);  // below 0 is ignored
    // Cells lie ledSpace - 1 pixels apart; below 1 is ignored.
    int ledSpace() const { return ledSpace_; }
    void setLedSpace(int space);
    // When true the number of cells follows the caption, otherwise the width.
    bool autoSize() const { return autoSize_; }
    void setAutoSize(bool autoSize);
    TAlignment alignment() const { return alignment_; }
    void setAlignment(TAlignment alignment);

    // Milliseconds between scroll steps; below 1 is ignored.
    int scrollSpeed() const { return scrollSpeed_; }
    void setScrollSpeed(int milliseconds);
    // Scroll start and current first character; both accept 0 to the caption length only.
    // Setting the start also sets the current step.
    int startStep() const { return startStep_; }
    void setStartStep(int step);
    int currentStep() const { return currentStep_; }
    void setCurrentStep(int step);
    bool autoScroll() const { return autoScroll_; }
    void setAutoScroll(bool scroll);

    bool doubleBuffer() const { return doubleBuffer_; }
    void setDoubleBuffer(bool on);
    const DrawBitmapHandler& onDrawBitmap() const { return onDrawBitmap_; }
    void setOnDrawBitmap(DrawBitmapHandler handler);

    // The character codes of the cells as they show now, one per cell.
    QByteArray shownCodes() const;
    // The size the size rule gives for the present settings.
    QSize sizeHint() const override;

signals:
    void onBegin();
    void onStep();
    void onEnd();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void bevelChanged() override;
    void colorChanged() override;

private:
    int captionLength() const { return int(codes_.size()); }
    QSize cellSize() const;
    // Recomputes the number of cells and the widget's size from them.
    void applySize();
    void recolourFont();
    void drawCells(QPainter& painter, const QPoint& origin) const;
    void scrollTick();

    QString caption_;
    QByteArray codes_;
    TLEDFontSize fontSize_ = TLEDFontSize::fs16x20;
    QColor ledColor_;
    QColor inactiveColor_;
    bool drawInactive_ = true;
    int numChars_ = 11;
    int ledSpace_ = 1;
    bool autoSize_ = true;
    TAlignment alignment_ = TAlignment::taLeftJustify;
    int scrollSpeed_ = 100;
    int startStep_ = 0;
    int currentStep_ = 0;
    bool autoScroll_ = false;
    bool doubleBuffer_ = false;
    DrawBitmapHandler onDrawBitmap_;

    QImage fontBitmap_;  // recoloured
    QTimer* scrollTimer_;
    bool sizing_ = false;
};

}  // namespace tessora
