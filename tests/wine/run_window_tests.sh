#!/usr/bin/env bash
# Runs a Windows program of the build that opens windows, under wine on a
# virtual display of its own (Xvfb), in a wine prefix of its own:
#   run_window_tests.sh PREFIX PROGRAM.exe [ARGUMENTS...]   the window tests
#   run_window_tests.sh PREFIX --smoke quillon.exe          starts the program, waits
#       for its window titled $QUILLON_CAPTION, closes it with Ctrl+Q and
#       checks that it ends with exit code 0.
# Wine's server is ended afterwards: its desktop belongs to this display.
set -u
prefix=$1
shift
for tool in xvfb-run xdotool wine; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
here=$(cd "$(dirname "$0")" && pwd)
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  here=$1 prefix=$2
  shift 2
  run() { QUILLON_WINE_LINGER=1 "$here/run_under_wine.sh" "$prefix" "$@"; }
  finish() { WINEPREFIX="$prefix" wineserver -k 2>/dev/null; WINEPREFIX="$prefix" wineserver -w 2>/dev/null; exit "$1"; }
  if [ "$1" != "--smoke" ]; then
    run "$@"
    finish $?
  fi
  run "$2" &
  pid=$!
  "$here/../smoke/close_window.sh" "$pid" || finish 1
  wait "$pid"
  code=$?
  echo "closed with Ctrl+Q, exit code $code"
  finish "$code"
' window-tests "$here" "$prefix" "$@"
