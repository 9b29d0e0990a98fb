#pragma once
// Helpers of the LED widget tests: a shown window to put widgets in, and grabbed pixels.

#include <QImage>
#include <QTest>
#include <QWidget>

namespace tessora::test {

// A top-level window that is shown, so that its children lay out, paint and redraw as on screen.
class ShownHost : public QWidget {
public:
    ShownHost()
    {
        resize(900, 500);
        show();
        if (!QTest::qWaitForWindowExposed(this))
            qFatal("the test window was not shown");
    }
};

inline QImage grabbed(QWidget& widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

inline int countPixels(const QImage& image, const QColor& color)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) == color.rgb();
    return count;
}

}  // namespace tessora::test
