#!/usr/bin/env bash
# The digest cache on the bench tree, warm page cache:
#   an MD5 listing that reuses every digest against a plain listing (goal 1.5x),
#   the first run, which fills the cache, against an MD5 run without it (goal 1.1x),
#   and the cache file's size per 1,000 files.
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
need hyperfine python3
bench_tree
RUNS=${RUNS:-5}
CACHE=$WORK/digest-cache.sqlite
OUT=$WORK/digest-cache-out.qln
ls -lR "$TREE" >/dev/null
# A file changed within 2 s of its read is never reused: let a fresh tree settle.
sleep 3

fresh_cache="rm -f $CACHE $CACHE-wal $CACHE-shm"
hyperfine -N -w 1 -r "$RUNS" --output "$OUT" --export-json "$WORK/dc-plain.json" "$CLI list $TREE" >&2
hyperfine -N -w 1 -r "$RUNS" --output "$OUT" --export-json "$WORK/dc-md5.json" "$CLI list --md5 $TREE" >&2
hyperfine -N -w 1 -r "$RUNS" --output "$OUT" --prepare "$fresh_cache" --export-json "$WORK/dc-fill.json" \
  "$CLI list --md5 --reuse-digests --digest-cache $CACHE $TREE" >&2
hyperfine -N -w 1 -r "$RUNS" --output "$OUT" --export-json "$WORK/dc-warm.json" \
  "$CLI list --md5 --reuse-digests --digest-cache $CACHE $TREE" >&2

# The listing is the same whether or not digests were reused.
"$CLI" list --md5 "$TREE" >"$WORK/dc-read.qln" 2>/dev/null
"$CLI" list --md5 --reuse-digests --digest-cache "$CACHE" "$TREE" >"$WORK/dc-reused.qln" 2>"$WORK/dc-reused.err"
cmp "$WORK/dc-read.qln" "$WORK/dc-reused.qln"
files=$(find "$TREE" -type f | wc -l)
# CPU seconds (user + system) as well: on a shared machine they vary less than the wall clock.
cpu_of() { python3 -c 'import json,sys; r=json.load(open(sys.argv[1]))["results"][0]; print(r["user"] + r["system"])' "$1"; }
bytes=$(stat -c %s "$CACHE")

echo "reused:                $(tail -n 1 "$WORK/dc-reused.err")"
for run in plain md5 fill warm; do
  echo "$run: $(mean_of "$WORK/dc-$run.json") s wall, $(cpu_of "$WORK/dc-$run.json") s CPU"
done
echo "warm cache, MD5:       $(ratio "$(mean_of "$WORK/dc-warm.json")" "$(mean_of "$WORK/dc-plain.json")")x plain listing" \
     "(CPU $(ratio "$(cpu_of "$WORK/dc-warm.json")" "$(cpu_of "$WORK/dc-plain.json")")x)"
echo "first run, fills it:   $(ratio "$(mean_of "$WORK/dc-fill.json")" "$(mean_of "$WORK/dc-md5.json")")x MD5 listing without cache" \
     "(CPU $(ratio "$(cpu_of "$WORK/dc-fill.json")" "$(cpu_of "$WORK/dc-md5.json")")x)"
echo "cache size:            $((bytes / 1024)) KiB, $((bytes * 1000 / files / 1024)) KiB per 1,000 files"
