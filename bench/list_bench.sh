#!/usr/bin/env bash
# Listing speed and memory against ls -lR and md5sum, warm cache.
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
need hyperfine python3
bench_tree
ls -lR "$TREE" >/dev/null

# Standard output goes to a file, as a user's redirection would send it.
hyperfine -N -w 2 -r 10 --output "$WORK/listing.out" --export-json "$WORK/list.json" "$CLI list $TREE" >&2
hyperfine -N -w 2 -r 10 --export-json "$WORK/ls.json" "ls -lR $TREE" >&2
hyperfine -N -w 1 -r 5 --output "$WORK/listing.out" --export-json "$WORK/md5.json" "$CLI list --md5 $TREE" >&2
hyperfine -w 1 -r 5 --export-json "$WORK/md5sum.json" "find $TREE -type f -print0 | xargs -0 md5sum" >&2

"$CLI" list "$TREE" -o "$WORK/listing.qln" 2>/dev/null
size_kib=$(( $(stat -c %s "$WORK/listing.qln") / 1024 ))
peak=$(peak_kib "$CLI" list "$TREE")
echo "plain listing:  $(ratio "$(mean_of "$WORK/list.json")" "$(mean_of "$WORK/ls.json")")x ls -lR"
echo "digest listing: $(ratio "$(mean_of "$WORK/md5.json")" "$(mean_of "$WORK/md5sum.json")")x find | xargs md5sum"
echo "peak memory:    ${peak} KiB for a ${size_kib} KiB listing (limit $((2 * size_kib + 40960)) KiB)"
