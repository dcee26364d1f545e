#!/bin/bash
# Inside the test VM (the job disk's job.sh runs it): runs each test program of the list once
# under wine32, under xvfb-run, with ALSA's null device as the sound output, in two lanes (the VM
# has two processors; each lane its own X display), the list's order being the order they start
# in. Prints each program's GoogleTest summary as it ends, with its slowest cases, and then the
# suite's: a closing line "N passed, N failed" counting test cases, a program that ends without
# its summary (a crash, a timeout) counted as one failure. Arguments: SOURCE_DIR BUILD_DIR, where
# the job disk's tree has been put; the list, one program (relative to BUILD_DIR) a line, with its
# arguments, is the job disk's programs. QZR_VM_TEST_TIMEOUT bounds each program (seconds).
source_dir=$1 build_dir=$2
export WINEPREFIX=/var/lib/qzr/wine-prefix WINEDLLOVERRIDES=mscoree,mshtml= WINEDEBUG=-all
export QZR_SOURCE_DIR="$source_dir" HOME=/root
lanes=2
state=/tmp/qzr-tests
mkdir -p "$state"
echo 0 >"$state/next"
cd "$build_dir" || exit 2
mapfile -t list </job/programs

# The next line of the list for a lane: "INDEX PROGRAM ARGUMENTS"; fails when none is left.
take() {
    (
        flock 8
        index=$(cat "$state/next")
        [ "$index" -lt "${#list[@]}" ] || exit 1
        echo $((index + 1)) >"$state/next"
        echo "$index ${list[$index]}"
    ) 8>"$state/lock"
}

# Runs one program; writes "PASSED FAILED BROKEN" to $state/INDEX.result and prints its report.
run_one() {
    local index=$1 display=$2 program=$3
    shift 3
    local log=$state/$index.log report=$state/$index.report start status seconds ran lost
    start=$(date +%s)
    # A start that Wine ends before the program runs (status 1, no output; see wine-run.sh) is
    # made again, twice at most.
    for _ in 1 2 3; do
        timeout -k 10 "${QZR_VM_TEST_TIMEOUT:-1500}" \
            xvfb-run -n "$display" -s "-screen 0 1024x768x24" wine "$build_dir/$program" "$@" \
            >"$log.raw" 2>&1 </dev/null
        status=$?
        [ "$status" -eq 1 ] && [ ! -s "$log.raw" ] || break
    done
    tr -d '\r' <"$log.raw" >"$log"  # Windows programs end their lines with CR LF
    seconds=$(($(date +%s) - start))
    ran=$(sed -n 's/^\[  PASSED  \] \([0-9][0-9]*\) tests\{0,1\}\..*/\1/p' "$log" | tail -1)
    lost=$(sed -n 's/^\[  FAILED  \] \([0-9][0-9]*\) tests\{0,1\}, listed below:.*/\1/p' "$log" |
        tail -1)
    {
        if [ -z "$ran" ] && [ -z "$lost" ]; then
            echo "=== $program: no summary (status $status, $seconds s); its output:"
            tail -n 60 "$log"
            echo "0 0 1" >"$state/$index.result"
        else
            ran=${ran:-0} lost=${lost:-0}
            broken=0
            [ "$status" -ne 0 ] && [ "$lost" -eq 0 ] && broken=1
            if [ "$status" -ne 0 ]; then
                echo "=== $program: $ran passed, $lost failed (status $status, $seconds s); its output:"
                grep -v '^\[       OK \]\|^\[ RUN      \]' "$log" | tail -n 200
            else
                echo "=== $program: $ran passed ($seconds s)"
            fi
            echo "$ran $lost $broken" >"$state/$index.result"
        fi
        # The slowest cases, so that what the VM's slowness costs stays in view.
        sed -n 's/^\[       OK \] \(.*\) (\([0-9][0-9]*\) ms)$/\2 \1/p' "$log" | sort -rn |
            head -n 3 | while read -r ms name; do echo "    $name: $ms ms"; done
    } >"$report"
    (
        flock 8
        cat "$report"
    ) 8>"$state/print.lock"
}

lane() {
    local display=$((90 + $1)) line index program
    while line=$(take); do
        read -r index program arguments <<<"$line"
        # shellcheck disable=SC2086
        run_one "$index" "$display" "$program" $arguments
    done
}

# One Wine server for the whole run, as on the x86_64 leg.
wineserver -p
wine cmd /c exit >/dev/null 2>&1
for ((l = 1; l <= lanes; ++l)); do lane "$l" & done
wait
wineserver -k 2>/dev/null

passed=0 failed=0 broken=0
for ((i = 0; i < ${#list[@]}; ++i)); do
    read -r p f b <"$state/$i.result" || { p=0 f=0 b=1; }
    passed=$((passed + p)) failed=$((failed + f + b)) broken=$((broken + b))
done
echo "${#list[@]} test programs, $broken without a clean end"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
