#pragma once
// Which keys the lock window throws away.

#include <Qt>

namespace tessora {

// True for the combinations that would switch away from the lock window or close it: the
// Super (Windows) keys alone or with anything, Alt+Tab, Alt+Esc, Ctrl+Esc, Ctrl+Alt+Del, and
// Alt with any key (Alt+F4 included). Presses and releases are judged alike.
bool LockDiscardsKey(int key, Qt::KeyboardModifiers modifiers);

}  // namespace tessora
