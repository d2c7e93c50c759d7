#!/usr/bin/env bash
# Two builds of quillon-cli write the same bytes: listings, results, CSV and
# JSON, messages and exit codes, on a tree made for it and a later copy of it.
#   same_bytes.sh OLD_CLI NEW_CLI [TREE]
# TREE defaults to a 20,000-file tree made here; give the bench tree
# ($WORK/tree of bench_common.sh) for the full check. Exits 1 on the first
# difference, naming the command and showing the first lines that differ.
# COLD=1 (as root) drops the page cache before every run of either build.
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
old=$(realpath "$1") new=$(realpath "$2")
tree=${3:-$WORK/same-bytes-tree}
if [ ! -d "$tree" ]; then
  python3 "$BENCH_DIR/make_tree.py" "$tree" 20000 1000 60 >&2
fi
later=$WORK/same-bytes-later
rm -rf "$later" && cp -a "$tree" "$later"
# A later state of the tree: a file changed, one gone, one new.
first=$(find "$later" -type f | sort | sed -n 1p)
second=$(find "$later" -type f | sort | sed -n 2p)
printf 'changed\n' >>"$first"
rm -f "$second"
printf 'new\n' >"$later/added file.txt"
out=$WORK/same-bytes
rm -rf "$out" && mkdir -p "$out"

checked=0
# The help that follows a wrong call is made from the table of options, so
# for those calls only the message itself, the first line, is compared.
first_line_only=''
# Runs the command with each build, from the same folder, and compares
# standard output, standard error (the totals' time aside) and the exit code.
same() {
  local name=$1
  shift
  for build in old new; do
    local cli=$old
    [ $build = new ] && cli=$new
    if [ -n "${COLD:-}" ]; then sync; echo 3 > /proc/sys/vm/drop_caches; fi
    (cd "$out" && set +e; "$cli" "$@" >"$out/$name.$build.out" 2>"$out/$name.$build.err"; echo $? >"$out/$name.$build.code")
    if [ -n "$first_line_only" ]; then
      head -n 1 "$out/$name.$build.err" >"$out/$name.$build.err1" && mv "$out/$name.$build.err1" "$out/$name.$build.err"
    fi
    # Any file the command wrote is compared too.
    for file in "$out"/result.*; do
      [ -e "$file" ] && mv "$file" "$out/$name.$build.file.${file##*/result.}"
    done
  done
  for part in out err code $(cd "$out" && ls "$name".old.file.* 2>/dev/null | sed "s/^$name.old.//"); do
    if ! cmp -s "$out/$name.old.$part" "$out/$name.new.$part"; then
      echo "DIFFERENT: $name ($part): ${*}" >&2
      diff <(head -c 100000 "$out/$name.old.$part") <(head -c 100000 "$out/$name.new.$part") | head -n 10 >&2
      exit 1
    fi
  done
  checked=$((checked + 1))
}

same list list "$tree"
same list-md5 list --md5 "$tree"
same list-sha256 list --sha256 "$tree"
same list-readers1 list --md5 --readers 1 "$tree"
same list-readers2 list --md5 --readers 2 "$tree"
same list-sha256-readers1 list --sha256 --readers 1 "$tree"
same list-sha256-readers2 list --sha256 --readers 2 "$tree"
same list-csv list --md5 --format csv "$tree"
same list-json list --sha256 --format json "$tree"
same list-exclude list --exclude '*.txt' --exclude '!a*' "$tree"
same list-file list --md5 "$tree" -o result.qln
"$new" list --md5 "$tree" -o "$out/base.qln" 2>/dev/null
"$new" list --md5 "$later" -o "$out/later.qln" 2>/dev/null
sed "s|$later|$tree|g" "$out/later.qln" >"$out/later-same-paths.qln"
same compare-same compare "$out/base.qln" "$out/base.qln"
same compare compare "$out/later-same-paths.qln" "$out/base.qln"
same compare-moves compare --moves "$out/later-same-paths.qln" "$out/base.qln"
same compare-csv compare --format csv "$out/later-same-paths.qln" "$out/base.qln"
same compare-json compare --moves --format json "$out/later-same-paths.qln" "$out/base.qln"
same compare-spilled compare --memory 1M --temp-dir "$out" "$out/later-same-paths.qln" "$out/base.qln"
same compare-folder compare --folder "$tree" --md5 "$out/base.qln"
same compare-file compare "$out/later-same-paths.qln" "$out/base.qln" -o result.txt
# The messages of calls that go wrong.
same no-folder list "$tree/none"
same no-listing compare "$out/base.qln" "$out/none.qln"
first_line_only=yes
same bad-format list --format xml "$tree"
same bad-readers list --readers 0 "$tree"
same bad-memory compare --memory 0 "$out/base.qln" "$out/base.qln"
same two-digests list --md5 --sha256 "$tree"
first_line_only=''

same output-is-input compare "$out/base.qln" "$out/base.qln" -o "$out/base.qln"
echo "$checked commands wrote the same bytes with both builds"
