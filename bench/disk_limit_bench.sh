#!/usr/bin/env bash
# A cold MD5 listing against the disk's own limit (goal 1.2x), measured with
# fio on the file system of the tree: random reads of the tree's median file
# size at a deep queue, one for each file under 1 MiB, plus sequential reads
# of the bytes of the files of 1 MiB and more. Then cold listings, the page
# cache dropped before each (needs root), the builds taking turns, nothing
# large written just before; median of RUNS rounds (3 by default).
#   BEFORE=path/to/quillon-cli   adds an older build's figures
#   FIO_SIZE=2G                  the size of fio's scratch file
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
need fio python3
bench_tree
RUNS=${RUNS:-3}
OUT=$WORK/disk-limit
rm -rf "$OUT" && mkdir -p "$OUT"
[ "$(id -u)" -eq 0 ] || { echo "needs root to drop the page cache" >&2; exit 1; }
DROP="sync; echo 3 > /proc/sys/vm/drop_caches"
take_builds
echo "machine: $(nproc) cores, load before: $(load)"

# What the tree holds: files under 1 MiB (one random read each) and the
# bytes of the larger ones.
find "$TREE" -type f -printf '%s\n' | sort -n > "$OUT/sizes.txt"
read -r small large_bytes median < <(python3 - "$OUT/sizes.txt" <<'PY'
import sys
sizes = [int(l) for l in open(sys.argv[1])]
small = [s for s in sizes if s < 1 << 20]
print(len(small), sum(s for s in sizes if s >= 1 << 20), sizes[len(sizes) // 2])
PY
)
block=$(( (median + 4095) / 4096 * 4096 ))

# fio on the same file system, straight from the disk (O_DIRECT), at a deep
# queue; its scratch file goes before the listings run.
SCRATCH=$(dirname "$TREE")/fio-scratch-$$
mkdir -p "$SCRATCH"
trap 'rm -rf "$SCRATCH"' EXIT
fio_run() {  # name rw bs depth: prints "iops bytes_per_second"
  fio --name="$1" --filename="$SCRATCH/file" --size="${FIO_SIZE:-2G}" --rw="$2" --bs="$3" --iodepth="$4" \
    --direct=1 --ioengine=io_uring --runtime=10 --time_based --output-format=json > "$OUT/fio-$1.json"
  python3 -c 'import json, sys; r = json.load(open(sys.argv[1]))["jobs"][0]["read"]; print(r["iops"], r["bw_bytes"])' \
    "$OUT/fio-$1.json"
}
fio --name=prepare --filename="$SCRATCH/file" --size="${FIO_SIZE:-2G}" --rw=write --bs=1M --direct=1 \
  --ioengine=io_uring --iodepth=8 > "$OUT/fio-prepare.txt"
read -r iops _ < <(fio_run random randread "$block" 64)
read -r _ seq_bps < <(fio_run sequential read 1M 16)
rm -rf "$SCRATCH"
limit=$(python3 -c "print('%.3f' % ($small / $iops + $large_bytes / $seq_bps))")
echo "fio: $(printf '%.0f' "$iops") random reads of $block bytes a second at depth 64," \
     "$(python3 -c "print('%.2f' % ($seq_bps / 1e9))") GB/s sequential"
echo "limit: $small files under 1 MiB (median $median bytes) and $large_bytes bytes of larger files: $limit s"
# Nothing large was written just before a cold run.
sync
sleep 10

for _ in $(seq "$RUNS"); do
  for build in "${builds[@]}"; do
    bash -c "$DROP"
    timed "$OUT/cold-$build" bash -c "${cli[$build]} list --md5 $TREE > $OUT/$build.qln 2>/dev/null"
  done
  [ -n "${BEFORE:-}" ] && cmp "$OUT/new.qln" "$OUT/before.qln"
done
[ -n "${BEFORE:-}" ] && echo "every round: both builds listed the same bytes"
echo "median of $RUNS rounds, cold, wall s (CPU s):"
for build in "${builds[@]}"; do
  wall=$(median "$OUT/cold-$build" 1)
  printf '%-7s MD5 listing %6.2f s (%5.2f s)  %sx the disk'"'"'s limit (goal 1.2x)\n' "$build" "$wall" \
    "$(median "$OUT/cold-$build" 2)" "$(ratio "$wall" "$limit")"
done
echo "load after: $(load)"
