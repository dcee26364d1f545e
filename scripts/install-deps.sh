#!/usr/bin/env bash
# Installs the Debian packages the project builds and tests with, skipping those present.
set -euo pipefail

packages=(
    g++ make cmake ninja-build pkg-config
    clang libclang-rt-14-dev clang-format git
    libgtest-dev libgmock-dev libbenchmark-dev
    libsdl2-dev libsoxr-dev libsndfile1-dev libcli11-dev zlib1g-dev
    qt6-base-dev qt6-qpa-plugins libgl-dev
    xvfb xauth
    # The Windows builds (make windows): MinGW-w64 GCC with the posix thread model for both
    # flavours, and wine64 to run the x86_64 build's tests.
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
    wine64
    # The third-party libraries cross-built for Windows from Debian's source packages
    # (scripts/build-windows-deps.sh): apt-get source unpacks with dpkg-source.
    dpkg-dev xz-utils libz-mingw-w64-dev
    zip  # make dist-windows
    # The VM the i686 build's tests run in (make test-win32).
    qemu-system-x86 mmdebstrap e2fsprogs
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "deps: all packages present"
    exit 0
fi

echo "deps: installing ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update
"${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
