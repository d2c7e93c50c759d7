#!/usr/bin/env bash
# A listing run in the window against quillon-cli, and the window's memory
# with that listing in two panes. The window's run is timed from the List
# command to its end, with the window already up (quillon_gui_bench prints
# it); quillon-cli is timed whole. Uses the offscreen platform unless a
# display is set.
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
need hyperfine python3
bench_tree
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
GUI=$BUILD/bench/quillon_gui_bench
ls -lR "$TREE" >/dev/null

runs=()
for _ in 1 2 3 4 5 6; do
  runs+=("$("$GUI" "$TREE" 2>&1 | sed -n 's/.*listed in \([0-9]*\) ms.*/\1/p')")
done
gui_mean=$(printf '%s\n' "${runs[@]:1}" | python3 -c 'import sys; v=[float(x) for x in sys.stdin]; print(sum(v)/len(v)/1000)')
hyperfine -N -w 1 -r 5 --export-json "$WORK/cli.json" "$CLI list $TREE -o /dev/null" >&2
"$CLI" list "$TREE" -o "$WORK/listing.qln" 2>/dev/null
size_kib=$(( $(stat -c %s "$WORK/listing.qln") / 1024 ))
peak=$(peak_kib "$GUI" "$TREE" "$WORK/listing.qln")
echo "window listing: $(ratio "$gui_mean" "$(mean_of "$WORK/cli.json")")x quillon-cli list (run in the window: $(printf "%.3f" "$gui_mean") s)"
echo "window memory:  ${peak} KiB with a ${size_kib} KiB listing in two panes"
