// tessora-gallery: renders the LED widgets in the main window's configurations, and a few
// others, into one PNG picture.  Usage: tessora-gallery OUTPUT.png

#include "ColorRef.h"
#include "LEDGauge.h"
#include "LEDLabel.h"

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QTextStream>

namespace {

using namespace tessora;

const QColor kPanelColor(0x2B, 0x30, 0x38);
const QColor kTextColor(0xE0, 0xE4, 0xEA);
constexpr int kLeft = 12;
constexpr int kColumn2 = 300;

class Gallery : public QWidget {
public:
    Gallery()
    {
        setAutoFillBackground(true);
        QPalette p = palette();
        p.setColor(QPalette::Window, kPanelColor);
        p.setColor(QPalette::WindowText, kTextColor);
        setPalette(p);
        addClock();
        addChannelGauges();
        addOtherLabels();
        addOtherGauges();
        resize(600, bottom_ + 12);
    }

    // The clock once more, three times as large, to show its dots.
    void addEnlargedClock()
    {
        const int y = bottom_ + 8;
        heading("The clock, enlarged three times", kLeft, y);
        auto* enlarged = new QLabel(this);
        const QPixmap picture = clock_->grab();
        enlarged->setPixmap(picture.scaled(picture.size() * 3, Qt::IgnoreAspectRatio, Qt::FastTransformation));
        enlarged->move(kLeft, y + 20);
        enlarged->adjustSize();
        enlarged->show();
        bottom_ = y + 20 + enlarged->height();
        resize(std::max(width(), kLeft * 2 + enlarged->width()), bottom_ + 12);
    }

private:
    void heading(const QString& text, int x, int y)
    {
        auto* label = new QLabel(text, this);
        label->move(x, y);
        label->adjustSize();
        label->show();  // also when the gallery is already on screen
    }

    void addClock()
    {
        heading("Clock (main window): bold 11 x 13, aqua, centred, 23 cells", kLeft, 8);
        auto* clock = clock_ = new TLEDLabel(this);
        clock->setFontSize(TLEDFontSize::fs11x13_bold);
        clock->setLedColor(colorFromRef(16776960));
        clock->setAlignment(TAlignment::taCenter);
        clock->setAutoSize(false);
        clock->setGeometry(kLeft, 28, 259, 19);
        clock->setCaption("2024/01/05 09:03:07 am");
    }

    void addChannelGauges()
    {
        heading("Channel level gauges: 167 x 13, defaults", kLeft, 60);
        const int levels[][2] = {{62, 48}, {100, 93}, {30, 12}, {0, 0}};
        int y = 80;
        for (const auto& pair : levels) {
            for (int side = 0; side < 2; ++side) {
                auto* gauge = new TLEDGauge(this);
                gauge->setGeometry(kLeft, y + side * 12, 167, 13);
                gauge->setProgress(pair[side]);
            }
            auto* note = new QLabel(QString("%1 / %2").arg(pair[0]).arg(pair[1]), this);
            note->move(kLeft + 176, y + 4);
            y += 32;
        }
        bottom_ = std::max(bottom_, y);
    }

    void addOtherLabels()
    {
        heading("16 x 20, red, 9 cells", kColumn2, 60);
        auto* big = new TLEDLabel(this);
        big->setLedColor(colorFromRef(255));
        big->setInactiveColor(colorFromRef(0x000040));
        big->move(kColumn2, 80);
        big->setCaption(" 09:03:07");

        heading("11 x 13, amber, unlit dots off", kColumn2, 120);
        auto* plain = new TLEDLabel(this);
        plain->setFontSize(TLEDFontSize::fs11x13);
        plain->setLedColor(QColor(255, 176, 0));
        plain->setDrawInactive(false);
        plain->move(kColumn2, 140);
        plain->setCaption(QString::fromUtf8("Grüße ±3 dB"));

        heading("Chinese caption shows blank cells", kColumn2, 170);
        auto* chinese = new TLEDLabel(this);
        chinese->setFontSize(TLEDFontSize::fs11x13);
        chinese->move(kColumn2, 190);
        chinese->setCaption(QString::fromUtf8("校园 BELL"));
        bottom_ = std::max(bottom_, 220);
    }

    void addOtherGauges()
    {
        int y = bottom_ + 8;
        heading("Wide spots, reversed, doted, vertical", kLeft, y);
        y += 20;
        auto* wide = new TLEDGauge(this);
        wide->setGeometry(kLeft, y, 260, 17);
        wide->setSpotWidth(4);
        wide->setSpotSpace(2);
        wide->setProgress(90);

        auto* reversed = new TLEDGauge(this);
        reversed->setGeometry(kLeft, y + 24, 260, 17);
        reversed->setDirection(TLEDGaugeDirection::dirReversed);
        reversed->setSpotWidth(3);
        reversed->setBar1Color(colorFromRef(65280));
        reversed->setInactive1Color(colorFromRef(32768));
        reversed->setBar2Color(QColor(255, 220, 0));
        reversed->setInactive2Color(QColor(96, 80, 0));
        reversed->setProgress(75);

        auto* doted = new TLEDGauge(this);
        doted->setGeometry(kLeft, y + 48, 260, 17);
        doted->setSpotWidth(5);
        doted->setActiveDoted(true);
        doted->setInactiveDoted(true);
        doted->setProgress(60);

        for (int i = 0; i < 4; ++i) {
            auto* vertical = new TLEDGauge(this);
            vertical->setKind(TLEDGaugeKind::gkVertical);
            vertical->setGeometry(kColumn2 + i * 22, y, 17, 120);
            vertical->setSpotWidth(2);
            vertical->setProgress(25 + i * 25);
        }
        bottom_ = std::max(y + 72, y + 120);
    }

    int bottom_ = 0;
    TLEDLabel* clock_ = nullptr;
};

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTextStream err(stderr);
    if (app.arguments().size() != 2) {
        err << "usage: tessora-gallery OUTPUT.png\n";
        return 2;
    }
    Gallery gallery;
    gallery.show();
    app.processEvents();
    gallery.addEnlargedClock();
    app.processEvents();
    const QString path = app.arguments().at(1);
    if (!gallery.grab().save(path, "PNG")) {
        err << "cannot write " << path << "\n";
        return 1;
    }
    return 0;
}
