#!/usr/bin/env bash
# The project's one entry point: installs what is missing, builds, and then
# either starts the program (run) or runs every test (test).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TESSORA_BUILD_DIR:-$here/build}"
jobs="${TESSORA_JOBS:-$(nproc)}"

install_missing_packages() {
    local wanted missing=()
    wanted=$(grep -v '^\s*#' "$here/tools/packages.txt" | awk 'NF {print $1}')
    for pkg in $wanted; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build_tree() { # dir target [extra cmake args...]
    local dir="$1" target="$2"; shift 2
    cmake -S "$here" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j "$jobs" --target "$target"
}

cmd="${1:-}"
case "$cmd" in
run)
    install_missing_packages
    build_tree "$build" all
    exec "$here/tools/start-station.sh" "$build"
    ;;
test)
    install_missing_packages
    build_tree "$build" all
    ctest --test-dir "$build" --output-on-failure -j "$jobs"
    # The threaded parts once more under ThreadSanitizer.
    build_tree "$build-tsan" tsan-tests -DTESSORA_SANITIZER=thread
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$here/tools/tsan.supp" \
        ctest --test-dir "$build-tsan" --output-on-failure -L tsan
    ;;
*)
    echo "usage: tools/tessora.sh run|test" >&2
    exit 2
    ;;
esac
