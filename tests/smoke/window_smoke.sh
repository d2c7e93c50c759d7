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

exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  program=$1
  "$program" &
  pid=$!
  window=""
  for _ in $(seq 100); do
    # Only a mapped window can take the focus; a slow start (a sanitizer
    # build) names the window before it is shown.
    window=$(xdotool search --onlyvisible --name "^Quillon - V1.20$" 2>/dev/null | head -n 1)
    [ -n "$window" ] && break
    sleep 0.1
  done
  if [ -z "$window" ]; then
    echo "FAIL: no window named \"Quillon - V1.20\" appeared"
    kill "$pid" 2>/dev/null
    exit 1
  fi
  for _ in $(seq 50); do
    xdotool windowfocus --sync "$window" 2>/dev/null && break
    sleep 0.1
  done
  xdotool key --clearmodifiers ctrl+q
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    echo "FAIL: the program did not end after Ctrl+Q"
    kill "$pid"
    exit 1
  fi
  wait "$pid"
  code=$?
  echo "window closed, exit code $code"
  exit "$code"
' smoke "$program"
