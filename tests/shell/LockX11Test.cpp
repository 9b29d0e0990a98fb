// The lock on a real X display (run under Xvfb): while it is up, a window-switching key sent
// through the X server reaches no other client, not even one that grabbed it the way a window
// manager does, and the pointer cannot leave the password box. After unlocking both work again,
// and the lock can be taken again.
#include "Unit5.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QProcess>
#include <QtTest>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>

using namespace tessora;

namespace {

// A second client standing for the window manager: it grabs Alt+Tab and Super on the root
// window, as window managers do, and counts the key presses that reach it.
class WindowManagerStandIn {
public:
    WindowManagerStandIn() {
        connection_ = xcb_connect(nullptr, nullptr);
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    }
    ~WindowManagerStandIn() { xcb_disconnect(connection_); }

    bool Ok() const { return !xcb_connection_has_error(connection_); }

    void GrabKey(xcb_keycode_t key, uint16_t modifiers) {
        xcb_grab_key(connection_, 1, root_, modifiers, key, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        xcb_flush(connection_);
    }

    // Key presses received since the last call.
    int TakePresses() {
        int presses = 0;
        xcb_aux_sync();
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            if ((event->response_type & ~0x80) == XCB_KEY_PRESS) ++presses;
            std::free(event);
        }
        return presses;
    }

    QPoint Pointer() {
        auto* reply = xcb_query_pointer_reply(connection_, xcb_query_pointer(connection_, root_), nullptr);
        const QPoint at = reply ? QPoint(reply->root_x, reply->root_y) : QPoint(-1, -1);
        std::free(reply);
        return at;
    }

private:
    void xcb_aux_sync() { std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr)); }

    xcb_connection_t* connection_;
    xcb_window_t root_;
};

// Keys and pointer moves through the X server's test extension, as a user's would arrive.
void Xdotool(const QStringList& args) {
    QCOMPARE(QProcess::execute("xdotool", args), 0);
    QTest::qWait(300);
}

// Counts the key presses that reach a widget.
class KeyCounter : public QObject {
public:
    int presses = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) ++presses;
        return false;
    }
};

}  // namespace

class LockX11Test : public QObject {
    Q_OBJECT

    WindowManagerStandIn wm;
    // Keycodes as the server maps them (Xvfb's default map).
    const xcb_keycode_t kTab = 23;
    const xcb_keycode_t kSuperL = 133;

    int KeysReachingTheWindowManager() {
        Xdotool({"key", "alt+Tab"});
        Xdotool({"key", "super"});
        return wm.TakePresses();
    }

private slots:
    void initTestCase() {
        if (QGuiApplication::platformName() != "xcb") QSKIP("needs an X display (run under Xvfb)");
        QVERIFY(wm.Ok());
        wm.GrabKey(kTab, XCB_MOD_MASK_1);
        wm.GrabKey(kSuperL, XCB_MOD_MASK_ANY);
    }

    void lockHoldsKeysAndPointer() {
        QWidget other;
        other.setWindowTitle("another window");
        other.setGeometry(0, 0, 400, 300);
        KeyCounter otherKeys;
        other.installEventFilter(&otherKeys);
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));

        TForm5 lock([] { return QString("secret"); }, MakeScreenGrab());
        for (int round = 1; round <= 2; ++round) {
            // Unlocked: the window manager gets its keys and the pointer goes anywhere.
            QCOMPARE(KeysReachingTheWindowManager(), 2);
            Xdotool({"mousemove", "5", "5"});
            QCOMPARE(wm.Pointer(), QPoint(5, 5));

            lock.show();
            QVERIFY(QTest::qWaitForWindowExposed(&lock));
            QTRY_VERIFY(lock.Grabbed());
            const QRect box(lock.Edit1->mapToGlobal(QPoint(0, 0)), lock.Edit1->size());
            otherKeys.presses = 0;
            QCOMPARE(KeysReachingTheWindowManager(), 0);
            QCOMPARE(otherKeys.presses, 0);
            for (const QPoint& target : {QPoint(0, 0), QPoint(1279, 799), QPoint(box.left() - 50, box.center().y())}) {
                Xdotool({"mousemove", QString::number(target.x()), QString::number(target.y())});
                QVERIFY2(box.contains(wm.Pointer()), qPrintable(QString("pointer at %1,%2").arg(wm.Pointer().x()).arg(wm.Pointer().y())));
            }
            // Alt+F4 and a wrong code leave the lock up; the code typed reaches the box.
            Xdotool({"key", "alt+F4"});
            Xdotool({"type", "wrong"});
            Xdotool({"key", "Return"});
            QVERIFY(lock.isVisible());
            QCOMPARE(lock.Edit1->text(), QString("wrong"));
            Xdotool({"key", "BackSpace", "BackSpace", "BackSpace", "BackSpace", "BackSpace"});
            Xdotool({"type", round == 1 ? "secret" : "50417382"});
            Xdotool({"key", "Return"});
            QTRY_VERIFY(!lock.isVisible());
            QVERIFY(!lock.Grabbed());
            QCOMPARE(otherKeys.presses, 0);
        }
        QCOMPARE(KeysReachingTheWindowManager(), 2);
        Xdotool({"mousemove", "5", "5"});
        QCOMPARE(wm.Pointer(), QPoint(5, 5));
    }
};

QTEST_MAIN(LockX11Test)
#include "LockX11Test.moc"
