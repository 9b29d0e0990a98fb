#!/usr/bin/env bash
# Makes a 5-minute 192 kbit/s stereo mp3 and decodes it, in turn, with reader_bench and with
# FFmpeg's own command line (one thread, output thrown away), five times each.
#   run-bench.sh BUILD_DIR [WORK_DIR]
set -euo pipefail
build="${1:?usage: run-bench.sh BUILD_DIR [WORK_DIR]}"
work="${2:-$(mktemp -d)}"
mkdir -p "$work"
mp3="$work/bench-5min.mp3"
if [ ! -s "$mp3" ]; then
    sox -q -n -r 44100 -c 2 -b 16 "$work/bench-5min.wav" synth 300 pinknoise vol 0.3
    ffmpeg -nostdin -hide_banner -loglevel error -y -i "$work/bench-5min.wav" -c:a libmp3lame -b:a 192k "$mp3"
    rm -f "$work/bench-5min.wav"
fi
for run in 1 2 3 4 5; do
    /usr/bin/time -f "reader: %e s wall, %U s user" "$build/bin/reader_bench" "$mp3" >/dev/null
    /usr/bin/time -f "ffmpeg: %e s wall, %U s user" ffmpeg -nostdin -loglevel error -threads 1 -i "$mp3" -f null - 
done
