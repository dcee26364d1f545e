#!/usr/bin/env bash
# Runs every libFuzzer target of the fuzzing build for SECONDS each, JOBS of them at a time (2
# unless set), from the seeds in tests/fuzz/corpus/NAME plus what earlier runs found
# (BUILD/corpus/NAME). A crash, leak, sanitizer report or hang (an input taking over 10 s) fails
# the run; the input that did it lands in BUILD/findings. Prints each target's executions and
# coverage, in the targets' order.
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
lanes=${JOBS:-2}

# One target's run; its outcome (ok or FAILED) lands in BUILD/NAME.result.
run_target() {
    local target=$1 name short seeds corpus result=ok
    name=$(basename "$target")
    short=${name#fuzz_}
    seeds="$source_dir/tests/fuzz/corpus/$short"
    corpus="$build/corpus/$short"
    mkdir -p "$corpus" "$seeds"
    rm -f "$build/$name.result"
    "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$build/findings/$name-" "$corpus" "$seeds" >"$build/$name.log" 2>&1 ||
        result=FAILED
    echo "$result" >"$build/$name.result"
}

for target in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$lanes" ]; do
        wait -n || true
    done
    run_target "$target" &
done
wait

status=0
for target in "${targets[@]}"; do
    name=$(basename "$target")
    log="$build/$name.log"
    result=$(cat "$build/$name.result" 2>/dev/null || echo FAILED)
    [ "$result" = ok ] || status=1
    # A target that dies at its start prints neither line.
    runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | awk '{print $2}' | tail -1 ||
        true)
    cov=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -1 || true)
    echo "fuzz: $name $result: ${runs:-?} runs in ${seconds} s, ${cov:-no coverage line}"
    if [ "$result" = FAILED ]; then tail -40 "$log"; fi
done
exit $status
