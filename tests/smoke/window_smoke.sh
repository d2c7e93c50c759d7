#!/usr/bin/env bash
# Starts the real program under a real X server, finds its window, closes it
# with Ctrl+Q and checks that it ends with exit code 0.
#   window_smoke.sh PATH/TO/quillon
set -u
program=$1
# The real X server, whatever platform the caller chose for other tests.
export QT_QPA_PLATFORM=xcb
for tool in xvfb-run xdotool; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

here=$(cd "$(dirname "$0")" && pwd)
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  here=$1 program=$2
  "$program" &
  pid=$!
  "$here/close_window.sh" "$pid" || exit 1
  wait "$pid"
  code=$?
  echo "window closed, exit code $code"
  exit "$code"
' smoke "$here" "$program"
