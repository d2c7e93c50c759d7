#!/usr/bin/env bash
# Every include of the program's own headers runs downhill: a layer may include
# its own folder and the folders of the layers below it, nothing else. The build
# already refuses headers it cannot find; this also catches relative paths.
set -u
src="$1/src"
declare -A allowed=(
  [platform]="platform"
  [surfaces]="surfaces platform"
  [engine]="engine surfaces platform"
  [documents]="documents surfaces platform"
  [compare]="compare surfaces platform"
  [app]="app engine documents compare surfaces platform"
  [cli]="cli app engine documents compare surfaces platform"
  [gui]="gui app engine documents compare surfaces platform"
  [win]="win app engine documents compare surfaces platform"
)
bad=0
for layer in "${!allowed[@]}"; do
  [ -d "$src/$layer" ] || continue
  while IFS=: read -r file line include; do
    target=$(sed -E 's/.*#include "([^"]+)".*/\1/' <<<"$include")
    top=${target%%/*}
    if [[ "$target" != */* || " ${allowed[$layer]} " != *" $top "* ]]; then
      echo "$file:$line: $layer may not include \"$target\""
      bad=1
    fi
  done < <(grep -rnE '^\s*#\s*include\s+"' "$src/$layer")
done
for folder in "$src"/*/; do
  name=$(basename "$folder")
  [ -n "${allowed[$name]+x}" ] || { echo "src/$name is in no layer"; bad=1; }
done
exit $bad
