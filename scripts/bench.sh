#!/usr/bin/env bash
# Runs every benchmark program that the build produced.
set -euo pipefail
build=${1:-build/normal}
shopt -s nullglob
for b in "$build"/bin/bench_*; do
    echo "== $(basename "$b")"
    "$b"
done
