#pragma once
// What the lock window needs of the display: every key of the whole display for itself, so that
// no other program (the window manager included) sees window-switching keys, and the pointer
// held, hidden, inside the password box.

#include <memory>

class QWidget;

namespace tessora {

class ScreenGrab {
public:
    virtual ~ScreenGrab() = default;
    // Takes the keyboard for `window` and holds the pointer inside `box`, a child of `window`.
    // False while the display refuses (the window is not on screen yet, or another program holds
    // a grab for a moment): the caller tries again. Taking what is held already does nothing.
    virtual bool Grab(QWidget* window, QWidget* box) = 0;
    // Gives keyboard and pointer back and shows the pointer again.
    virtual void Release() = 0;
};

// The X11 grab on an X11 display; elsewhere (Wayland, offscreen) Qt's grabs on the window.
std::unique_ptr<ScreenGrab> MakeScreenGrab();

// The display's own grabs through XCB: keyboard and pointer for the whole display.
std::unique_ptr<ScreenGrab> MakeXcbScreenGrab();
// Qt's keyboard and mouse grabs: keys and pointer stay within this program's windows.
std::unique_ptr<ScreenGrab> MakeQtScreenGrab();

}  // namespace tessora
