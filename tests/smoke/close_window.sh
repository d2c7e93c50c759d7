#!/usr/bin/env bash
# On the display already set: waits for the window titled $QUILLON_CAPTION
# (set by the build from the project's version) of the program running as
# PID, closes it with Ctrl+Q and waits for the program to end. Exits 0 once
# it has ended, 1 after saying what went wrong; the caller reads the
# program's own exit code with wait.
#   close_window.sh PID
pid=$1
caption=${QUILLON_CAPTION:?the caller names the title of the window}
escaped=$(printf '%s' "$caption" | sed 's/[].[*^$\\]/\\&/g')
pattern="^$escaped\$"
window=""
for _ in $(seq 300); do
  # Only a mapped window can take the focus; a slow start (a sanitizer build,
  # wine) names the window before it is shown.
  window=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n 1)
  [ -n "$window" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "FAIL: no window titled \"$caption\" appeared"
  kill "$pid" 2>/dev/null
  exit 1
fi
echo "the window \"$caption\" appeared"
for _ in $(seq 50); do
  xdotool windowfocus --sync "$window" 2>/dev/null && break
  sleep 0.1
done
xdotool key --clearmodifiers ctrl+q
for _ in $(seq 100); do
  kill -0 "$pid" 2>/dev/null || exit 0
  sleep 0.1
done
echo "FAIL: the program did not end after Ctrl+Q"
kill "$pid"
exit 1
