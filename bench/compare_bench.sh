#!/usr/bin/env bash
# Comparison of two 1,000,000-file listings against sort and comm, warm cache.
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
need hyperfine python3
OLD=$WORK/old.qln NEW=$WORK/new.qln
[ -f "$NEW" ] || python3 "$BENCH_DIR/make_listings.py" "$OLD" "$NEW" --files 1000000
cat "$OLD" "$NEW" >/dev/null

hyperfine -N -i -w 1 -r 10 --export-json "$WORK/compare.json" "$CLI compare $NEW $OLD -o $WORK/results.txt" >&2
hyperfine -w 1 -r 10 --export-json "$WORK/sortcomm.json" \
  "LC_ALL=C sort $NEW > $WORK/s1; LC_ALL=C sort $OLD > $WORK/s2; comm -3 $WORK/s1 $WORK/s2 > $WORK/comm.out" >&2

files_kib=$(( ($(stat -c %s "$OLD") + $(stat -c %s "$NEW")) / 1024 ))
peak=$(peak_kib "$CLI" compare "$NEW" "$OLD" -o "$WORK/results.txt")
echo "compare:     $(ratio "$(mean_of "$WORK/compare.json")" "$(mean_of "$WORK/sortcomm.json")")x sort + comm"
echo "peak memory: ${peak} KiB for ${files_kib} KiB of listings (limit $((3 * files_kib)) KiB)"
echo "results:     $(wc -l < "$WORK/results.txt") lines"
"$BUILD/bench/quillon_read_bench" "$OLD" | sed 's/^/open:        /'
# The same listing with CR alone ending each line must load as fast.
[ -f "$OLD.cr" ] || tr -d '\n' < "$OLD" > "$OLD.cr"
"$BUILD/bench/quillon_read_bench" "$OLD.cr" | sed 's/^/open CR:     /'
