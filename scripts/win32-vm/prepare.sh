#!/bin/sh
# Run once inside the VM when its image is made: the Wine prefix the tests run in, so that no
# test run pays for it. Wine is kept from installing Mono and Gecko, which it cannot download.
set -e
export WINEPREFIX=/var/lib/qzr/wine-prefix WINEDLLOVERRIDES=mscoree,mshtml= WINEDEBUG=-all
mkdir -p /var/lib/qzr
wine wineboot --init
wineserver -w
# Set as the x86_64 leg's prefix is (scripts/wine-run.sh): Windows 7, and windows placed and
# framed by Wine itself, as no window manager runs on the tests' virtual display.
wine reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d win7 /f
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f
# A program that crashes ends with its status and a backtrace on its error output, rather than
# waiting on a crash dialog that nobody can close.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
wineserver -w
touch "$WINEPREFIX/.qzr-prefix-ready"
echo "qzr-vm: wine prefix ready: $(wine --version)"
