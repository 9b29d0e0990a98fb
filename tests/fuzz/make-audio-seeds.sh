#!/usr/bin/env bash
# Writes small seed files for fuzz_audio_file into OUTDIR: a few hundredths of a second of tone
# in each container and codec the station meets, and the MIDI fixture of the audio tests.
set -euo pipefail
out="${1:?usage: make-audio-seeds.sh OUTDIR}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
mkdir -p "$out"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
sox -q -n -r 22050 -c 1 -b 16 "$work/tone.wav" synth 0.05 sine 440 vol 0.5
ff() { ffmpeg -nostdin -hide_banner -loglevel error -y -i "$work/tone.wav" "$@"; }
cp "$work/tone.wav" "$out/tone.wav"
sox -q "$work/tone.wav" -b 8 -e unsigned-integer "$out/tone-u8.wav"
ff -c:a libmp3lame -b:a 32k "$out/tone.mp3"
ff -c:a libmp3lame -b:a 32k -write_xing 0 "$out/tone-noxing.mp3"
ff -c:a flac "$out/tone.flac"
ff -c:a libvorbis "$out/tone.ogg"
ff -c:a wmav2 -b:a 32k "$out/tone.wma"
# The MIDI seed is the one the audio tests use.
bash "$here/../audio/fixtures/make-fixtures.sh" "$work/fixtures" >/dev/null
cp "$work/fixtures/tiny.mid" "$out/tiny.mid"
