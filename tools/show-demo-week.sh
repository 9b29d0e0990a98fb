#!/usr/bin/env bash
# Shows, with tessora-cli, what the demo school week of demo/ plays today and what is due now.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$here/build}"
cli="$build/bin/tessora-cli"
station="$build/demo-week"
mkdir -p "$station"

"$cli" make-list "$station/school-day.lst" < "$here/demo/school-day.txt"
"$cli" make-list "$station/weekend.lst" < "$here/demo/weekend.txt"
# Sunday first: the weekend list on Saturday and Sunday, the school day from Monday to Friday.
{
    echo "$station/weekend.lst"
    for _ in 1 2 3 4 5; do echo "$station/school-day.lst"; done
    echo "$station/weekend.lst"
} | "$cli" make-periodic "$station/week.lsm"

now="$(date +%Y-%m-%dT%H:%M:%S)"
today_list="$("$cli" resolve "$station/week.lsm" "$(date +%F)")"
echo "Demo station, $(date '+%A %F %T')"
echo "Today's day list: $today_list"
echo
echo "Due now (Index  Title):"
"$cli" due "$station/week.lsm" "$now"
echo
echo "Today's items (Index  Title  Start  End  Source  PlayMode  Memo):"
"$cli" list "$today_list"
