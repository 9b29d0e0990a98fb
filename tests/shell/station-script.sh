# Sourced by the end-to-end scripts that run the real program on a one-channel station.
# Sets `work` (a folder removed at the end), `station_pid` (set it once the program runs) and
# `pids` (what else the script started); a tone item may not cross midnight, so the script is
# skipped just before it.

if [ "$(date +%H%M)" -ge 2355 ]; then echo "too close to midnight"; exit 77; fi

work="$(mktemp -d)"
station_pid=""
pids=()
# The station first, and waited for: on SIGTERM it saves its files, which must not race the
# removal of its folder, and it must not lose its display or sound server in the middle of that.
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

# make_station PROGRAM CLI SECONDS: a station folder $work/station with the two programs and one
# channel on the default output whose day list plays a 440 Hz tone from a second from now on,
# for SECONDS.
make_station() {
    station="$work/station"
    mkdir -p "$station" "$work/home/.config"
    cp "$1" "$2" "$station/"
    sox -q -n -r 44100 -c 2 -b 16 "$station/tone.wav" synth "$(($3 + 10))" sine 440 gain -6
    printf 'tone\t%s\t%s\tfile\t%s\t1\t0\t\n' "$(date -d '+1 sec' +%H:%M:%S)" "$(date -d "+$3 sec" +%H:%M:%S)" \
        "$station/tone.wav" | "$station/tessora-cli" make-list "$station/day"
    printf 'one\t0\t0\t0\t0\t%s\t\n' "$station/day.lst" | "$station/tessora-cli" make-channels "$station/tessora.cfg"
}
