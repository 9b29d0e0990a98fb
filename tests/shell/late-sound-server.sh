#!/usr/bin/env bash
# The station starts before the sound server, as at a login where PipeWire comes up a moment
# after the session: it waits for the outputs, and once a PipeWire null sink is there the item
# that began meanwhile is heard on it.
# Usage (inside its own D-Bus session): dbus-run-session -- late-sound-server.sh TESSORA TESSORA_CLI
set -euo pipefail

program="$1"
cli="$2"
for tool in pipewire wireplumber pipewire-pulse pactl parecord sox; do
    command -v "$tool" >/dev/null || { echo "no $tool"; exit 77; }
done
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/station-script.sh"

fail() {
    echo "FAIL: $*"
    echo "--- the station said:"
    cat "$work/station.log"
    exit 1
}

runtime="$work/runtime"
mkdir -p "$runtime"
chmod 700 "$runtime"
export XDG_RUNTIME_DIR="$runtime"
unset TESSORA_AUDIO PULSE_SERVER PIPEWIRE_REMOTE
make_station "$program" "$cli" 110

(
    cd "$station"
    HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" QT_QPA_PLATFORM=offscreen TESSORA_AUDIO_WAIT=60 \
        exec ./tessora
) >"$work/station.log" 2>&1 &
station_pid=$!

wait_for_log() { # text seconds
    for _ in $(seq $(($2 * 10))); do
        grep -q "$1" "$work/station.log" && return 0
        kill -0 "$station_pid" 2>/dev/null || fail "the station ended"
        sleep 0.1
    done
    return 1
}
wait_for_log "waiting up to 60 s for the sound server" 20 || fail "the station did not wait for the sound server"
sleep 3  # the item has begun, on the stand-in output

pipewire >"$work/pipewire.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -S "$runtime/pipewire-0" ] && break; sleep 0.1; done
wireplumber >"$work/wireplumber.log" 2>&1 &
pids+=($!)
pipewire-pulse >"$work/pipewire-pulse.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl load-module module-null-sink sink_name=tessora_late sink_properties=device.description=TessoraLate >/dev/null
pactl set-default-sink tessora_late

wait_for_log "the sound outputs are up" 30 || fail "the station did not take up the sound server"
sleep 1.5  # the next tick moves the playing item over
parecord --device=tessora_late.monitor --file-format=wav "$work/heard.wav" &
recorder=$!
sleep 3
kill -INT "$recorder"
wait "$recorder" || true

rms=$(sox "$work/heard.wav" -n stat 2>&1 | awk '/RMS +amplitude/ {print $3}')
frequency=$(sox "$work/heard.wav" -n remix 1 stat 2>&1 | awk '/Rough +frequency/ {print $3}')
echo "heard on the late sink: RMS $rms, about $frequency Hz"
awk -v r="$rms" 'BEGIN { exit !(r > 0.1) }' || fail "the item is not heard on the sink that came up late"
awk -v f="$frequency" 'BEGIN { exit !(f > 400 && f < 480) }' || fail "what is heard is not the item's tone"
kill -0 "$station_pid" 2>/dev/null || fail "the station ended"
