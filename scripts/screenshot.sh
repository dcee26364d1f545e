#!/usr/bin/env bash
# Starts a real window of ours on a virtual X display (Xvfb) and saves what it shows.
#   scripts/screenshot.sh [BUILD] [OUT.png] [WIDTHxHEIGHT] [PROGRAM [ARGS...]]
# Defaults: build/normal, docs/qzrgui.png, 280x176 (qzrgui's client area), qzrgui. With no window
# manager the window has no frame and sits in the top left corner (qzrgui centres itself, so a
# display of its own size is filled by it). The README shows the results:
#   scripts/screenshot.sh build/normal docs/qzrstudio.png 900x640 qzrstudio \
#       examples/harbour_lights.opm.qmml --play
set -euo pipefail
build=${1:-build/normal}
out=${2:-docs/qzrgui.png}
size=${3:-280x176}
shift $(($# < 3 ? $# : 3))
program=${1:-qzrgui}
[ $# -gt 0 ] && shift
bin=$(cd "$build/bin" && pwd)
for needed in "$program" qzr_grab_screen; do
    if [ ! -x "$bin/$needed" ]; then
        echo "screenshot: $bin/$needed is missing; build with QZR_BUILD_GUI=ON first" >&2
        exit 1
    fi
done
mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")

# shellcheck disable=SC2016  # expanded by the inner shell
xvfb-run --auto-servernum --server-args="-screen 0 ${size}x24" \
    env QT_QPA_PLATFORM=xcb BIN="$bin" PROGRAM="$program" OUT="$out" bash -c '
        "$BIN/$PROGRAM" "$@" &
        gui=$!
        trap "kill $gui 2>/dev/null || true; wait $gui 2>/dev/null || true" EXIT
        sleep 3   # the window maps, the song starts, the first paint lands
        "$BIN/qzr_grab_screen" "$OUT"
    ' screenshot "$@"
echo "screenshot: saved $out"
