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

source "$here/../../tools/virtual-session.sh"
start_virtual_session "$work"

(
    cd "$station"
    HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" TESSORA_AUDIO="capture:$work/capture" \
        TESSORA_POWEROFF="record:$work/poweroff" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 \
        exec ./tessora
) &
station_pid=$!

/usr/bin/python3 "$here/guards_keep_playing.py" "$station_pid" "$work/capture/device-0"
