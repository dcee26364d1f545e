#!/bin/sh
# Inside the test VM (the job disk's job.sh runs it): runs each test program of the list once
# under wine32, under xvfb-run, with ALSA's null device as the sound output, and prints each
# program's GoogleTest summary and then the suite's: a closing line "N passed, N failed" counting
# test cases, a program that ends without its summary (a crash, a timeout) counted as one
# failure. Arguments: SOURCE_DIR BUILD_DIR, where the job disk's tree has been put; the list,
# one program (relative to BUILD_DIR) a line, with its arguments, is the job disk's programs.
# QZR_VM_TEST_TIMEOUT bounds each program (seconds).
source_dir=$1 build_dir=$2
export WINEPREFIX=/var/lib/qzr/wine-prefix WINEDLLOVERRIDES=mscoree,mshtml= WINEDEBUG=-all
export QZR_SOURCE_DIR="$source_dir" HOME=/root
log=/tmp/qzr-test.log
passed=0 failed=0 programs=0 broken=0
cd "$build_dir" || exit 2
# One Wine server for the whole run, as on the x86_64 leg.
wineserver -p
wine cmd /c exit >/dev/null 2>&1
while read -r program arguments; do
    [ -n "$program" ] || continue
    programs=$((programs + 1))
    start=$(date +%s)
    # shellcheck disable=SC2086
    timeout -k 10 "${QZR_VM_TEST_TIMEOUT:-900}" \
        xvfb-run -a -s "-screen 0 1024x768x24" wine "$build_dir/$program" $arguments \
        >"$log" 2>&1 </dev/null
    status=$?
    seconds=$(( $(date +%s) - start ))
    ran=$(sed -n 's/^\[  PASSED  \] \([0-9][0-9]*\) tests\{0,1\}\..*/\1/p' "$log" | tail -1)
    lost=$(sed -n 's/^\[  FAILED  \] \([0-9][0-9]*\) tests\{0,1\}, listed below:.*/\1/p' "$log" | tail -1)
    if [ -z "$ran" ] && [ -z "$lost" ]; then
        echo "=== $program: no summary (status $status, $seconds s); its output:"
        tail -n 60 "$log"
        failed=$((failed + 1)) broken=$((broken + 1))
        continue
    fi
    ran=${ran:-0} lost=${lost:-0}
    passed=$((passed + ran)) failed=$((failed + lost))
    if [ "$status" -ne 0 ] || [ "$lost" -ne 0 ]; then
        echo "=== $program: $ran passed, $lost failed (status $status, $seconds s); its output:"
        grep -v '^\[       OK \]\|^\[ RUN      \]' "$log" | tail -n 200
        [ "$lost" -eq 0 ] && failed=$((failed + 1)) broken=$((broken + 1))
    else
        echo "=== $program: $ran passed ($seconds s)"
    fi
done </job/programs
wineserver -k 2>/dev/null
echo "$programs test programs, $broken without a clean end"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
