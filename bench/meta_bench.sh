#!/usr/bin/env bash
# A warm --meta listing of the bench tree against a plain listing, and a
# --meta --md5 listing against an MD5 listing: each at most 1.3x. hyperfine
# runs the pairs in several rounds, so that a shared machine whose speed
# drifts over minutes slows both sides of a pair alike; each round's ratio
# of means is printed, and their median is the figure. Wall time counts;
# user + system time is shown beside it.
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
need hyperfine python3
bench_tree
ROUNDS=${ROUNDS:-5}
RUNS=${RUNS:-5}
OUT=$WORK/meta
mkdir -p "$OUT"
# Warm the page cache once.
"$CLI" list --meta --md5 "$TREE" > "$OUT/warm.qln" 2>/dev/null

# Median ratio of round-by-round means, wall and CPU, for: name plain-command meta-command.
pair() {
  local name=$1 plain=$2 meta=$3
  rm -f "$OUT/$name".*.json
  for round in $(seq "$ROUNDS"); do
    hyperfine -N -w 1 -r "$RUNS" --output "$OUT/$name.out" --export-json "$OUT/$name.$round.json" \
      "$plain $TREE" "$meta $TREE" >&2
  done
  python3 - "$name" "$OUT/$name".*.json <<'PY'
import json, statistics, sys
wall, cpu = [], []
for file in sys.argv[2:]:
    plain, meta = json.load(open(file))["results"]
    wall.append(meta["mean"] / plain["mean"])
    cpu.append((meta["user"] + meta["system"]) / (plain["user"] + plain["system"]))
print("%-10s wall %.2fx (rounds %s), cpu %.2fx (limit 1.3x)" % (
    sys.argv[1], statistics.median(wall), " ".join("%.2f" % r for r in wall), statistics.median(cpu)))
PY
}

pair meta "$CLI list" "$CLI list --meta"
pair meta-md5 "$CLI list --md5" "$CLI list --md5 --meta"
# The floor: one thread that only walks and stats, against one that also
# asks every entry for its attribute list: what the one system call a
# metadata listing adds per entry costs at the least.
FLOOR=$BUILD/bench/quillon_syscall_floor
[ -x "$FLOOR" ] && pair floor "$FLOOR" "$FLOOR --xattrs"
