#!/usr/bin/env bash
# A warm MD5 listing of the bench tree against find | xargs -0 -P2 md5sum
# (goal 0.4x, 0.45x at most), the commands taking turns so that a shared
# machine whose speed drifts slows them alike; median of RUNS rounds (5 by
# default), wall and CPU (user + system) time. BEFORE=path/to/quillon-cli
# adds an older build's figures; the listing without io_uring
# (QUILLON_IO_URING=off) and without mapped reads (QUILLON_MAP=off) are
# timed too, and the floor of syscall_floor --read.
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
need python3
bench_tree
RUNS=${RUNS:-5}
OUT=$WORK/warm-md5
rm -rf "$OUT" && mkdir -p "$OUT"
echo "machine: $(nproc) cores, load before: $(load)"
# A digest listing leaves no pages of files it read from the disk behind:
# md5sum warms the tree.
find "$TREE" -type f -print0 | xargs -0 -P2 -n 2000 md5sum > "$OUT/peer.out"
names=(new no-uring no-map peer)
[ -n "${BEFORE:-}" ] && names+=(before)
# The floor: one thread that reads and looks at every file, hashing none.
FLOOR=$BUILD/bench/quillon_syscall_floor
[ -x "$FLOOR" ] && names+=(floor)
for _ in $(seq "$RUNS"); do
  timed "$OUT/new" bash -c "$CLI list --md5 $TREE > $OUT/new.qln 2>/dev/null"
  timed "$OUT/no-uring" bash -c "QUILLON_IO_URING=off $CLI list --md5 $TREE > $OUT/no-uring.qln 2>/dev/null"
  timed "$OUT/no-map" bash -c "QUILLON_MAP=off $CLI list --md5 $TREE > $OUT/no-map.qln 2>/dev/null"
  timed "$OUT/peer" bash -c "find $TREE -type f -print0 | xargs -0 -P2 -n 2000 md5sum > $OUT/peer.out"
  [ -n "${BEFORE:-}" ] && timed "$OUT/before" bash -c "$BEFORE list --md5 $TREE > $OUT/before.qln 2>/dev/null"
  [ -x "$FLOOR" ] && timed "$OUT/floor" bash -c "$FLOOR --read $TREE > $OUT/floor.out"
done
cmp "$OUT/new.qln" "$OUT/no-uring.qln"
cmp "$OUT/new.qln" "$OUT/no-map.qln"
[ -n "${BEFORE:-}" ] && cmp "$OUT/new.qln" "$OUT/before.qln" && echo "both builds list the same bytes"
echo "median of $RUNS rounds, wall s (CPU s), ratio to xargs -P2 md5sum:"
peer=$(median "$OUT/peer" 1) peer_cpu=$(median "$OUT/peer" 2)
for name in "${names[@]}"; do
  wall=$(median "$OUT/$name" 1) cpu=$(median "$OUT/$name" 2)
  printf '%-9s %6.2f s (%5.2f s)  %sx wall, %sx CPU (goal 0.4x)\n' "$name" "$wall" "$cpu" \
    "$(ratio "$wall" "$peer")" "$(ratio "$cpu" "$peer_cpu")"
done
if [ -x "$FLOOR" ]; then
  # What no listing that reads every file can go below, before any hashing:
  # the floor's CPU spread over every core.
  floor_cpu=$(median "$OUT/floor" 2)
  echo "the floor's CPU over $(nproc) cores, before any hashing: $(ratio "$(python3 -c "print($floor_cpu / $(nproc))")" "$peer")x the peer's wall"
fi
echo "load after: $(load)"
