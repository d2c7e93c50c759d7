#!/usr/bin/env bash
# The peak memory (GNU time's maximum resident set) and the time of
# list --md5 of a tree of 1,000,000 small files (make_wide_tree.py), at
# --readers 2 and 16, against the 64 MiB bound; BEFORE=path/to/quillon-cli
# adds an older build's figures, the builds taking turns. Median of RUNS
# rounds (3 by default). WIDE=DIR names a tree made already.
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
need python3
RUNS=${RUNS:-3}
WIDE=${WIDE:-$WORK/wide/1000000}
OUT=$WORK/memory
rm -rf "$OUT" && mkdir -p "$OUT"
[ -d "$WIDE" ] || python3 "$BENCH_DIR/make_wide_tree.py" "$WIDE" 1000000 >&2
take_builds
echo "machine: $(nproc) cores, load before: $(load)"
# Warm: a digest listing leaves no pages of files it read from the disk.
find "$WIDE" -type f -print0 | xargs -0 -P2 -n 5000 md5sum > "$OUT/warm.out"
for _ in $(seq "$RUNS"); do
  for readers in 2 16; do
    for build in "${builds[@]}"; do
      /usr/bin/time -f "%e %U %S %M" -o "$OUT/time.txt" "${cli[$build]}" list --md5 --readers "$readers" "$WIDE" \
        > "$OUT/$build.qln" 2>/dev/null
      read -r wall user system peak < <(tail -n 1 "$OUT/time.txt")
      echo "$wall $(python3 -c "print($user + $system)") $peak" >> "$OUT/$build-$readers"
    done
  done
done
[ -n "${BEFORE:-}" ] && cmp "$OUT/new.qln" "$OUT/before.qln" && echo "both builds list the same bytes"
echo "median of $RUNS rounds:"
for readers in 2 16; do
  for build in "${builds[@]}"; do
    f=$OUT/$build-$readers
    printf '%-7s --readers %-3s peak %6.1f MiB (bound 64)  %6.2f s wall  %6.2f s CPU\n' "$build" "$readers" \
      "$(python3 -c "print($(median "$f" 3) / 1024)")" "$(median "$f" 1)" "$(median "$f" 2)"
  done
done
echo "load after: $(load)"
