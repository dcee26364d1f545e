#!/usr/bin/env bash
# Runs every libFuzzer target of the fuzzing build for SECONDS each (one after the other), from the
# seeds in tests/fuzz/corpus/NAME plus what earlier runs found (BUILD/corpus/NAME). A crash, leak,
# sanitizer report or hang (an input taking over 10 s) fails the run; the input that did it lands
# in BUILD/findings. Prints each target's executions and coverage.
#   usage: scripts/fuzz.sh BUILD SECONDS
set -euo pipefail
build=${1:?usage: scripts/fuzz.sh BUILD SECONDS}
seconds=${2:?usage: scripts/fuzz.sh BUILD SECONDS}
source_dir=$(cd "$(dirname "$0")/.." && pwd)

shopt -s nullglob
targets=("$build"/fuzz/fuzz_*)
if [ ${#targets[@]} -eq 0 ]; then
    echo "fuzz: no targets in $build/fuzz" >&2
    exit 1
fi
mkdir -p "$build/findings"
status=0
for target in "${targets[@]}"; do
    name=$(basename "$target")
    short=${name#fuzz_}
    seeds="$source_dir/tests/fuzz/corpus/$short"
    corpus="$build/corpus/$short"
    mkdir -p "$corpus" "$seeds"
    log="$build/$name.log"
    if "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$build/findings/$name-" "$corpus" "$seeds" >"$log" 2>&1; then
        result=ok
    else
        result=FAILED
        status=1
    fi
    runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | awk '{print $2}' | tail -1)
    cov=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -1)
    echo "fuzz: $name $result: ${runs:-?} runs in ${seconds} s, ${cov:-no coverage line}"
    if [ "$result" = FAILED ]; then tail -40 "$log"; fi
done
exit $status
