#!/usr/bin/env bash
# A listing run in the window against quillon-cli, plain and with MD5; the
# time from Escape to the end of a stopped MD5 run; and the window's memory
# with that listing in two panes. The window's run is timed from the List
# command to the first paint that shows the finished listing, with the
# window already up and its live progress on (quillon_gui_bench prints it);
# quillon-cli is timed whole, its listing written to a file. Uses the
# offscreen platform unless a display is set.
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
need hyperfine python3
bench_tree
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
GUI=$BUILD/bench/quillon_gui_bench
STOPS=${STOPS:-20}
ls -lR "$TREE" >/dev/null

# Mean seconds of the window's runs, the first one left out as warm-up.
gui_mean() {
  local runs=()
  for _ in $(seq "$1"); do
    runs+=("$("$GUI" "${@:2}" 2>&1 | sed -n 's/.*listed in \([0-9]*\) ms.*/\1/p')")
  done
  printf '%s\n' "${runs[@]:1}" | python3 -c 'import sys; v=[float(x) for x in sys.stdin]; print(sum(v)/len(v)/1000)'
}

plain=$(gui_mean 6 "$TREE")
hyperfine -N -w 1 -r 5 --output "$WORK/cli.out" --export-json "$WORK/cli.json" "$CLI list $TREE" >&2
md5=$(gui_mean 4 --md5 "$TREE")
hyperfine -N -w 1 -r 3 --output "$WORK/cli-md5.out" --export-json "$WORK/cli-md5.json" "$CLI list --md5 $TREE" >&2

# Escape at random moments of an MD5 run, from another thread.
md5_ms=$(python3 -c "print(int($md5 * 1000))")
latencies=()
for _ in $(seq "$STOPS"); do
  at=$(python3 -c "import random; print(random.randint(50, max(60, int($md5_ms * 0.9))))")
  latency=$("$GUI" --md5 --stop-after "$at" "$TREE" 2>&1 | sed -n 's/.*latency \([0-9.]*\) ms.*/\1/p')
  [ -n "$latency" ] && latencies+=("$latency")
done
stop_stats=$(printf '%s\n' "${latencies[@]}" | python3 -c '
import statistics, sys
v = [float(x) for x in sys.stdin if x.strip()]
print("median %.1f ms, max %.1f ms over %d stops" % (statistics.median(v), max(v), len(v)) if v else "no stop measured")')

"$CLI" list "$TREE" >"$WORK/listing.qln" 2>/dev/null
size_kib=$(( $(stat -c %s "$WORK/listing.qln") / 1024 ))
peak=$(peak_kib "$GUI" "$TREE" "$WORK/listing.qln")
echo "window listing: $(ratio "$plain" "$(mean_of "$WORK/cli.json")")x quillon-cli list (run in the window: $(printf "%.3f" "$plain") s)"
echo "window MD5:     $(ratio "$md5" "$(mean_of "$WORK/cli-md5.json")")x quillon-cli list --md5 (run in the window: $(printf "%.3f" "$md5") s)"
echo "stop latency:   $stop_stats, Escape to the end of an MD5 run"
echo "window memory:  ${peak} KiB with a ${size_kib} KiB listing in two panes"
