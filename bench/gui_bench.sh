#!/usr/bin/env bash
# A listing run in the window against quillon-cli, and the window's memory
# with that listing in two panes. Uses the offscreen platform unless a
# display is set.
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
need hyperfine python3
bench_tree
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
GUI=$BUILD/bench/quillon_gui_bench
ls -lR "$TREE" >/dev/null

hyperfine -N -w 1 -r 5 --export-json "$WORK/gui.json" "$GUI $TREE" >&2
hyperfine -N -w 1 -r 5 --export-json "$WORK/cli.json" "$CLI list $TREE -o /dev/null" >&2
"$CLI" list "$TREE" -o "$WORK/listing.qln" 2>/dev/null
size_kib=$(( $(stat -c %s "$WORK/listing.qln") / 1024 ))
peak=$(peak_kib "$GUI" "$TREE" "$WORK/listing.qln")
echo "window listing: $(ratio "$(mean_of "$WORK/gui.json")" "$(mean_of "$WORK/cli.json")")x quillon-cli list"
echo "window memory:  ${peak} KiB with a ${size_kib} KiB listing in two panes"
