// The lock's grab where the display offers no global one (Wayland, offscreen): Qt's keyboard and
// mouse grabs keep keys and pointer within this program, and a pointer that leaves the box is
// put back where the platform allows it. The desktop's own shortcuts stay out of reach.
#include "ScreenGrab.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>

namespace tessora {

namespace {

class TQtScreenGrab : public QObject, public ScreenGrab {
public:
    ~TQtScreenGrab() override { Release(); }

    bool Grab(QWidget* window, QWidget* box) override {
        if (held_) return true;
        if (!window->isVisible()) return false;
        window_ = window;
        box_ = box;
        window->grabKeyboard();
        box->grabMouse(Qt::BlankCursor);
        QGuiApplication::setOverrideCursor(Qt::BlankCursor);
        qApp->installEventFilter(this);
        held_ = true;
        KeepInBox(QCursor::pos());
        return true;
    }

    void Release() override {
        if (!held_) return;
        held_ = false;
        qApp->removeEventFilter(this);
        QGuiApplication::restoreOverrideCursor();
        if (box_) box_->releaseMouse();
        if (window_) window_->releaseKeyboard();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseMove) KeepInBox(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
        return QObject::eventFilter(watched, event);
    }

private:
    void KeepInBox(const QPoint& global) {
        if (!box_) return;
        const QRect area(box_->mapToGlobal(QPoint(0, 0)), box_->size());
        const QPoint inside(std::clamp(global.x(), area.left(), area.right()),
                            std::clamp(global.y(), area.top(), area.bottom()));
        if (inside != global) QCursor::setPos(inside);
    }

    QPointer<QWidget> window_;
    QPointer<QWidget> box_;
    bool held_ = false;
};

}  // namespace

std::unique_ptr<ScreenGrab> MakeQtScreenGrab() { return std::make_unique<TQtScreenGrab>(); }

}  // namespace tessora
