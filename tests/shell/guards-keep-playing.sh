#!/usr/bin/env bash
# End to end on a virtual X display: while the lock and then the settings dialog are up, a
# channel keeps sounding, as its capture output shows. The menus are driven over the
# accessibility bus, the keys go in through xdotool.
#   tests/shell/guards-keep-playing.sh TESSORA TESSORA_CLI
set -euo pipefail

program="$1"
cli="$2"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="$(mktemp -d)"
pids=()
station_pid=""
# The station first, and waited for: on SIGTERM it saves its files, which must not race the
# removal of its folder, and it must not lose its X display in the middle of that.
cleanup() {
    local status=$?
    if [ -n "$station_pid" ]; then
        kill "$station_pid" 2>/dev/null || true
        wait "$station_pid" 2>/dev/null || true
    fi
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work" || true
    exit "$status"
}
trap cleanup EXIT

# The item may not cross midnight.
if [ "$(date +%H%M)" -ge 2355 ]; then echo "too close to midnight"; exit 77; fi

station="$work/station"
mkdir -p "$station" "$work/capture" "$work/home/.config"
cp "$program" "$cli" "$station/"
sox -q -n -r 44100 -c 2 -b 16 "$station/tone.wav" synth 180 sine 440 gain -6
printf 'tone\t%s\t%s\tfile\t%s\t1\t0\t\n' "$(date -d '+1 sec' +%H:%M:%S)" "$(date -d '+170 sec' +%H:%M:%S)" \
    "$station/tone.wav" | "$station/tessora-cli" make-list "$station/day"
printf 'one\t0\t0\t0\t0\t%s\t\n' "$station/day.lst" | "$station/tessora-cli" make-channels "$station/tessora.cfg"

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
