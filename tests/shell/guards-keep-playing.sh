#!/usr/bin/env bash
# End to end on a virtual X display: while the lock and then the settings dialog are up, a
# channel keeps sounding, as its capture output shows. The menus are driven over the
# accessibility bus, the keys go in through xdotool.
#   tests/shell/guards-keep-playing.sh TESSORA TESSORA_CLI
set -euo pipefail

program="$1"
cli="$2"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/station-script.sh"
make_station "$program" "$cli" 170
mkdir -p "$work/capture"

Xvfb -displayfd 3 -noreset -screen 0 1280x800x24 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"

export DBUS_SESSION_BUS_ADDRESS
DBUS_SESSION_BUS_ADDRESS="$(dbus-daemon --session --fork --print-address=1 --print-pid=3 3>"$work/dbus.pid")"
pids+=("$(cat "$work/dbus.pid")")
/usr/libexec/at-spi-bus-launcher &
pids+=($!)

(
    cd "$station"
    HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" TESSORA_AUDIO="capture:$work/capture" \
        TESSORA_POWEROFF="record:$work/poweroff" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 \
        exec ./tessora
) &
station_pid=$!

/usr/bin/python3 "$here/guards_keep_playing.py" "$station_pid" "$work/capture/device-0"
