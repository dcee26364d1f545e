#!/bin/sh
# Run once inside the VM when its image is made: the Wine prefix the tests run in, so that no
# test run pays for it. Wine is kept from installing Mono and Gecko, which it cannot download.
set -e
export WINEPREFIX=/var/lib/qzr/wine-prefix WINEDLLOVERRIDES=mscoree,mshtml= WINEDEBUG=-all
mkdir -p /var/lib/qzr
wine wineboot --init
wineserver -w
# Windows 7, as the x86_64 leg's prefix is set.
wine reg add 'HKCU\Software\Wine' /v Version /d win7 /f
wineserver -w
touch "$WINEPREFIX/.qzr-prefix-ready"
echo "qzr-vm: wine prefix ready: $(wine --version)"
