#!/usr/bin/env bash
# Pictures of the all-call window and of the system settings dialog in every shipped skin, taken
# from the real program on a virtual X display (menus over the accessibility bus, windows
# captured with ImageMagick's import), for the README.
#   tools/screenshots.sh [BUILD_BIN [DOCS]]     defaults: build/bin and docs
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
bin="$(cd "${1:-$here/../build/bin}" && pwd)"
docs="$(cd "${2:-$here/../docs}" && pwd)"
work="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

station="$work/station"
mkdir -p "$station" "$work/home/.config"
cp "$bin/tessora" "$bin/tessora-cli" "$bin/alarm.wav" "$station/"
cp -r "$bin/skins" "$station/"
"$here/make-demo-station.sh" "$station" >/dev/null

source "$here/virtual-session.sh"
start_virtual_session "$work"

for skin in $(ls "$station/skins"); do
    printf '[tessora]\r\nskin=%s\r\nbAutoShutDown=1\r\nAutoShutDownTime=17:00:00\r\n' "$skin" >"$station/Tessora.ini"
    (
        cd "$station"
        HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" TESSORA_AUDIO=null TESSORA_POWEROFF="record:$work/poweroff" \
            QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 LANG=zh_CN.UTF-8 exec ./tessora
    ) &
    station_pid=$!
    /usr/bin/python3 "$here/screenshots.py" "$station_pid" "$docs/all-call-$skin.png" "$docs/system-settings-$skin.png"
    kill "$station_pid"
    wait "$station_pid" || true
done
