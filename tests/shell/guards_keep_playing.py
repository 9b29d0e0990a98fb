# Driven by guards-keep-playing.sh: opens the lock and the settings dialog of the station with
# process id argv[1] and checks that the capture argv[2] (.wav and .start) sounds all the while.
import array
import math
import os
import sys
import time
import wave

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from atspi_station import application, fail, keys, press, wait_for, window_up  # noqa: E402

pid = int(sys.argv[1])
capture = sys.argv[2]


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


app = wait_for("station on the accessibility bus", lambda: application(pid), 30)
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
