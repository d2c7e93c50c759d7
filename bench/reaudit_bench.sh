#!/usr/bin/env bash
# A re-audit: an MD5 listing with --reuse-digests whose cache holds every
# file, against a plain listing of the same tree (goal 1.2x, 1.3x at most),
# with nothing changed, and with 0.1% of the files given a new time before
# each run. BEFORE=path/to/quillon-cli adds an older build's figures in the
# same rounds, with a cache of its own. The commands take turns, so that a
# shared machine whose speed drifts slows them alike; each figure is the
# median of RUNS rounds (5 by default), wall and CPU (user + system) time.
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
need python3
bench_tree
RUNS=${RUNS:-5}
OUT=$WORK/reaudit
rm -rf "$OUT" && mkdir -p "$OUT"
take_builds
# One file in a thousand, the same ones each time.
find "$TREE" -type f | sort | awk 'NR % 1000 == 1' > "$OUT/changed.txt"
echo "machine: $(nproc) cores, load before: $(load); $(wc -l < "$OUT/changed.txt") files change"

reuse() {  # build: the reusing listing's command
  echo "${cli[$1]}" list --md5 --reuse-digests --digest-cache "$OUT/cache-$1.sqlite" "$TREE"
}
for build in "${builds[@]}"; do
  # Fills the cache; files changed within 2 s of a read are never kept.
  $(reuse "$build") > "$OUT/fill-$build.qln" 2>/dev/null
done
sleep 3
for build in "${builds[@]}"; do
  $(reuse "$build") > "$OUT/reused-$build.qln" 2>"$OUT/reused-$build.err"
  "${cli[$build]}" list --md5 "$TREE" > "$OUT/read-$build.qln" 2>/dev/null
  cmp "$OUT/reused-$build.qln" "$OUT/read-$build.qln"
  echo "$build: $(tail -n 1 "$OUT/reused-$build.err"); the listing is that of a run that reads every file"
done
[ -n "${BEFORE:-}" ] && cmp "$OUT/reused-new.qln" "$OUT/reused-before.qln" && echo "both builds list the same bytes"

# Nothing changed: every digest comes from the cache.
for _ in $(seq "$RUNS"); do
  for build in "${builds[@]}"; do
    timed "$OUT/plain-$build" bash -c "${cli[$build]} list $TREE > $OUT/plain.qln 2>/dev/null"
    timed "$OUT/same-$build" bash -c "$(reuse "$build") > $OUT/same.qln 2>/dev/null"
  done
done
# 0.1% of the files with a new time each round, for each build alike; the
# plain listing is timed again in these rounds, which may see another load.
round=0
for _ in $(seq "$RUNS"); do
  for build in "${builds[@]}"; do
    timed "$OUT/plain2-$build" bash -c "${cli[$build]} list $TREE > $OUT/plain.qln 2>/dev/null"
    round=$((round + 1))
    xargs -d '\n' touch -m -d "@$((1600000000 + round))" < "$OUT/changed.txt"
    timed "$OUT/changed-$build" bash -c "$(reuse "$build") > $OUT/changed.qln 2>$OUT/changed.err"
  done
done
tail -n 1 "$OUT/changed.err"

echo "median of $RUNS rounds, wall s (CPU s), ratio to the plain listing of the same build:"
for build in "${builds[@]}"; do
  plain_wall=$(median "$OUT/plain-$build" 1) plain_cpu=$(median "$OUT/plain-$build" 2)
  printf '%-7s %-27s %6.2f s (%5.2f s)\n' "$build" "plain listing" "$plain_wall" "$plain_cpu"
  for case in same changed; do
    wall=$(median "$OUT/$case-$build" 1) cpu=$(median "$OUT/$case-$build" 2)
    label="re-audit, nothing changed"
    if [ $case = changed ]; then
      label="re-audit, 0.1% changed"
      plain_wall=$(median "$OUT/plain2-$build" 1) plain_cpu=$(median "$OUT/plain2-$build" 2)
      printf '%-7s %-27s %6.2f s (%5.2f s)\n' "$build" "plain listing, those rounds" "$plain_wall" "$plain_cpu"
    fi
    printf '%-7s %-27s %6.2f s (%5.2f s)  %sx wall, %sx CPU (goal 1.2x)\n' "$build" "$label" "$wall" "$cpu" \
      "$(ratio "$wall" "$plain_wall")" "$(ratio "$cpu" "$plain_cpu")"
  done
done
echo "load after: $(load)"
