#!/usr/bin/env bash
# The emulator core's speed against an earlier core, in one run: the earlier core's sources (a
# commit) are built beside this build with today's bench_emulator_core, then both programs run in
# turn ROUNDS times, and each load's median is printed as times real time and native samples per
# second, with the speed-up. Interleaving the rounds keeps a busy or warming machine fair to both.
#   usage: scripts/bench-core-against.sh BUILD [COMMIT] [ROUNDS]
# COMMIT defaults to the core before the batched rewrite (e52ea9a), ROUNDS to 5.
set -euo pipefail
build=${1:?usage: scripts/bench-core-against.sh BUILD [COMMIT] [ROUNDS]}
commit=${2:-e52ea9a}
rounds=${3:-5}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
baseline="$build/core-baseline"

current="$build/bin/bench_emulator_core"
if [ ! -x "$current" ]; then
    echo "bench-core-against: $current is missing (Google Benchmark installed?)" >&2
    exit 1
fi

# The earlier sources, with today's benchmark so both programs measure the same loads.
rm -rf "$baseline/src"
mkdir -p "$baseline/src"
git -C "$source_dir" archive "$commit" | tar -x -C "$baseline/src"
# (Benchmarks of what the earlier core lacks, such as the channel tap, live in other files.)
cp "$source_dir/emulator/core/bench/bench_emulator_core.cpp" \
    "$source_dir/emulator/core/bench/bench_loads.h" "$baseline/src/emulator/core/bench/"
cmake -S "$baseline/src" -B "$baseline/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQZR_BUILD_GUI=OFF -DQZR_BUILD_ENGINE=OFF -DQZR_BUILD_TOOLS=OFF -DQZR_BUILD_TESTS=OFF \
    >"$baseline/configure.log"
cmake --build "$baseline/build" --target bench_emulator_core >"$baseline/build.log"
earlier="$baseline/build/bin/bench_emulator_core"

# One CSV line a benchmark: NAME,realtime_x,items_per_second.
measure() {
    "$1" --benchmark_format=csv --benchmark_min_time=2 2>/dev/null | awk -F, '
        NR == 1 { for (i = 1; i <= NF; ++i) { gsub(/"/, "", $i); col[$i] = i }; next }
        { gsub(/"/, "", $1); print $1 "," $col["realtime_x"] "," $col["items_per_second"] }'
}

results="$baseline/rounds.csv"
: >"$results"
for round in $(seq "$rounds"); do
    echo "round $round of $rounds" >&2
    measure "$earlier" | sed 's/^/earlier,/' >>"$results"
    measure "$current" | sed 's/^/current,/' >>"$results"
done

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
echo "core $commit against this build, median of $rounds rounds"
for name in $(cut -d, -f2 "$results" | sort -u); do
    x_earlier=0
    for which in earlier current; do
        if ! grep -q "^$which,$name," "$results"; then continue; fi
        x=$(awk -F, -v w="$which" -v n="$name" '$1 == w && $2 == n { print $3 }' "$results" | median)
        rate=$(awk -F, -v w="$which" -v n="$name" '$1 == w && $2 == n { print $4 }' "$results" | median)
        printf '%-32s %-8s %8.1f x real time %12.0f samples/s\n' "$name" "$which" "$x" "$rate"
        eval "x_$which=$x"
    done
    # shellcheck disable=SC2154
    awk -v a="$x_earlier" -v b="$x_current" -v n="$name" \
        'BEGIN { if (a > 0) printf "%-32s speed-up %.2f\n", n, b / a }'
done
