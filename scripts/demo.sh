#!/usr/bin/env bash
# Compiles every example song with the compiler of its chip, then renders each to WAV with qzr
# (and plays the first for 15 s where a sound device exists). Output goes to BUILD/demo.
set -euo pipefail
build=${1:-build/normal}
bin=$(cd "$build/bin" && pwd)
out="$build/demo"
rm -rf "$out"
mkdir -p "$out"
cp -R examples/. "$out/"
cd "$out"

shopt -s nullglob
songs=()
for src in *.opm.mml; do
    "$bin/opmcomp" "$src"
    songs+=("$src.qzr")
    echo "demo: compiled $src -> $src.qzr ($(stat -c %s "$src.qzr") bytes)"
done
for src in *.opn2.mml; do
    "$bin/opn2comp" "$src"
    songs+=("$src.qzr")
    echo "demo: compiled $src -> $src.qzr ($(stat -c %s "$src.qzr") bytes)"
done

if [ -x "$bin/qzr" ]; then
    for song in "${songs[@]}"; do
        "$bin/qzr" render "$song" -o "${song%.qzr}.wav"
        echo "demo: rendered $song -> $out/${song%.qzr}.wav"
    done
    if [ ${#songs[@]} -gt 0 ] && "$bin/qzr" play --help >/dev/null 2>&1; then
        if "$bin/qzr" devices --quiet >/dev/null 2>&1; then
            "$bin/qzr" play "${songs[0]}" --seconds 15
        else
            echo "demo: no sound device here; the renders above are the demo"
        fi
    fi
else
    echo "demo: qzr is not built yet; songs compiled only"
fi
