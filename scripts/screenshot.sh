#!/usr/bin/env bash
# Starts the real player window on a virtual X display (Xvfb) and saves what it shows.
#   scripts/screenshot.sh [BUILD] [OUT.png]     defaults: build/normal, docs/qzrgui.png
# The display is exactly the window's client area, so the window, centred, fills the picture;
# there is no window manager, hence no frame. The README shows the result.
set -euo pipefail
build=${1:-build/normal}
out=${2:-docs/qzrgui.png}
bin=$(cd "$build/bin" && pwd)
for program in qzrgui qzr_grab_screen; do
    if [ ! -x "$bin/$program" ]; then
        echo "screenshot: $bin/$program is missing; build with QZR_BUILD_GUI=ON first" >&2
        exit 1
    fi
done
mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")

# shellcheck disable=SC2016  # expanded by the inner shell
xvfb-run --auto-servernum --server-args="-screen 0 280x176x24" \
    env QT_QPA_PLATFORM=xcb BIN="$bin" OUT="$out" bash -c '
        "$BIN/qzrgui" &
        gui=$!
        trap "kill $gui 2>/dev/null || true; wait $gui 2>/dev/null || true" EXIT
        sleep 3   # the window maps, the player starts, the first paint lands
        "$BIN/qzr_grab_screen" "$OUT"
    '
echo "screenshot: saved $out"
