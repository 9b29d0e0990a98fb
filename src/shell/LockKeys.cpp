#include "LockKeys.h"

namespace tessora {

bool LockDiscardsKey(int key, Qt::KeyboardModifiers modifiers) {
    switch (key) {
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
        return true;
    case Qt::Key_Escape:
        if (modifiers & Qt::ControlModifier) return true;
        break;
    default:
        break;
    }
    // Alt+Tab, Alt+Esc and Ctrl+Alt+Del fall under this too.
    return (modifiers & (Qt::AltModifier | Qt::MetaModifier)) != 0;
}

}  // namespace tessora
