#!/usr/bin/env bash
# test-win32.sh BUILD
# Runs the 32-bit Windows build's tests (BUILD, made with its tests) under wine32 in a VM of our
# own (image.sh makes it once): the VM boots under qemu's software emulation, its second disk
# holding the source tree's test data and the build at their absolute paths here (programs must
# run from the VM's own disk); each test program runs once (run-tests.sh), its summary streamed
# here as it ends. Ends with the suite's "N passed, N failed" line; the status is 0 only when
# all passed.
#
# The VM runs about eight times slower than this machine, so a test that renders long runs here
# as its short excerpt only: the gtest filters below leave out the long renders whose excerpt
# another test of the suite renders (the ten-minute random program: its first thirty seconds,
# pinned too, run in test_emulator_core); the other legs run them in full.
# QZR_VM_GTEST_FILTER, if set, is every program's filter instead; QZR_VM_PROGRAMS, if set, an
# extended regular expression, keeps only the programs whose path (bin/NAME.exe) it matches.
# QZR_VM_TIMEOUT bounds the whole boot (seconds, default 2400), QZR_VM_TEST_TIMEOUT each program
# (default 1500: the qzr tests take 600 to 740 s in a quiet VM).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:?usage: test-win32.sh BUILD}" && pwd)
say() { echo "test-win32: $*" >&2; }
start=$(date +%s)

# The image's folder is what image.sh prints. Without an image the suite has no summary of its
# own: this one counts the leg as one failure.
if ! image=$("$here/image.sh"); then
    say "no VM image (scripts/win32-vm/image.sh failed)"
    echo "0 passed, 1 failed"
    exit 1
fi

# The test programs: each one the build made, once, the biggest (the slowest, as a rule) first,
# as the VM's two lanes take them in this order.
mapfile -t programs < <(cd "$build" && find bin -name 'test_*.exe' -printf '%s %p\n' |
    sort -k1,1nr -k2 | cut -d' ' -f2 | grep -E -- "${QZR_VM_PROGRAMS:-.}" || true)
if [ ${#programs[@]} -eq 0 ]; then
    say "no test programs in $build/bin${QZR_VM_PROGRAMS:+ matching $QZR_VM_PROGRAMS}" \
        "(build it with QZR_BUILD_TESTS=ON)"
    exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/qzr-win32-vm.XXXXXX")
trap 'rm -rf "$work"' EXIT
job=$work/job
tree=$job/tree
mkdir -p "$tree$root" "$tree$build"
# The sources' test data and examples (the tests read them by absolute path), then the build's
# programs, libraries and test files, without its objects and Wine prefix.
(cd "$root" && git ls-files -z --cached --others --exclude-standard | grep -zv '^build/' |
    tar --null -T - -cf -) | tar -xf - -C "$tree$root"
(cd "$build" && tar --exclude=./CMakeFiles --exclude='*.obj' --exclude='*.a' \
    --exclude=./googletest --exclude=./wine-prefix --exclude='*.ninja' --exclude=.ninja_log \
    --exclude=.ninja_deps -cf - .) | tar -xf - -C "$tree$build"
# The silent clock's real-time pace is judged on the other legs: an emulated machine on a busy
# host falls behind the wall clock by more than its margin (the pacing itself runs here on the
# injected clock's tests).
declare -A vm_filters=(
    [bin/test_emulator_core_long.exe]=-RandomProgram.TenMinutesRenderToThePinnedHash
    [bin/test_emulator_engine_threaded.exe]=-SilentClock.KeepsRealTimeLoosely
    [bin/test_tools_play.exe]=-QzrPlay.EndsAfterSecondsOnTheSilentClock
)
for program in "${programs[@]}"; do
    filter=${QZR_VM_GTEST_FILTER-${vm_filters[$program]:-}}
    if [ -n "$filter" ]; then
        say "$program runs with --gtest_filter=$filter"
        echo "$program --gtest_filter=$filter"
    else
        echo "$program"
    fi
done >"$job/programs"
cp "$here/run-tests.sh" "$job/run-tests.sh"
cat >"$job/job.sh" <<JOB
#!/bin/sh
stty -F /dev/ttyS1 -opost 2>/dev/null
mkdir -p '$root'
mount --bind '/job/tree$root' '$root'
QZR_VM_TEST_TIMEOUT='${QZR_VM_TEST_TIMEOUT:-1500}' bash /job/run-tests.sh '$root' '$build'
JOB
size=$(( $(du -sm "$job" | cut -f1) * 2 + 64 ))
mkfs.ext4 -q -F -d "$job" "$work/job.img" "${size}M" >/dev/null
rm -rf "$job"

say "${#programs[@]} test programs in the VM ($image)"
: >"$work/output"
boot_status=0
"$here/boot.sh" "$image" "$work/job.img" "$work/output" "$work/console.log" \
    "${QZR_VM_TIMEOUT:-2400}" &
qemu=$!
tail --pid=$qemu -n +1 -f "$work/output" |
    sed -u -e 's/\r$//' -e '/^qzr-vm: job ended/d' -e '/^[0-9]* passed, [0-9]* failed$/d'
wait $qemu || boot_status=$?

tr -d '\r' <"$work/output" >"$work/output.txt"
summary=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$work/output.txt" | tail -1 || true)
job_status=$(sed -n 's/^qzr-vm: job ended with status \([0-9]*\)$/\1/p' "$work/output.txt" | tail -1)
if [ -z "$summary" ] || [ -z "$job_status" ]; then
    say "the VM ended (qemu status $boot_status) without the suite's summary; its console:"
    tail -n 40 "$work/console.log" >&2 || true
    echo "0 passed, 1 failed"
    exit 1
fi
say "$(( $(date +%s) - start )) s in all"
echo "$summary"
[ "$job_status" -eq 0 ]
