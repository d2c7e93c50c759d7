#!/usr/bin/env bash
# The multi-lane MD5 engine and the digest listing built on it:
#  1. the engine alone on one core, in GB/s, per kernel and as a listing runs
#     it (auto: narrower kernels for few busy lanes), for 1, 4, 16 and 64
#     streams of 1 MiB and of 16 KiB, beside openssl speed -evp md5;
#  2. a warm digest listing of the bench tree against find | xargs -0 -P2
#     md5sum, hashdeep -c md5 (when installed) and BEFORE (a quillon-cli built
#     from before the engine, when given), the commands taking turns RUNS
#     times (5 unless set), wall and CPU time each;
#  3. a tree of 8 files of 200 MB against md5sum of them one after the other
#     (one stream), made for the run and removed after it;
#  4. with COLD=1, as root: cold digest listings of this build and BEFORE,
#     taking turns COLD_ROUNDS times (3 unless set); the page cache of the
#     whole machine is dropped before each.
# The load average is shown, since other work on the machine slows each
# command alike only when the commands take turns.
#   BEFORE=/path/to/quillon-cli  RUNS=N  COLD=1  COLD_ROUNDS=N
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
need python3 md5sum openssl
LANES=$BUILD/bench/quillon_md5_lanes_bench
RUNS=${RUNS:-5}
OUT=$WORK/lanes
mkdir -p "$OUT"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg); cores: $(nproc)"
echo "kernel a listing uses here: $("$LANES" auto 16 65536 0.05 | cut -d' ' -f1)"

echo "== engine, one core, GB/s of CPU time"
printf '%-8s' kernel
for size in 1048576 16384; do for streams in 1 4 16 64; do printf '%12s' "${streams}x$((size / 1024))K"; done; done
echo
for kernel in scalar sse2 avx2 avx512 auto; do
  printf '%-8s' "$kernel"
  for size in 1048576 16384; do
    for streams in 1 4 16 64; do
      line=$("$LANES" "$kernel" "$streams" "$size" 0.5)
      case "$line" in *"not on this CPU"*) printf '%12s' "-" ;; *) printf '%12s' "$(echo "$line" | sed 's/.*: \([0-9.]*\) GB.*/\1/')" ;; esac
    done
  done
  echo
done
openssl speed -seconds 1 -evp md5 2>/dev/null | awk '/^md5/ { printf "openssl speed -evp md5, 16 KiB blocks: %.2f GB/s\n", $NF / 1e6 }'

# take NAME COMMAND: one run, "wall user system" appended to $OUT/NAME.times.
take() {
  /usr/bin/time -f "%e %U %S" -o "$OUT/$1.time" bash -c "$2" 2>"$OUT/$1.err" || { cat "$OUT/$1.err" >&2; exit 1; }
  tail -n 1 "$OUT/$1.time" >> "$OUT/$1.times"
}
# summary NAME PEER: median wall and CPU of NAME, and the median ratios to PEER's runs of the same turns.
summary() {
  python3 - "$OUT/$1.times" "$OUT/$2.times" "$1" "$2" <<'PY'
import statistics, sys
ours = [list(map(float, l.split())) for l in open(sys.argv[1])]
peer = [list(map(float, l.split())) for l in open(sys.argv[2])]
med = lambda xs: statistics.median(xs)
wall = med(o[0] / p[0] for o, p in zip(ours, peer))
cpu = med((o[1] + o[2]) / (p[1] + p[2]) for o, p in zip(ours, peer))
print("%-14s wall %6.2f s  cpu %6.2f s (user %5.2f, sys %5.2f)   vs %-12s wall %5.2fx  cpu %5.2fx" % (
    sys.argv[3], med(o[0] for o in ours), med(o[1] + o[2] for o in ours), med(o[1] for o in ours),
    med(o[2] for o in ours), sys.argv[4], wall, cpu))
PY
}

echo "== warm digest listing of the bench tree, $RUNS turns"
bench_tree
rm -f "$OUT"/*.times
bash -c "find $TREE -type f -print0 | xargs -0 -P2 -n 2000 md5sum > $OUT/warmup.out"
peers=(xargs)
command -v hashdeep >/dev/null && peers+=(hashdeep)
[ -n "${BEFORE:-}" ] && peers+=(before)
for turn in $(seq "$RUNS"); do
  take ours "$CLI list --md5 $TREE > $OUT/ours.qln"
  take xargs "find $TREE -type f -print0 | xargs -0 -P2 -n 2000 md5sum > $OUT/xargs.out"
  take ours1 "$CLI list --md5 --readers 1 $TREE > $OUT/ours1.qln"
  command -v hashdeep >/dev/null && take hashdeep "hashdeep -c md5 -r $TREE > $OUT/hashdeep.out"
  [ -n "${BEFORE:-}" ] && take before "$BEFORE list --md5 $TREE > $OUT/before.qln"
  [ -n "${BEFORE:-}" ] && take before1 "$BEFORE list --md5 --readers 1 $TREE > $OUT/before1.qln"
  echo "turn $turn of $RUNS, load $(cut -d' ' -f1 /proc/loadavg)" >&2
done
for peer in "${peers[@]}"; do summary ours "$peer"; done
[ -n "${BEFORE:-}" ] && summary ours1 before1
for peer in "${peers[@]}"; do summary "$peer" "$peer" | sed 's/   vs.*//'; done
if [ -n "${BEFORE:-}" ]; then
  cmp -s "$OUT/ours.qln" "$OUT/before.qln" && cmp -s "$OUT/ours1.qln" "$OUT/before.qln" &&
    echo "listings byte-identical to BEFORE's, default readers and --readers 1" || echo "LISTINGS DIFFER from BEFORE's"
fi

echo "== 8 files of 200 MB"
BIG=$WORK/big8
mkdir -p "$BIG"
for i in 1 2 3 4 5 6 7 8; do
  [ -f "$BIG/f$i" ] || head -c 200000000 /dev/urandom > "$BIG/f$i"
done
cat "$BIG"/f* > "$OUT/big.warmup"
rm -f "$OUT/big.warmup" "$OUT"/big_*.times
for turn in $(seq 3); do
  take big_ours "$CLI list --md5 $BIG > $OUT/big.qln"
  take big_md5sum "md5sum $BIG/f* > $OUT/big.md5sum"
  [ -n "${BEFORE:-}" ] && take big_before "$BEFORE list --md5 $BIG > $OUT/big_before.qln"
done
summary big_ours big_md5sum
[ -n "${BEFORE:-}" ] && summary big_ours big_before
rm -rf "$BIG"

if [ "${COLD:-}" = 1 ]; then
  # Several rounds, the builds taking turns: the first cold read after the
  # large files above were written and removed is slowed by what the disk
  # still does with them, whichever build comes first.
  COLD_ROUNDS=${COLD_ROUNDS:-3}
  echo "== cold digest listing of the bench tree, $COLD_ROUNDS rounds"
  DROP="sync; echo 3 > /proc/sys/vm/drop_caches"
  rm -f "$OUT"/cold_*.times
  same=yes
  for round in $(seq "$COLD_ROUNDS"); do
    bash -c "$DROP"
    take cold_ours "$CLI list --md5 $TREE > $OUT/cold.qln"
    if [ -n "${BEFORE:-}" ]; then
      bash -c "$DROP"
      take cold_before "$BEFORE list --md5 $TREE > $OUT/cold_before.qln"
      cmp -s "$OUT/cold.qln" "$OUT/cold_before.qln" || same=no
    fi
  done
  if [ -n "${BEFORE:-}" ]; then
    summary cold_ours cold_before
    [ "$same" = yes ] && echo "cold listings byte-identical" || echo "COLD LISTINGS DIFFER"
  else
    summary cold_ours cold_ours | sed 's/   vs.*//'
  fi
fi
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
