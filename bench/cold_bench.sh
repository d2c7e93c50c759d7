#!/usr/bin/env bash
# Listing speed with a cold page cache, against find | xargs md5sum, fdfind
# and the one-thread syscall floor; and the memory peak of a digest listing.
# As root it drops the page cache before each cold run, which slows whatever
# else runs on the machine for a moment; otherwise every run is warm and the
# script says so. Median of RUNS runs (3 unless set).
#   READERS=N  passes --readers N to every digest listing
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
need hyperfine python3
bench_tree
RUNS=${RUNS:-3}
OUT=$WORK/cold
mkdir -p "$OUT"
FLOOR=$BUILD/bench/quillon_syscall_floor
READERS_ARG=${READERS:+--readers $READERS}

DROP="sync; echo 3 > /proc/sys/vm/drop_caches"
if ! { [ "$(id -u)" -eq 0 ] && bash -c "$DROP" 2>"$OUT/drop.err"; }; then
  echo "cannot drop the page cache (needs root): the cold figures below are warm" >&2
  DROP=true
fi
# run NAME PREPARE COMMAND: the command's times into $OUT/NAME.json. A warm
# run (PREPARE empty) is warmed by one run first.
run() {
  local prepare=(-w 1)
  [ -n "$2" ] && prepare=(--prepare "$2")
  hyperfine -S bash -r "$RUNS" "${prepare[@]}" --export-json "$OUT/$1.json" -n "$1" "$3" >&2
}

run md5_cold "$DROP" "$CLI list --md5 $READERS_ARG $TREE > $OUT/md5.qln"
run xargs2_cold "$DROP" "find $TREE -type f -print0 | xargs -0 -P2 -n 2000 md5sum > $OUT/xargs2.out"
run xargs16_cold "$DROP" "find $TREE -type f -print0 | xargs -0 -P16 -n 2000 md5sum > $OUT/xargs16.out"
run plain_cold "$DROP" "$CLI list $TREE > $OUT/plain.qln"
run floor_cold "$DROP" "$FLOOR $TREE > $OUT/floor.out"
if command -v fdfind >"$OUT/fdfind.path"; then
  run fd_cold "$DROP" "fdfind -HI -l -j8 . $TREE > $OUT/fd.out"
else
  echo "fdfind not found (apt-get install fd-find): no fdfind figure" >&2
fi
# A digest listing hands back the pages it read from the disk, so the tree is
# warmed by md5sum; pages that were cached already stay cached.
bash -c "find $TREE -type f -print0 | xargs -0 -P2 -n 2000 md5sum > $OUT/warmup.out"
run md5_warm "" "$CLI list --md5 $READERS_ARG $TREE > $OUT/md5.qln"
run xargs2_warm "" "find $TREE -type f -print0 | xargs -0 -P2 -n 2000 md5sum > $OUT/xargs2.out"
run plain_warm "" "$CLI list $TREE > $OUT/plain.qln"
# The same warm digest comparison with the two commands taking turns, so that
# a machine whose speed drifts over minutes slows both alike: the median of
# the ratios of RUNS pairs.
for _ in $(seq "$RUNS"); do
  /usr/bin/time -f %e -o "$OUT/pair_ours.txt" "$CLI" list --md5 $READERS_ARG "$TREE" > "$OUT/md5.qln" 2>"$OUT/md5.err"
  /usr/bin/time -f %e -o "$OUT/pair_peer.txt" bash -c "find $TREE -type f -print0 | xargs -0 -P2 -n 2000 md5sum > $OUT/xargs2.out"
  echo "$(tail -n 1 "$OUT/pair_ours.txt") $(tail -n 1 "$OUT/pair_peer.txt")"
done > "$OUT/pairs.txt"
run floor_warm "" "$FLOOR $TREE > $OUT/floor.out"

bash -c "$DROP"
/usr/bin/time -f %M -o "$OUT/peak.txt" "$CLI" list --md5 $READERS_ARG "$TREE" > "$OUT/md5.qln" 2>"$OUT/md5.err"
peak=$(tail -n 1 "$OUT/peak.txt")
size_kib=$(( $(stat -c %s "$OUT/md5.qln") / 1024 ))

m() { median_of "$OUT/$1.json"; }
line() { printf '%-24s %7.2f s  %5sx %s\n' "$1" "$(m "$2")" "$(ratio "$(m "$2")" "$(m "$3")")" "$4"; }
echo "median of $RUNS runs${READERS:+, --readers $READERS}"
line "digest listing, cold" md5_cold xargs2_cold "xargs -P2 md5sum (goal 0.50)"
line "digest listing, cold" md5_cold xargs16_cold "xargs -P16 md5sum (goal 1.00)"
line "digest listing, warm" md5_warm xargs2_warm "xargs -P2 md5sum (goal 0.95)"
python3 -c 'import statistics, sys
pairs = [tuple(map(float, l.split())) for l in open(sys.argv[1])]
print("%-24s %7.2f s  %5.2fx xargs -P2 md5sum, taking turns (goal 0.95)" % ("digest listing, warm", statistics.median(p[0] for p in pairs), statistics.median(p[0] / p[1] for p in pairs)))' "$OUT/pairs.txt"
line "plain listing, warm" plain_warm floor_warm "syscall floor (goal 1.00)"
line "plain listing, cold" plain_cold floor_cold "syscall floor"
[ -f "$OUT/fd_cold.json" ] && line "plain listing, cold" plain_cold fd_cold "fdfind -HI -l -j8"
for peer in xargs2_cold xargs16_cold floor_cold fd_cold xargs2_warm floor_warm; do
  [ -f "$OUT/$peer.json" ] && printf '%-24s %7.2f s\n' "$peer" "$(m "$peer")"
done
echo "peak memory, cold digest listing: ${peak} KiB for a ${size_kib} KiB listing (limit $((2 * size_kib + 65536)) KiB)"
