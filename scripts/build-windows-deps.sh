#!/usr/bin/env bash
# build-windows-deps.sh FLAVOUR
# Cross-builds the third-party libraries of the Windows builds (FLAVOUR: i686 or x86_64) from
# Debian 12's source packages, static, with our MinGW-w64 toolchain files, and prints the prefix
# they are installed in (the last line of its output; everything else goes to standard error).
#   soxr                           the emulator engine's resampler
#   libsndfile with FLAC and Ogg   qzr's WAV and FLAC files; libsndfile takes FLAC only together
#                                  with Vorbis and Opus, so those two are built as well
# The prefix is ${XDG_CACHE_HOME:-~/.cache}/qzr/windows-deps/FLAVOUR-HASH, HASH naming this
# recipe (this script and the toolchain files): a prefix already there is used as it is, and a
# changed recipe builds a new one. The sources are fetched with `apt-get source` through a
# deb-src list and apt state of our own in the cache; the machine's sources are never touched.
set -euo pipefail

flavour=${1:?usage: scripts/build-windows-deps.sh i686|x86_64}
case $flavour in
    i686 | x86_64) ;;
    *)
        echo "build-windows-deps: unknown flavour '$flavour' (i686 or x86_64)" >&2
        exit 2
        ;;
esac
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
toolchain=$root/cmake/toolchain-mingw-$flavour.cmake

# The source packages, in build order (each finds the ones before it in the prefix).
packages=(
    libogg=1.3.5-3
    flac=1.4.2+ds-2
    libvorbis=1.3.7-1
    opus=1.3.1-3
    libsndfile=1.2.0-1+deb12u1
    libsoxr=0.1.3-4
)
archive="deb-src http://deb.debian.org/debian bookworm main
deb-src http://deb.debian.org/debian-security bookworm-security main"

cache=${XDG_CACHE_HOME:-$HOME/.cache}/qzr/windows-deps
recipe=$(cat "$0" "$root/cmake/toolchain-mingw.cmake" "$toolchain" | sha256sum | cut -c1-16)
prefix=$cache/$flavour-$recipe
if [ -f "$prefix/.qzr-complete" ]; then
    echo "$prefix"
    exit 0
fi

mkdir -p "$cache"
exec 9>"$cache/.lock"
flock 9  # one builder at a time; a second waits and then finds the prefix made
if [ -f "$prefix/.qzr-complete" ]; then
    echo "$prefix"
    exit 0
fi
echo "build-windows-deps: building ${packages[*]} for $flavour into $prefix" >&2
started=$SECONDS

# The sources, fetched once for both flavours (kept: a few megabytes).
sources=$cache/sources-$(printf '%s\n' "${packages[@]}" "$archive" | sha256sum | cut -c1-16)
if [ ! -f "$sources/.qzr-complete" ]; then
    rm -rf "$sources"
    apt_dir=$sources/apt
    mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/parts"
    echo "$archive" >"$apt_dir/sources.list"
    apt_options=(
        -o "Dir::Etc::SourceList=$apt_dir/sources.list"
        -o "Dir::Etc::SourceParts=$apt_dir/parts"
        -o "Dir::State::Lists=$apt_dir/lists"
        -o "Dir::Cache=$apt_dir/cache"
        -o "Debug::NoLocking=1"
        -o "APT::Sandbox::User=$(id -un)"
    )
    apt-get "${apt_options[@]}" -q update >&2
    (cd "$sources" && apt-get "${apt_options[@]}" -q source "${packages[@]}" >&2)
    rm -rf "$apt_dir"
    touch "$sources/.qzr-complete"
fi

# Installed where it stays (pkg-config files name their prefix): the mark comes last.
rm -rf "$prefix"
work=$(mktemp -d "$cache/build-$flavour.XXXXXX")
trap 'rm -rf "$work"' EXIT
stage=$prefix
jobs=${JOBS:-2}
sse=""  # what the i686 toolchain file gives CMake's builds: SSE2 floating point
[ "$flavour" = i686 ] && sse="-msse2 -mfpmath=sse"

source_dir() {
    local dir
    dir=$(find "$sources" -mindepth 1 -maxdepth 1 -type d -name "$1-*" | head -n 1)
    if [ -z "$dir" ]; then
        echo "build-windows-deps: the sources of $1 are missing in $sources" >&2
        exit 1
    fi
    echo "$dir"
}

# build NAME [CMAKE OPTIONS...]: configures, builds and installs one package into the stage.
build() {
    local name=$1
    shift
    local dir
    dir=$(source_dir "$name")
    echo "build-windows-deps: $name ($flavour)" >&2
    cmake -S "$dir" -B "$work/$name" -G Ninja -Wno-dev --log-level=WARNING \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQZR_WINDOWS_DEPS="$stage" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$stage" -DBUILD_SHARED_LIBS=OFF \
        -DBUILD_TESTING=OFF "$@" >"$work/$name.log" 2>&1 ||
        { cat "$work/$name.log" >&2; exit 1; }
    cmake --build "$work/$name" -j "$jobs" >>"$work/$name.log" 2>&1 &&
        cmake --install "$work/$name" >>"$work/$name.log" 2>&1 ||
        { tail -n 40 "$work/$name.log" >&2; exit 1; }
}

# build_autotools NAME [CONFIGURE OPTIONS...]: the same for a package whose CMake files are not
# shipped whole (opus 1.3.1's lack a module its CMakeLists.txt includes).
build_autotools() {
    local name=$1
    shift
    local dir
    dir=$(source_dir "$name")
    echo "build-windows-deps: $name ($flavour)" >&2
    local flags="-O2 $sse"
    mkdir -p "$work/$name"
    (cd "$work/$name" && "$dir/configure" --host="$flavour-w64-mingw32" --prefix="$stage" \
        --disable-shared --enable-static CC="$flavour-w64-mingw32-gcc-posix" CFLAGS="$flags" \
        "$@" && make -j "$jobs" && make install) >"$work/$name.log" 2>&1 ||
        { tail -n 40 "$work/$name.log" >&2; exit 1; }
}

build libogg -DINSTALL_DOCS=OFF
build flac -DBUILD_CXXLIBS=OFF -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOCS=OFF \
    -DINSTALL_MANPAGES=OFF -DWITH_OGG=ON -DWITH_STACK_PROTECTOR=OFF -DWITH_FORTIFY_SOURCE=OFF
build libvorbis
build_autotools opus --disable-doc --disable-extra-programs --disable-stack-protector
# libsndfile finds FLAC without its static mark, and would call it as a DLL.
build libsndfile "-DCMAKE_C_FLAGS=$sse -DFLAC__NO_DLL" -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DENABLE_MPEG=OFF -DENABLE_CPACK=OFF \
    -DENABLE_EXTERNAL_LIBS=ON -DINSTALL_MANPAGES=OFF -DBUILD_REGTEST=OFF
build libsoxr -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF -DWITH_OPENMP=OFF -DWITH_LSR_BINDINGS=OFF

rm -rf "$stage/share/doc" "$stage/share/man"
touch "$prefix/.qzr-complete"
# The prefixes of earlier recipes of this flavour are of no more use.
for old in "$cache/$flavour"-*; do
    [ "$old" = "$prefix" ] || rm -rf "$old"
done
echo "build-windows-deps: $flavour done in $((SECONDS - started)) s" >&2
echo "$prefix"
