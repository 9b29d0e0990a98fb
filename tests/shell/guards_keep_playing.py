# Driven by guards-keep-playing.sh: opens the lock and the settings dialog of the station with
# process id argv[1] and checks that the capture argv[2] (.wav and .start) sounds all the while.
import array
import math
import subprocess
import sys
import time
import wave

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

pid = int(sys.argv[1])
capture = sys.argv[2]


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


def application():
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


def press(app, entry):
    item = wait_for("menu entry " + entry, lambda: find(app, Atspi.Role.MENU_ITEM, entry))
    # Qt answers only once the modal window it opens has closed: do not wait for the answer.
    Atspi.set_timeout(300, -1)
    try:
        Atspi.Action.do_action(item, 0)
    except Exception:
        pass
    Atspi.set_timeout(-1, -1)


def window_up(title):
    return subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title],
                          capture_output=True).returncode == 0


def keys(*args):
    subprocess.run(["xdotool", *args], check=True)


def quiet_stretches(begin, end):
    """Quarter seconds between the two wall-clock times whose sound is near silence."""
    with open(capture + ".start") as f:
        first_frame = int(f.read().strip()) / 1000.0
    with wave.open(capture + ".wav") as w:
        rate, channels = w.getframerate(), w.getnchannels()
        frames = w.readframes(w.getnframes())
    samples = array.array("h", frames)
    step = rate // 4
    quiet = []
    t = begin
    while t + 0.25 <= end:
        at = int((t - first_frame) * rate) * channels
        piece = samples[at:at + step * channels]
        if len(piece) < step * channels:
            fail("capture ends at %.1f s" % (len(samples) / channels / rate))
        rms = math.sqrt(sum(s * s for s in piece) / len(piece)) / 32768
        if rms < 0.05:
            quiet.append(round(t - begin, 2))
        t += 0.25
    return quiet


app = wait_for("station on the accessibility bus", application, 30)
time.sleep(4)  # the tone has begun

press(app, "屏幕锁定")
wait_for("lock window", lambda: window_up("请输入系统密码"))
locked_at = time.time()
keys("key", "alt+Tab")
time.sleep(6)
keys("type", "50417382")
keys("key", "Return")
wait_for("unlock", lambda: not window_up("请输入系统密码"))
unlocked_at = time.time()

press(app, "系统设置")
wait_for("password question", lambda: window_up("^密码$"))
keys("key", "Return")  # the demo's administrator password is empty
wait_for("settings dialog", lambda: window_up("系统设置"))
dialog_at = time.time()
time.sleep(4)
keys("key", "Escape")
wait_for("the dialog to close", lambda: not window_up("系统设置"))
closed_at = time.time()
time.sleep(1.5)  # the capture's header is brought up to date once a second

for what, begin, end in (("lock", locked_at, unlocked_at), ("settings dialog", dialog_at, closed_at)):
    quiet = quiet_stretches(begin + 0.5, end - 0.5)
    if quiet:
        fail("silent while the %s was up, at %s s" % (what, quiet))
    print("sounding all the %.1f s the %s was up" % (end - begin - 1, what))
