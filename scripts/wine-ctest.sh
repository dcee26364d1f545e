#!/usr/bin/env bash
# wine-ctest.sh BUILD [CTEST ARGUMENTS...]
# Runs a Windows build's tests (ctest, each test program through wine-run.sh) with one Wine
# server for the whole run. Left to itself, Wine's server ends a few seconds after its last
# program, and a test that starts in that moment loses its connection ("recvmsg: Connection reset
# by peer"). The server and Wine's services are started here first, with nothing of ctest's
# output open (a service holding a test's output pipe would keep ctest waiting), and the server is
# ended when the tests are done. The window's tests need an X display: without one, the whole
# run gets a virtual one (Xvfb, 24-bit colour) of its own.
set -euo pipefail
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
build=${1:?usage: scripts/wine-ctest.sh BUILD [CTEST ARGUMENTS...]}
shift
here=$(cd "$(dirname "$0")" && pwd)
prefix=$(cd "$build" && pwd)/wine-prefix

# The prefix, made once (wine-run.sh owns how), and Wine's services up.
"$here/wine-run.sh" "$prefix" cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
export WINEPREFIX=$prefix
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(dirname "$wine")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver || echo wineserver)
# The server the prefix's making left behind goes first: a persistent one takes its place.
"$wineserver" -k >/dev/null 2>&1 || true
"$wineserver" -w >/dev/null 2>&1 || true
"$wineserver" -p </dev/null >/dev/null 2>&1
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT
"$here/wine-run.sh" "$prefix" cmd /c exit </dev/null >/dev/null 2>&1 || true

cd "$build"
ctest "$@"
