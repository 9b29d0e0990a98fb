# Driving the running station over the accessibility bus (menus, check boxes) and finding its
# windows on the X display (xdotool), for the end-to-end tests and tools/screenshots.sh.
import re
import subprocess
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402,F401  (Atspi is used by the callers too)


def fail(text):
    print("FAIL:", text)
    sys.exit(1)


def wait_for(what, test, seconds=20.0):
    deadline = time.time() + seconds
    while time.time() < deadline:
        found = test()
        if found:
            return found
        time.sleep(0.2)
    fail("no " + what)


def application(pid):
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def find(node, role, name):
    if node is None:
        return None
    if node.get_role() == role and node.get_name() == name:
        return node
    for i in range(node.get_child_count()):
        hit = find(node.get_child_at_index(i), role, name)
        if hit is not None:
            return hit
    return None


def act(node):
    # Qt answers only once the modal window it opens has closed: do not wait for the answer.
    Atspi.set_timeout(300, -1)
    try:
        Atspi.Action.do_action(node, 0)
    except Exception:
        pass
    Atspi.set_timeout(-1, -1)


def press(app, entry):
    act(wait_for("menu entry " + entry, lambda: find(app, Atspi.Role.MENU_ITEM, entry)))


def window_id(title):
    """A visible X window whose name matches `title` (a regular expression), or None. The names
    are compared here, in Unicode: xdotool's own matching depends on its locale."""
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "."], capture_output=True, text=True)
    for wid in found.stdout.split():
        name = subprocess.run(["xdotool", "getwindowname", wid], capture_output=True, text=True).stdout.strip()
        if re.search(title, name):
            return wid
    return None


def window_up(title):
    return window_id(title) is not None


def keys(*args):
    subprocess.run(["xdotool", *args], check=True)
