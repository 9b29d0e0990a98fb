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

# Each libFuzzer target for a fixed number of runs from a fixed seed, starting from the project's
# own seed files; a crash, a leak or undefined behaviour fails the test command.
run_fuzzers() { # build dir
    local dir="$1" name runs
    rm -rf "$dir/seeds" "$dir/corpus"
    "$here/tests/fuzz/make-audio-seeds.sh" "$dir/seeds/audio_file"
    for name in day_list periodic_list settings_file channel_file audio_file; do
        runs=20000
        [ "$name" = audio_file ] && runs=3000
        mkdir -p "$dir/corpus/$name" "$dir/seeds/$name"
        echo "fuzz_$name: $runs runs"
        "$dir/bin/fuzz_$name" -seed=1 -runs="$runs" -rss_limit_mb=4096 -print_final_stats=1 \
            "$dir/corpus/$name" "$dir/seeds/$name" 2>"$dir/fuzz_$name.log" ||
            { tail -60 "$dir/fuzz_$name.log"; return 1; }
        grep -E "^stat::number_of_executed_units" "$dir/fuzz_$name.log" || true
    done
}

build_tree() { # dir target [extra cmake args...]
    local dir="$1" target="$2"; shift 2
    # A second build of the same sources (another stage, a rebuild after a pull) comes from the cache.
    local launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    cmake -S "$here" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
    cmake --build "$dir" -j "$jobs" --target "$target"
}

# The threaded parts once more under ThreadSanitizer.
run_thread_sanitizer() {
    build_tree "$build-tsan" tsan-tests -DTESSORA_SANITIZER=thread
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$here/tools/tsan.supp" \
        ctest --test-dir "$build-tsan" --output-on-failure -L tsan
}

# The whole suite once more under AddressSanitizer and UndefinedBehaviorSanitizer, then the file
# readers' fuzzers, instrumented with the readers they reach.
run_memory_sanitizers() {
    build_tree "$build-asan" all -DTESSORA_SANITIZER=address,undefined
    ASAN_OPTIONS="detect_leaks=1" UBSAN_OPTIONS="print_stacktrace=1" \
        LSAN_OPTIONS="suppressions=$here/tools/lsan.supp print_suppressions=0" \
        ctest --test-dir "$build-asan" --output-on-failure -j "$jobs"
    CC=clang CXX=clang++ build_tree "$build-fuzz" fuzzers -DTESSORA_FUZZ=ON
    LSAN_OPTIONS="suppressions=$here/tools/lsan.supp print_suppressions=0" run_fuzzers "$build-fuzz"
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
    run_thread_sanitizer
    run_memory_sanitizers
    ;;
sanitize)
    # The sanitizer stages of test alone, on what is built already.
    install_missing_packages
    run_thread_sanitizer
    run_memory_sanitizers
    ;;
*)
    echo "usage: tools/tessora.sh run|test|sanitize" >&2
    exit 2
    ;;
esac
