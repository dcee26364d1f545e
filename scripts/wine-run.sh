#!/usr/bin/env bash
# wine-run.sh PREFIX PROGRAM [ARGUMENTS...]
# Runs a Windows program under the host's wine64 in the Wine prefix PREFIX, which is made on first
# use (once, whatever runs wait for it) and set to Windows 7, the oldest Windows we support, with
# windows that need no window manager. Wine is kept from installing Mono and Gecko, which it
# cannot download here and we never need, from printing its own debugging messages, and from
# loading its sound drivers: with none, waveOut opens no device, as on a machine without sound,
# and the emulator keeps time with its silent clock (no ALSA complaints on the way). The
# program's exit status is this script's.
set -euo pipefail

if [ $# -lt 2 ]; then
    echo "usage: $0 PREFIX PROGRAM [ARGUMENTS...]" >&2
    exit 2
fi
prefix=$1
shift

wine=$(command -v wine64 || true)
if [ -z "$wine" ] && [ -x /usr/lib/wine/wine64 ]; then
    wine=/usr/lib/wine/wine64  # Debian's wine64 package, without the wine wrapper package
fi
if [ -z "$wine" ]; then
    echo "wine-run: wine64 not found (make deps installs it)" >&2
    exit 2
fi
wineserver=$(dirname "$wine")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver || echo wineserver)

export WINEPREFIX=$prefix
export WINEDLLOVERRIDES="mscoree,mshtml,winealsa.drv,winepulse.drv="
export WINEDEBUG=-all

ready=$prefix/.qzr-prefix-ready-win7-no-crash-dialog
if [ ! -f "$ready" ]; then
    mkdir -p "$(dirname "$prefix")"
    (
        flock 9
        if [ ! -f "$ready" ]; then
            "$wine" wineboot --init >/dev/null 2>&1
            "$wine" reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d win7 /f >/dev/null 2>&1
            # No window manager runs on the tests' virtual display: Wine places and frames the
            # windows itself rather than waiting for one at every window shown or hidden.
            "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
                >/dev/null 2>&1
            # A program that crashes ends with its status and a backtrace on its error output,
            # rather than waiting on a crash dialog that nobody can close.
            "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
                >/dev/null 2>&1
            "$wineserver" -w
            touch "$ready"
        fi
    ) 9>"$prefix.lock"
fi

# Now and then (about one start in a few thousand when both cores are busy) Wine ends a program
# while it sets it up, before any code of the program runs: status 1, not a byte written. That
# start is made again, twice at most. A program that wrote anything, or ended with any other
# status, gives its status as it is. Its output passes on as it comes.
seen=$(mktemp -d)
trap 'rm -rf "$seen"' EXIT
for attempt in 1 2 3; do
    exec 3> >(tee "$seen/out")
    out_copy=$!
    exec 4> >(tee "$seen/err" >&2)
    err_copy=$!
    status=0
    "$wine" "$@" >&3 2>&4 3>&- 4>&- || status=$?
    exec 3>&- 4>&-
    [ "$status" -eq 1 ] || exit "$status"
    # The copies end with the program's output, unless a process it started (one of Wine's
    # services) holds that open: they get a moment to finish, and are not waited for.
    for _ in $(seq 40); do
        kill -0 "$out_copy" 2>/dev/null || kill -0 "$err_copy" 2>/dev/null || break
        sleep 0.05
    done
    if [ -s "$seen/out" ] || [ -s "$seen/err" ]; then exit "$status"; fi
    [ "$attempt" -lt 3 ] && echo "wine-run: Wine ended $1 before it ran; starting it again" >&2
done
exit "$status"
