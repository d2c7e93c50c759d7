#!/usr/bin/env bash
# Moved files and readable output of the comparison, on two 1,000,000-line
# listings with digests and 1% of the files moved, warm cache:
#   compare --moves against plain compare (goal at most 1.2x),
#   --format json (and csv) against text (goal at most 1.5x),
#   and a million-line result written as text, CSV and JSON and read back by
#   Python's csv and json modules.
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
need hyperfine python3
RUNS=${RUNS:-10}
OLD=$WORK/moved_old.qln NEW=$WORK/moved_new.qln EMPTY=$WORK/empty.qln
[ -f "$NEW" ] || python3 "$BENCH_DIR/make_listings.py" "$OLD" "$NEW" --files 1000000 --moved 0.01 --digests
printf '>>> All directories found >>>\r\n<<< All directories found <<<\r\nNumber of Files = 0\r\n' > "$EMPTY"
cat "$OLD" "$NEW" >/dev/null

# Ratio of the a-th to the b-th command (from 0) of a hyperfine export, by
# mean wall time, and by minimum wall time and mean user time, which a busy
# machine disturbs less.
ratios() {
  python3 - "$@" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
a, b = r[int(sys.argv[2])], r[int(sys.argv[3])]
print("%.2fx (min %.2fx, user %.2fx)" % (a["mean"] / b["mean"], a["min"] / b["min"], a["user"] / b["user"]))
PY
}

hyperfine -N -i -w 1 -r "$RUNS" --export-json "$WORK/moves.json" \
  "$CLI compare $NEW $OLD -o $WORK/plain.txt" \
  "$CLI compare --moves $NEW $OLD -o $WORK/moves.txt" \
  "$CLI compare --moves --format json $NEW $OLD -o $WORK/moves.jsonl" \
  "$CLI compare --moves --format csv $NEW $OLD -o $WORK/moves.csv" >&2
m=$WORK/moves.json
echo "compare --moves:        $(ratios $m 1 0) plain compare (goal 1.2x)"
echo "--moves --format json:  $(ratios $m 2 1) --moves text (goal 1.5x)"
echo "--moves --format csv:   $(ratios $m 3 1) --moves text"
echo "results:                $(wc -l < "$WORK/plain.txt") lines plain, $(wc -l < "$WORK/moves.txt") with moves," \
     "$(grep -c '^Moved: ' "$WORK/moves.txt") of them moves"

# A million-line result: everything current is new.
hyperfine -N -i -w 1 -r "$(( (RUNS + 2) / 3 + 1 ))" --export-json "$WORK/million.json" \
  "$CLI compare $NEW $EMPTY -o $WORK/million.txt" \
  "$CLI compare --format json $NEW $EMPTY -o $WORK/million.jsonl" \
  "$CLI compare --format csv $NEW $EMPTY -o $WORK/million.csv" >&2
m=$WORK/million.json
echo "million-line result:    json $(ratios $m 1 0) text, csv $(ratios $m 2 0) text"
echo "peak memory, json:      $(peak_kib "$CLI" compare --format json "$NEW" "$EMPTY" -o "$WORK/million.jsonl") KiB" \
     "(text: $(peak_kib "$CLI" compare "$NEW" "$EMPTY" -o "$WORK/million.txt") KiB)"
python3 - "$WORK/million.txt" "$WORK/million.jsonl" "$WORK/million.csv" <<'PY'
import csv, json, sys, time
lines = sum(1 for _ in open(sys.argv[1], "rb"))
start = time.time()
with open(sys.argv[2], encoding="utf-8") as f:
    records = [json.loads(line) for line in f]
assert records[-1]["added"] == lines == len(records) - 1, (lines, len(records))
assert all(r["change"] == "added" and isinstance(r["size"], int) for r in records[:-1])
json_s = time.time() - start
start = time.time()
with open(sys.argv[3], encoding="utf-8", errors="surrogateescape", newline="") as f:
    rows = list(csv.DictReader(f))
assert len(rows) == lines and all(r["change"] == "added" for r in rows)
print("read back by Python:    %d records, json %.1f s, csv %.1f s" % (lines, json_s, time.time() - start))
PY
