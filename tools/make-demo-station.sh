#!/usr/bin/env bash
# Sets up a demo station in a program folder: generated sounds, two channels (on two different
# outputs when the machine has two, otherwise both on the default output), and day lists whose
# first bells ring within a minute of now.
#   tools/make-demo-station.sh PROGRAM_FOLDER
set -euo pipefail

folder="$(cd "$1" && pwd)"
cli="$folder/tessora-cli"
sounds="$folder/demo-sounds"
lists="$folder/list"
mkdir -p "$sounds/tunes" "$lists" "$folder/music"

# A two-note chime, played three times.
tone() { sox -q -n -r 44100 -c 2 -b 16 "$1" synth "$2" pluck "$3" fade 0 "$2" "$4" gain -3; }
tone "$sounds/ding.wav" 0.9 E5 0.6
tone "$sounds/dong.wav" 1.3 C5 0.9
sox -q "$sounds/ding.wav" "$sounds/dong.wav" "$sounds/ding.wav" "$sounds/dong.wav" "$sounds/bell.wav"
rm "$sounds/ding.wav" "$sounds/dong.wav"

# Three short tunes for the folder item.
notes=("C4 E4 G4 C5" "A3 C4 E4 A4" "F3 A3 C4 F4")
for i in 0 1 2; do
    parts=()
    for note in ${notes[$i]}; do
        sox -q -n -r 44100 -c 2 -b 16 "$sounds/n-$note.wav" synth 0.5 pluck "$note" fade 0 0.5 0.3
        parts+=("$sounds/n-$note.wav")
    done
    sox -q "${parts[@]}" "${parts[@]}" "$sounds/tunes/tune-$((i + 1)).wav"
    rm -f "${parts[@]}"
done

at() { date -d "+$1 seconds" +%H:%M:%S; }
# Items may not cross midnight; near the end of the day the demo items start just after it.
if [ "$(date +%H%M)" -ge 2350 ]; then sleep $(( $(date -d 'tomorrow 00:00:05' +%s) - $(date +%s) )); fi

{
    printf '上课铃\t%s\t%s\tfile\t%s\t0\t0\t%s\n' "$(at 20)" "$(at 32)" "$sounds/bell.wav" "开始后二十秒"
    printf '下课铃\t%s\t%s\tfile\t%s\t0\t0\t\n' "$(at 80)" "$(at 92)" "$sounds/bell.wav"
    printf '课间音乐\t%s\t%s\tfolder\t%s\t1\t0\t顺序播放\n' "$(at 120)" "$(at 300)" "$sounds/tunes"
    printf '整点铃\t%s\t%s\tfile\t%s\t0\t0\t\n' "$(at 360)" "$(at 372)" "$sounds/bell.wav"
} | "$cli" make-list "$lists/教学楼"
{
    printf '操场音乐\t%s\t%s\tfolder\t%s\t1\t1\t随机播放\n' "$(at 40)" "$(at 100)" "$sounds/tunes"
    printf '集合铃\t%s\t%s\tfile\t%s\t1\t0\t循环播放\n' "$(at 150)" "$(at 165)" "$sounds/bell.wav"
} | "$cli" make-list "$lists/操场"

# Index 0 is the default output; two more lines mean two outputs of their own.
cards=(0 0)
if [ "$("$cli" devices | wc -l)" -ge 3 ]; then cards=(1 2); fi
printf '教学楼\t%s\t0\t0\t0\t%s\t\n操场\t%s\t0\t0\t-600\t%s\t\n' \
    "${cards[0]}" "$lists/教学楼.lst" "${cards[1]}" "$lists/操场.lst" \
    | "$cli" make-channels "$folder/tessora.cfg"
echo "Demo station set up in $folder: the first bell rings at $(at 20) (outputs ${cards[0]} and ${cards[1]})."
