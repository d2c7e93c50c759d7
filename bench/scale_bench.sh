#!/usr/bin/env bash
# compare and list in a fixed memory budget, at scale (README, Benchmarks).
# Never run in CI. Needs about 12 GB of disk under $WORK; CLEAN=1 removes the
# big files afterwards. BASE_CLI=path/to/quillon-cli adds the figures of a
# baseline build for the 10^6-line pair.
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
need python3 awk
S=$WORK/scale
mkdir -p "$S"
BIG=${BIG:-10000000}
TREES=${TREES:-$WORK/wide}
BASE_CLI=${BASE_CLI:-}

load() { awk '{ print $1 ", " $2 ", " $3 }' /proc/loadavg; }

# Runs a command with its standard output to a file; sets WALL, CPU (user +
# system seconds) and PEAK (KiB).
measure() {
  local out=$1
  shift
  /usr/bin/time -f "%e %U %S %M" -o "$S/time.txt" "$@" >"$out" 2>/dev/null || true
  read -r WALL user sys PEAK < <(tail -n 1 "$S/time.txt")
  CPU=$(python3 -c "print('%.2f' % ($user + $sys))")
}

# The bytes a run writes besides its output, sampled from /proc while it runs.
written_besides_output() {
  local out=$1 pid last=0 now
  shift
  "$@" >"$out" 2>/dev/null &
  pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    now=$(awk '/^wchar/ { print $2 }' "/proc/$pid/io" 2>/dev/null || true)
    [ -n "$now" ] && last=$now
    sleep 0.1
  done
  wait "$pid" || true
  echo $((last - $(stat -c %s "$out")))
}

calc() { python3 -c "print($1)"; }

for n in 1000000 "$BIG"; do
  [ -f "$S/new$n.qln" ] || python3 "$BENCH_DIR/make_server_listings.py" "$S/old$n.qln" "$S/new$n.qln" --files "$n" >&2
done
echo "machine: $(nproc) cores, load before: $(load)"

# 10^6 lines, default budget (in memory).
cat "$S/old1000000.qln" "$S/new1000000.qln" >/dev/null
measure "$S/r6.txt" "$CLI" compare "$S/new1000000.qln" "$S/old1000000.qln"
wall6=$WALL cpu6=$CPU peak6=$PEAK
echo "10^6 default:   ${wall6} s wall, ${cpu6} s CPU, peak $((peak6 / 1024)) MiB = $(calc "round($peak6 * 1024 / 1e6)") B/line (target <= 250)"
if [ -n "$BASE_CLI" ]; then
  measure "$S/r6base.txt" "$BASE_CLI" compare "$S/new1000000.qln" "$S/old1000000.qln"
  echo "  baseline:     ${WALL} s wall, ${CPU} s CPU, peak $((PEAK / 1024)) MiB = $(calc "round($PEAK * 1024 / 1e6)") B/line"
  echo "  ratio:        CPU $(calc "'%.2f' % ($cpu6 / $CPU)")x, memory $(calc "'%.2f' % ($peak6 / $PEAK)")x (target <= 1); output $(cmp -s "$S/r6.txt" "$S/r6base.txt" && echo identical || echo DIFFERENT)"
fi

# 10^7 lines in memory, then in 256 MiB.
cat "$S/old$BIG.qln" "$S/new$BIG.qln" >/dev/null
measure "$S/r7mem.txt" "$CLI" compare --memory 1T "$S/new$BIG.qln" "$S/old$BIG.qln"
wall7=$WALL cpu7=$CPU peak7=$PEAK
echo "10^7 in memory: ${wall7} s wall, ${cpu7} s CPU, peak $((peak7 / 1024)) MiB = $(calc "round($peak7 * 1024 / $BIG)") B/line"
echo "  per line vs 10^6: CPU $(calc "'%.2f' % (($cpu7 / $BIG) / ($cpu6 / 1e6))")x, wall $(calc "'%.2f' % (($wall7 / $BIG) / ($wall6 / 1e6))")x (flat = 1)"
measure "$S/r7spill.txt" "$CLI" compare --memory 256M --temp-dir "$S" "$S/new$BIG.qln" "$S/old$BIG.qln"
echo "10^7 --memory 256M: ${WALL} s wall, ${CPU} s CPU, peak $((PEAK / 1024)) MiB (target <= 320)"
echo "  vs in memory: wall $(calc "'%.2f' % ($WALL / $wall7)")x, CPU $(calc "'%.2f' % ($CPU / $cpu7)")x (target <= 2); output $(cmp -s "$S/r7mem.txt" "$S/r7spill.txt" && echo identical || echo DIFFERENT)"
spill=$(written_besides_output "$S/r7spill2.txt" "$CLI" compare --memory 256M --temp-dir "$S" "$S/new$BIG.qln" "$S/old$BIG.qln")
lines=$(($(wc -l <"$S/old$BIG.qln") + $(wc -l <"$S/new$BIG.qln")))
echo "  spill: $((spill / 1048576)) MiB written = $(calc "round($spill / $lines)") B per input line (input $(calc "round(($(stat -c %s "$S/old$BIG.qln") + $(stat -c %s "$S/new$BIG.qln")) / $lines)") B/line)"
measure "$S/r7moves.txt" "$CLI" compare --moves --memory 256M --temp-dir "$S" "$S/new$BIG.qln" "$S/old$BIG.qln"
echo "  with --moves: ${WALL} s wall, ${CPU} s CPU, peak $((PEAK / 1024)) MiB"

# list: trees of 200,000 and 1,000,000 small files, 40 to a folder.
for n in 200000 1000000; do
  [ -d "$TREES/$n" ] || python3 "$BENCH_DIR/make_wide_tree.py" "$TREES/$n" "$n" >&2
  for md5 in "" --md5; do
    measure "$S/list.txt" "$CLI" list $md5 "$TREES/$n"
    echo "list $md5 $n files: ${WALL} s wall, ${CPU} s CPU, peak $((PEAK / 1024)) MiB (target <= 64)"
    if [ -n "$BASE_CLI" ]; then
      measure "$S/list-base.txt" "$BASE_CLI" list $md5 "$TREES/$n"
      echo "  baseline: ${WALL} s wall, ${CPU} s CPU, peak $((PEAK / 1024)) MiB; listing $(cmp -s "$S/list.txt" "$S/list-base.txt" && echo identical || echo DIFFERENT)"
    fi
  done
done
echo "load after: $(load)"

if [ "${CLEAN:-0}" = 1 ]; then
  rm -rf "$S" "$TREES"
fi
