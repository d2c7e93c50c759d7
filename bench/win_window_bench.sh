#!/usr/bin/env bash
# The Win32 window under wine against quillon-cli.exe under wine, on the bench
# tree: the window's run is timed from the List command to the end of the
# paint that shows the finished listing (quillon_win_bench prints it), the
# command-line tool's whole. Then a listing of 1,000,000 lines is opened in
# the window: the time to its paint, and the memory. Runs on a virtual
# display of its own. Build first: ./quillon.sh test (or build-windows/ with
# -DQUILLON_BUILD_TESTS=ON, for the benchmark driver).
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
need python3 wine xvfb-run
if [ -z "${QUILLON_BENCH_DISPLAY:-}" ]; then
  export QUILLON_BENCH_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
bench_tree
BUILD_WINDOWS=${BUILD_WINDOWS:-$ROOT/build-windows}
PREFIX=$BUILD_WINDOWS/wineprefix-window
WINE_RUN="$ROOT/tests/wine/run_under_wine.sh $PREFIX"
EXE=$BUILD_WINDOWS/quillon-cli.exe
DRIVER=$BUILD_WINDOWS/bench/win/quillon_win_bench.exe
windows_path() { echo "Z:$(tr / '\\' <<<"$1")"; }
WIN_TREE=$(windows_path "$TREE")
ls -lR "$TREE" >/dev/null
# Keep wine's server up between runs, as it would be on a desktop.
export QUILLON_WINE_LINGER=120
$WINE_RUN "$EXE" --version >/dev/null

# Mean seconds of the window's runs, the first one left out as warm-up.
window_mean() {
  local runs=()
  for _ in $(seq "$1"); do
    runs+=("$($WINE_RUN "$DRIVER" "${@:2}" | sed -n 's/.* in \([0-9]*\) ms.*/\1/p')")
  done
  printf '%s\n' "${runs[@]:1}" | python3 -c 'import sys; v=[float(x) for x in sys.stdin]; print(sum(v)/len(v)/1000)'
}

window=$(window_mean 6 "$WIN_TREE")
# The command-line tool's whole runs, timed alike: one warm-up, then the mean.
cli_runs=()
for _ in $(seq 6); do
  start=$(date +%s.%N)
  $WINE_RUN "$EXE" list "$WIN_TREE" > "$WORK/wine-cli.qln"
  cli_runs+=("$(python3 -c "import sys; print($(date +%s.%N) - $start)")")
done
cli=$(printf '%s\n' "${cli_runs[@]:1}" | python3 -c 'import sys; v=[float(x) for x in sys.stdin]; print(sum(v)/len(v))')
echo "window listing under wine: $window s to the paint of the finished listing"
echo "quillon-cli.exe list under wine: $cli s"
echo "ratio: $(ratio "$window" "$cli")x (goal at most 1.15x)"

BIG=$WORK/million.qln
[ -f "$BIG" ] || python3 "$ROOT/bench/make_listings.py" "$BIG" "$WORK/million-new.qln" --files 1000000 >&2
for _ in 1 2 3; do $WINE_RUN "$DRIVER" --open "$(windows_path "$BIG")"; done
WINEPREFIX=$PREFIX wineserver -k
