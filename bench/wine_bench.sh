#!/usr/bin/env bash
# quillon-cli of the Windows build under wine against the Linux build, on the
# bench tree, plain and with digests. Wine costs something; the ratios only
# show that nothing grows out of proportion. Build both first:
#   ./quillon.sh test   (or build/ and build-windows/ by hand)
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
need hyperfine python3 wine
bench_tree
BUILD_WINDOWS=${BUILD_WINDOWS:-$ROOT/build-windows}
WINE_RUN="$ROOT/tests/wine/run_under_wine.sh $BUILD_WINDOWS/wineprefix"
EXE=$BUILD_WINDOWS/quillon-cli.exe
WIN_TREE="Z:$(tr / '\\' <<<"$TREE")"
ls -lR "$TREE" >/dev/null
# Keep wine's server up between runs, as it would be on a desktop.
export QUILLON_WINE_LINGER=60
$WINE_RUN "$EXE" --version >/dev/null

hyperfine -w 1 -r 5 --export-json "$WORK/linux-plain.json" "$CLI list $TREE > $WORK/linux-plain.qln" >&2
hyperfine -w 1 -r 5 --export-json "$WORK/wine-plain.json" "$WINE_RUN $EXE list '$WIN_TREE' > $WORK/wine-plain.qln" >&2
hyperfine -w 1 -r 3 --export-json "$WORK/linux-md5.json" "$CLI list --md5 $TREE > $WORK/linux-md5.qln" >&2
hyperfine -w 1 -r 3 --export-json "$WORK/wine-md5.json" "$WINE_RUN $EXE list --md5 '$WIN_TREE' > $WORK/wine-md5.qln" >&2
$WINE_RUN --stop

echo "plain listing under wine:  $(ratio "$(mean_of "$WORK/wine-plain.json")" "$(mean_of "$WORK/linux-plain.json")")x the Linux build"
echo "digest listing under wine: $(ratio "$(mean_of "$WORK/wine-md5.json")" "$(mean_of "$WORK/linux-md5.json")")x the Linux build"
