#include "ScreenGrab.h"

#include <QGuiApplication>

namespace tessora {

std::unique_ptr<ScreenGrab> MakeScreenGrab() {
    if (QGuiApplication::platformName() == QStringLiteral("xcb"))
        if (auto grab = MakeXcbScreenGrab()) return grab;
    return MakeQtScreenGrab();
}

}  // namespace tessora
