#!/usr/bin/env bash
# Starts a private PipeWire (with WirePlumber and its PulseAudio server) inside the D-Bus
# session this runs in, adds two null sinks, lists the outputs with tessora-cli, plays TONE on
# the second sink while recording both sinks' monitors, and writes what it saw into OUT:
# devices.txt, play.txt, inputs.txt (the streams during play), peak-a.txt and peak-b.txt;
# then plays again and removes the second sink meanwhile: unplug-status.txt, unplug.err.
# Usage: dbus-run-session -- pipewire-sinks.sh TESSORA_CLI TONE OUT
set -u
cli="$1" tone="$2" out="$3"
runtime=$(mktemp -d)
chmod 700 "$runtime"
export XDG_RUNTIME_DIR="$runtime"
unset TESSORA_AUDIO PULSE_SERVER PIPEWIRE_REMOTE
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$runtime"
}
trap cleanup EXIT

pipewire >"$out/pipewire.log" 2>&1 & pids+=($!)
for _ in $(seq 100); do [ -S "$runtime/pipewire-0" ] && break; sleep 0.1; done
wireplumber >"$out/wireplumber.log" 2>&1 & pids+=($!)
pipewire-pulse >"$out/pipewire-pulse.log" 2>&1 & pids+=($!)
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl load-module module-null-sink sink_name=tessora_a sink_properties=device.description=TessoraSinkA >/dev/null
moduleB=$(pactl load-module module-null-sink sink_name=tessora_b sink_properties=device.description=TessoraSinkB)
for _ in $(seq 50); do [ "$(pactl list short sinks | grep -c tessora_)" = 2 ] && break; sleep 0.1; done
sleep 0.5

"$cli" devices >"$out/devices.txt" 2>"$out/devices.err"
index=$(awk -F'\t' '$2 == "TessoraSinkB" {print $1}' "$out/devices.txt")
[ -n "$index" ] || exit 3

parecord --device=tessora_a.monitor --file-format=wav "$out/a.wav" & recordA=$!
parecord --device=tessora_b.monitor --file-format=wav "$out/b.wav" & recordB=$!
pids+=("$recordA" "$recordB")
sleep 0.5
(sleep 1.5; pactl list short sink-inputs >"$out/inputs.txt"; pactl list short sinks >"$out/sinks.txt") & watcher=$!
"$cli" play "$tone" --device "$index" --loop --seconds 3 >"$out/play.txt" 2>"$out/play.err"
echo $? >"$out/play-status.txt"
wait "$watcher"
sleep 0.3
kill -INT "$recordA" "$recordB"
wait "$recordA" "$recordB"
for sink in a b; do
    sox "$out/$sink.wav" -n stat 2>&1 | awk '/Maximum amplitude/ {print $3}' >"$out/peak-$sink.txt"
done

(sleep 1.5; pactl unload-module "$moduleB") & unplug=$!
"$cli" play "$tone" --device "$index" --loop --seconds 8 >"$out/unplug.txt" 2>"$out/unplug.err"
echo $? >"$out/unplug-status.txt"
wait "$unplug"
exit 0
