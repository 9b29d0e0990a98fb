#pragma once
// TLEDGauge: a bar meter of LED spots showing a value from 0 to 100 in up to three colour zones.

#include "DIBCanvas.h"
#include "LEDGaugeLayout.h"

#include <array>
#include <functional>

namespace tessora {

class TLEDGauge : public TDIBGraphicControl {
    Q_OBJECT
public:
    // Draws the bar in place of the gauge into `canvas`, the off-screen image of the inside,
    // which then goes to the screen; `rect` is where the inside lies in the gauge.
    using DrawBarHandler =
        std::function<void(TLEDGauge& sender, TDIBCanvas& canvas, int litCount, const QRect& rect)>;

    explicit TLEDGauge(QWidget* parent = nullptr);

    TLEDGaugeKind kind() const { return kind_; }
    // Turns the gauge round when the new orientation does not fit its shape.
    void setKind(TLEDGaugeKind kind);
    TLEDGaugeDirection direction() const { return direction_; }
    void setDirection(TLEDGaugeDirection direction);
    // Clamped to 1 .. inner length div 3 (and again whenever the length changes).
    int spotWidth() const;
    void setSpotWidth(int width);
    // Clamped to 0 .. 10.
    int spotSpace() const { return spotSpace_; }
    void setSpotSpace(int space);

    QColor bar1Color() const { return barColors_[0]; }
    void setBar1Color(const QColor& color) { setZoneColor(barColors_[0], color); }
    QColor bar2Color() const { return barColors_[1]; }
    void setBar2Color(const QColor& color) { setZoneColor(barColors_[1], color); }
    QColor bar3Color() const { return barColors_[2]; }
    void setBar3Color(const QColor& color) { setZoneColor(barColors_[2], color); }
    QColor inactive1Color() const { return inactiveColors_[0]; }
    void setInactive1Color(const QColor& color) { setZoneColor(inactiveColors_[0], color); }
    QColor inactive2Color() const { return inactiveColors_[1]; }
    void setInactive2Color(const QColor& color) { setZoneColor(inactiveColors_[1], color); }
    QColor inactive3Color() const { return inactiveColors_[2]; }
    void setInactive3Color(const QColor& color) { setZoneColor(inactiveColors_[2], color); }

    bool activeDoted() const { return activeDoted_; }
    void setActiveDoted(bool doted);
    bool inactiveDoted() const { return inactiveDoted_; }
    void setInactiveDoted(bool doted);

    // Zone limits in percent, clamped to 1 .. 100.
    int point1() const { return point1_; }
    void setPoint1(int percent);
    int point2() const { return point2_; }
    void setPoint2(int percent);

    // The value shown, clamped to 0 .. 100. A change redraws the bar at once while the gauge
    // is shown.
    int progress() const { return progress_; }
    void setProgress(int percent);

    const DrawBarHandler& onDrawBar() const { return onDrawBar_; }
    void setOnDrawBar(DrawBarHandler handler);

    // The derived geometry and the number of spots the present value lights.
    const TGaugeLayout& layout() const;
    int litCount() const;

protected:
    void drawCanvas(TDIBCanvas& canvas) override;
    void resizeEvent(QResizeEvent* event) override;
    void bevelChanged() override;
    void colorChanged() override;

private:
    void setZoneColor(QColor& field, const QColor& color);
    // Raises the size to the least the frame leaves room for.
    void keepMinimumSize();
    void updateLayout();
    // A hidden widget hears of new bounds only when it is shown, so the derived values
    // are also brought up to date whenever they are used.
    void ensureLayout() const;
    void relayout();
    void rebuildUnlitImage();
    void drawSpot(TDIBCanvas& canvas, int spot, const QColor& color, bool doted) const;

    TLEDGaugeKind kind_ = TLEDGaugeKind::gkHorizontal;
    TLEDGaugeDirection direction_ = TLEDGaugeDirection::dirNormal;
    int spotWidth_ = 1;
    int spotSpace_ = 1;
    std::array<QColor, 3> barColors_;
    std::array<QColor, 3> inactiveColors_;
    bool activeDoted_ = false;
    bool inactiveDoted_ = false;
    int point1_ = 50;
    int point2_ = 85;
    int progress_ = 0;
    DrawBarHandler onDrawBar_;

    TGaugeLayout layout_;
    QSize layoutSize_;
    int layoutFrame_ = -1;
    int litCount_ = 0;
    TDIBCanvas unlit_;
};

}  // namespace tessora
