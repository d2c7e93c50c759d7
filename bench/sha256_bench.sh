#!/usr/bin/env bash
# A warm SHA-256 listing of the bench tree against find | xargs -0 -P2
# sha256sum (at most 1.0x, goal 0.7x) and against our own MD5 listing, by
# wall time and by CPU time (user + system). The three commands take turns,
# so that a shared machine whose speed drifts slows them alike; each figure
# is the median of RUNS rounds (5 by default).
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
need python3
bench_tree
RUNS=${RUNS:-5}
OUT=$WORK/sha256
mkdir -p "$OUT"

timed() {  # name command...: appends "wall cpu" to $OUT/name.txt
  local name=$1
  shift
  /usr/bin/time -f "%e %U %S" -o "$OUT/$name.time" "$@"
  read -r wall user system < <(tail -n 1 "$OUT/$name.time")
  echo "$wall $(python3 -c "print($user + $system)")" >> "$OUT/$name.txt"
}

rm -f "$OUT"/*.txt
# Warm the page cache and the tools once.
"$CLI" list --sha256 "$TREE" > "$OUT/sha256.qln" 2>/dev/null
find "$TREE" -type f -print0 | xargs -0 -P2 -n 2000 sha256sum > "$OUT/sha256sum.out"
for _ in $(seq "$RUNS"); do
  timed ours_sha256 bash -c "\"$CLI\" list --sha256 \"$TREE\" > \"$OUT/sha256.qln\" 2>/dev/null"
  timed peer bash -c "find \"$TREE\" -type f -print0 | xargs -0 -P2 -n 2000 sha256sum > \"$OUT/sha256sum.out\""
  timed ours_md5 bash -c "\"$CLI\" list --md5 \"$TREE\" > \"$OUT/md5.qln\" 2>/dev/null"
done

# The listing's digests are those of sha256sum, file for file.
python3 - "$OUT/sha256.qln" "$OUT/sha256sum.out" <<'PY'
import re, sys
ours = {}
for line in open(sys.argv[1], "rb").read().split(b"\r\n"):
    m = re.match(rb".{19} \d+ Bytes .{11} ([0-9a-f]{64}) (.*)$", line)
    if m:
        ours[m.group(2)] = m.group(1)
theirs = {path: digest for digest, path in (l.split(b"  ", 1) for l in open(sys.argv[2], "rb").read().splitlines())}
assert ours == theirs, "the digests differ from sha256sum's"
print("digests: %d files, the same as sha256sum's" % len(ours))
PY

python3 - "$OUT" "$RUNS" <<'PY'
import statistics, sys
out, runs = sys.argv[1], sys.argv[2]
def figures(name):
    rows = [tuple(map(float, l.split())) for l in open("%s/%s.txt" % (out, name))]
    return statistics.median(r[0] for r in rows), statistics.median(r[1] for r in rows)
(sw, sc), (pw, pc), (mw, mc) = figures("ours_sha256"), figures("peer"), figures("ours_md5")
print("medians of %s rounds, warm cache" % runs)
print("sha256 listing  %6.2f s wall %6.2f s cpu" % (sw, sc))
print("xargs -P2 sha256sum %6.2f s wall %6.2f s cpu" % (pw, pc))
print("md5 listing     %6.2f s wall %6.2f s cpu" % (mw, mc))
print("sha256 listing vs find | xargs -0 -P2 sha256sum: %.2fx wall (at most 1.0, goal 0.7), %.2fx cpu" % (sw / pw, sc / pc))
print("sha256 listing vs our md5 listing:              %.2fx wall, %.2fx cpu" % (sw / mw, sc / mc))
PY
