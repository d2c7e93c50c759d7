#!/usr/bin/env bash
# Tab completion of quillon-cli in a new bash, its script found where the
# package puts it (bash-completion's loader, through XDG_DATA_DIRS).
#   bash_completion.sh COMPLETION_SCRIPT
# Exit 77 (skipped) without bash-completion.
set -u
script=$(realpath "$1")
loader=/usr/share/bash-completion/bash_completion
[ -r "$loader" ] || { echo "bash-completion is not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/share/bash-completion/completions" "$work/cwd/alpha"
ln -s "$script" "$work/share/bash-completion/completions/quillon-cli"
touch "$work/cwd/alfile.qln"

# Prints what Tab offers for the words given, the last one being completed.
cat >"$work/complete.sh" <<'END'
source /usr/share/bash-completion/bash_completion
_completion_loader quillon-cli
complete -p quillon-cli >/dev/null || { echo "no completion loaded"; exit 1; }
COMP_WORDS=("$@")
COMP_CWORD=$(($# - 1))
COMP_LINE="$*"
COMP_POINT=${#COMP_LINE}
_quillon_cli quillon-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
END

failures=0
expect() {
  local wanted=$1
  shift
  local got
  got=$(cd "$work/cwd" && XDG_DATA_DIRS="$work/share" bash --norc "$work/complete.sh" "$@" 2>&1)
  got=${got% }
  if [ "$got" != "$wanted" ]; then
    echo "FAILED: quillon-cli ${*:2}<Tab> offered '$got', not '$wanted'"
    failures=$((failures + 1))
  fi
}
expect "--help --version compare list" quillon-cli ""
expect "--format" quillon-cli list --form
expect "csv json text" quillon-cli compare --format ""
expect "--moves" quillon-cli compare --mo
expect "" quillon-cli list --mo
expect "alpha" quillon-cli list al
expect "alpha" quillon-cli compare --folder al
expect "alfile.qln alpha" quillon-cli compare al
expect "alfile.qln alpha" quillon-cli list --md5 -o al
[ $failures -eq 0 ] && echo "bash completes quillon-cli"
[ $failures -eq 0 ]
