#!/usr/bin/env bash
# The Debian package as a technician meets it, without installing it system-wide: built with
# CPack from this build, checked by dpkg-deb and lintian, then unpacked and run from there with a
# station folder of its own.
#   package-test.sh BUILD_DIR
set -euo pipefail

build="$(cd "$1" && pwd)"
work="$(mktemp -d)"
trap '[ -n "${pid:-}" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/out/tessora_*_*.deb)
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

info=$(dpkg-deb --info "$deb")
grep -q '^ Package: tessora$' <<<"$info" || fail "no package name"
grep -q '^ Depends: .*timgm6mb-soundfont.*fonts-wqy-microhei.*libqt6widgets6' <<<"$info" || fail "dependencies: $info"
contents=$(dpkg-deb --contents "$deb")
for wanted in ./usr/bin/tessora ./usr/bin/tessora-cli ./usr/share/applications/tessora.desktop \
              ./usr/share/icons/hicolor/scalable/apps/tessora.svg ./usr/share/icons/hicolor/48x48/apps/tessora.png \
              ./usr/share/icons/hicolor/256x256/apps/tessora.png ./usr/share/doc/tessora/copyright \
              ./usr/share/tessora/alarm.wav ./usr/share/tessora/skins/Corner/skin.ini; do
    grep -q " $wanted\$" <<<"$contents" || fail "$wanted is not in the package"
done
lintian --fail-on error,warning "$deb" 2>&1 | grep -v 'running with root privileges' || true
lintian --fail-on error,warning "$deb" >/dev/null 2>&1 || fail "lintian"

# Unpacked as it would be installed, but under a folder of its own.
dpkg-deb -x "$deb" "$work/root"
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" HOME="$work/home"
mkdir -p "$HOME"
where=$("$work/root/usr/bin/tessora-cli" where)
[ "$where" = "$XDG_DATA_HOME/tessora/" ] || fail "where answered $where"

QT_QPA_PLATFORM=offscreen TESSORA_AUDIO=null "$work/root/usr/bin/tessora" >"$work/run.log" 2>&1 &
pid=$!
for _ in $(seq 100); do [ -d "$where/template" ] && break; sleep 0.1; done
sleep 2
for sub in music list template; do [ -d "$where/$sub" ] || fail "the station folder has no $sub"; done
for shipped in alarm.wav skins/Corner/skin.ini skins/Meadow/style.qss skins/Slate/skin.ini; do
    [ -f "$where/$shipped" ] || fail "the station folder did not get the shipped $shipped"
done
kill -TERM "$pid"
wait "$pid" || fail "tessora did not end cleanly on SIGTERM: $(cat "$work/run.log")"
pid=
[ -f "$where/Tessora.ini" ] || fail "no Tessora.ini written at exit"
[ -f "$where/tessora.cfg" ] || fail "no tessora.cfg written at exit"
