#!/usr/bin/env bash
# Starts the station in the build's program folder; a folder without a channel file first gets
# the demo station (tools/make-demo-station.sh).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$here/build}"
folder="$build/bin"

if [ ! -e "$folder/tessora.cfg" ]; then
    "$here/tools/make-demo-station.sh" "$folder"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display here: the station runs on a virtual one (Xvfb)."
    exec xvfb-run -a -s "-screen 0 1280x800x24" "$folder/tessora"
fi
exec "$folder/tessora"
