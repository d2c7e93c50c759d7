#!/usr/bin/env bash
# Runs a Windows program of the build under wine, for CTest:
#   run_under_wine.sh PREFIX PROGRAM.exe [ARGUMENTS...]
# PREFIX is the build's own wine prefix, made on first use. Wine's server and
# its helper processes are started once, with their standard streams on
# /dev/null: started by the program under test they would inherit its output,
# and CTest would wait for them until its timeout. They end by themselves a
# few seconds after the last program, or with "run_under_wine.sh PREFIX --stop".
set -u
export WINEPREFIX="$1"
shift
export WINEDEBUG=-all
# No .NET or HTML engine: they would be offered for download on first use.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ "${1:-}" = "--stop" ]; then
  wineserver -k 2>/dev/null
  exit 0
fi
mkdir -p "$WINEPREFIX"
{
  flock 9
  # Exit status 0: a new server was started (2: one was running already).
  # Neither may keep the lock open: they outlive this script.
  if wineserver -p"${QUILLON_WINE_LINGER:-20}" </dev/null >/dev/null 2>&1 9>&-; then
    wine wineboot </dev/null >/dev/null 2>&1 9>&-
  fi
} 9>"$WINEPREFIX/.quillon-start.lock"
exec wine "$@"
