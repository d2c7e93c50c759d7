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

# The 200,000-file tree of 1.5 GiB, made once, the same bytes on every machine.
bench_tree() {
  TREE=$WORK/tree
  if [ ! -d "$TREE" ]; then
    python3 "$BENCH_DIR/make_tree.py" "$TREE" 200000 10000 1500 >&2
  fi
}

# Mean and median seconds of a command from hyperfine's JSON export.
mean_of() { python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["results"][0]["mean"])' "$1"; }
median_of() { python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["results"][0]["median"])' "$1"; }
ratio() { python3 -c 'import sys; print("%.2f" % (float(sys.argv[1]) / float(sys.argv[2])))' "$1" "$2"; }
peak_kib() { { /usr/bin/time -f %M "$@" 2>&1 >/dev/null || true; } | tail -n 1; }
