# Shared by the benchmark scripts: where things are, and the tree they use.
BENCH_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$BENCH_DIR/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
WORK=${WORK:-/tmp/quillon-bench}
CLI=$BUILD/quillon-cli
mkdir -p "$WORK"

need() {
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "needs $tool (apt-get install $tool)" >&2; exit 1; }
  done
}

# The 200,000-file tree of 1.5 GiB, made once, the same bytes on every machine;
# TREE=DIR names one made already (make_tree.py DIR 200000 10000 1500).
bench_tree() {
  TREE=${TREE:-$WORK/tree}
  if [ ! -d "$TREE" ]; then
    python3 "$BENCH_DIR/make_tree.py" "$TREE" 200000 10000 1500 >&2
  fi
}

# Mean and median seconds of a command from hyperfine's JSON export.
mean_of() { python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["results"][0]["mean"])' "$1"; }
median_of() { python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["results"][0]["median"])' "$1"; }
ratio() { python3 -c 'import sys; print("%.2f" % (float(sys.argv[1]) / float(sys.argv[2])))' "$1" "$2"; }
peak_kib() { { /usr/bin/time -f %M "$@" 2>&1 >/dev/null || true; } | tail -n 1; }

# The load of the machine: the 1, 5 and 15 minute averages.
# The builds a script times, each by its command line: this one as new,
# and BEFORE (an older quillon-cli) as before when it is given.
take_builds() {
  builds=(new)
  declare -gA cli=([new]=$CLI)
  if [ -n "${BEFORE:-}" ]; then
    builds+=(before)
    cli[before]=$BEFORE
  fi
}
load() { awk '{ print $1 ", " $2 ", " $3 }' /proc/loadavg; }

# timed FILE command...: runs the command and appends "wall cpu" (seconds;
# cpu = user + system) to FILE.
timed() {
  local file=$1
  shift
  /usr/bin/time -f "%e %U %S" -o "$file.time" "$@"
  read -r wall user system < <(tail -n 1 "$file.time")
  echo "$wall $(python3 -c "print($user + $system)")" >> "$file"
}

# median FILE COLUMN: the median of a column (1 wall, 2 cpu) of a timed file.
median() { python3 -c 'import statistics, sys; print("%.3f" % statistics.median(float(l.split()[int(sys.argv[2]) - 1]) for l in open(sys.argv[1])))' "$1" "$2"; }
