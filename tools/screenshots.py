# Driven by screenshots.sh: in the station with process id argv[1], opens 全呼 (one channel
# checked) and captures it to argv[2], then 系统设置 on its 系统 page, captured to argv[3].
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from atspi_station import Atspi, act, application, find, keys, press, wait_for, window_id  # noqa: E402

pid = int(sys.argv[1])


def capture(title, path):
    wid = wait_for("window " + title, lambda: window_id(title))
    time.sleep(1.5)  # the skin and the first paint
    subprocess.run(["import", "-window", wid, path], check=True)
    return wid


app = wait_for("station on the accessibility bus", lambda: application(pid), 30)
time.sleep(3)

press(app, "全呼")
wait_for("all-call window", lambda: window_id("^全呼广播$"))
act(wait_for("check box", lambda: find(app, Atspi.Role.CHECK_BOX, "教学楼")))
capture("^全呼广播$", sys.argv[2])
keys("key", "Escape")
wait_for("all-call closed", lambda: not window_id("^全呼广播$"))

press(app, "系统设置")
wait_for("password question", lambda: window_id("^密码$"))
keys("key", "Return")  # the demo's password is empty
wid = wait_for("settings dialog", lambda: window_id("^系统设置$"))
time.sleep(1)
keys("mousemove", "--window", wid, "40", "36", "click", "1")  # the 系统 page
capture("^系统设置$", sys.argv[3])
keys("key", "Escape")
