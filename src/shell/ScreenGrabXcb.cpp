// The lock's grab on an X11 display. An active keyboard grab takes precedence over every passive
// key grab, so the window manager's own shortcuts (Alt+Tab, Super, ...) never reach it while the
// lock is up; the pointer grab confines the pointer to the password box (made a native window
// for this) and shows an invisible cursor.
#include "ScreenGrab.h"

#include <QGuiApplication>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>

namespace tessora {

namespace {

constexpr uint16_t kPointerEvents = XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                    XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_ENTER_WINDOW |
                                    XCB_EVENT_MASK_LEAVE_WINDOW;

class TXcbScreenGrab : public ScreenGrab {
public:
    explicit TXcbScreenGrab(xcb_connection_t* connection) : connection_(connection) {}
    ~TXcbScreenGrab() override {
        Release();
        if (cursor_) xcb_free_cursor(connection_, cursor_);
        xcb_flush(connection_);
    }

    bool Grab(QWidget* window, QWidget* box) override {
        box->setAttribute(Qt::WA_NativeWindow);
        const auto windowId = static_cast<xcb_window_t>(window->winId());
        const auto boxId = static_cast<xcb_window_t>(box->winId());
        if (!keyboardHeld_) {
            // Keys go to the lock window whatever window has the input focus (owner_events 0).
            auto cookie = xcb_grab_keyboard(connection_, 0, windowId, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC,
                                            XCB_GRAB_MODE_ASYNC);
            keyboardHeld_ = Succeeded(xcb_grab_keyboard_reply(connection_, cookie, nullptr));
        }
        if (!pointerHeld_) {
            auto cookie = xcb_grab_pointer(connection_, 0, windowId, kPointerEvents, XCB_GRAB_MODE_ASYNC,
                                           XCB_GRAB_MODE_ASYNC, boxId, InvisibleCursor(windowId), XCB_CURRENT_TIME);
            pointerHeld_ = Succeeded(xcb_grab_pointer_reply(connection_, cookie, nullptr));
        }
        if (keyboardHeld_) xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_PARENT, windowId, XCB_CURRENT_TIME);
        xcb_flush(connection_);
        return keyboardHeld_ && pointerHeld_;
    }

    void Release() override {
        if (keyboardHeld_) xcb_ungrab_keyboard(connection_, XCB_CURRENT_TIME);
        if (pointerHeld_) xcb_ungrab_pointer(connection_, XCB_CURRENT_TIME);
        keyboardHeld_ = pointerHeld_ = false;
        xcb_flush(connection_);
    }

private:
    template <typename Reply>
    static bool Succeeded(Reply* reply) {
        const bool ok = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
        std::free(reply);
        return ok;
    }

    // A 1 x 1 cursor whose mask is empty: nothing of it is drawn.
    xcb_cursor_t InvisibleCursor(xcb_window_t anyWindow) {
        if (cursor_) return cursor_;
        const xcb_pixmap_t pixmap = xcb_generate_id(connection_);
        xcb_create_pixmap(connection_, 1, pixmap, anyWindow, 1, 1);
        const xcb_gcontext_t gc = xcb_generate_id(connection_);
        const uint32_t black = 0;
        xcb_create_gc(connection_, gc, pixmap, XCB_GC_FOREGROUND, &black);
        const xcb_rectangle_t all{0, 0, 1, 1};
        xcb_poly_fill_rectangle(connection_, pixmap, gc, 1, &all);
        cursor_ = xcb_generate_id(connection_);
        xcb_create_cursor(connection_, cursor_, pixmap, pixmap, 0, 0, 0, 0, 0, 0, 0, 0);
        xcb_free_gc(connection_, gc);
        xcb_free_pixmap(connection_, pixmap);
        return cursor_;
    }

    xcb_connection_t* connection_;
    xcb_cursor_t cursor_ = 0;
    bool keyboardHeld_ = false;
    bool pointerHeld_ = false;
};

}  // namespace

std::unique_ptr<ScreenGrab> MakeXcbScreenGrab() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection()) return nullptr;
    return std::make_unique<TXcbScreenGrab>(x11->connection());
}

}  // namespace tessora
