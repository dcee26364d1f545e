#!/usr/bin/env bash
# check-windows-binaries.sh BUILD_DIR ARCH [BUILD_DIR ARCH ...]
# Static checks of the Windows programs and DLLs of each build (ARCH i686 or x86_64), read with
# objdump -p: the file is PE32 (i686) or PE32+ (x86_64); it imports only from the system DLLs
# and only the functions listed in scripts/windows7-imports.txt (what Windows 7 has), so the
# files run on a bare Windows 7 or later; each DLL exports exactly the entries of its .def file,
# undecorated; qzrgui.exe is a window program; where the file keeps its symbols, it uses none of
# the standard library's atomic waits (read with nm). Exits 1 naming every fault found.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
allowed_list=$root/scripts/windows7-imports.txt
# Each DLL (its path under bin) and the .def file that lists its exports.
declare -A def_files=(
    [qzrplay.dll]=$root/player/library/src/qzrplay.def
    [x68sound.dll]=$root/emulator/library/src/x68sound.def
    [doubles/emu/x68sound.dll]=$root/tests/doubles/recording_x68sound/recording_x68sound.def
)
# The product; every build has these. The others are checked where the build has them: the
# recording emulator of a build with tests stands in the real one's place, so it is held to the
# same rules.
required=(opmcomp.exe opn2comp.exe qzrplay.dll ymrender.exe qzrgui.exe)
optional=(x68sound.dll qzr.exe doubles/emu/x68sound.dll)

if [ $# -eq 0 ] || [ $(($# % 2)) -ne 0 ]; then
    echo "usage: $0 BUILD_DIR ARCH [BUILD_DIR ARCH ...]" >&2
    exit 2
fi

# "DLL function" pairs, the DLL's name in lower case; comments and blank lines left out.
allowed=$(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$allowed_list" |
    awk '{ print tolower($1), $2 }' | sort -u)
# A .def file's entries, sorted as objdump lists exports (by name).
def_exports() {
    awk '/^EXPORTS/ { on = 1; next } on && NF { print $1 }' "$1" | LC_ALL=C sort
}

faults=0
fault() {
    echo "check-windows-binaries: $1" >&2
    faults=$((faults + 1))
}

check_file() {
    local file=$1 name=$2 arch=$3 objdump=$4 dump magic imports unknown
    dump=$("$objdump" -p "$file")
    magic=$(awk '$1 == "Magic" { print $3; exit }' <<<"$dump")
    case $arch in
        i686) [ "$magic" = "(PE32)" ] || fault "$file: $magic, not PE32" ;;
        x86_64) [ "$magic" = "(PE32+)" ] || fault "$file: $magic, not PE32+" ;;
    esac
    # "dll function" for every import by name; "dll #ordinal" for one by ordinal.
    imports=$(awk '
        /^\tDLL Name: / { dll = tolower($3); next }
        dll != "" && /^\tvma:/ { next }
        dll != "" && /^\t[0-9a-f]+\t/ {
            if (NF >= 3) print dll, $3; else print dll, "#" $2
            next
        }
        { dll = "" }' <<<"$dump" | sort -u)
    if [ -z "$imports" ]; then
        fault "$file: no imports found (is it a PE file?)"
    fi
    unknown=$(comm -23 <(printf '%s\n' "$imports") <(printf '%s\n' "$allowed"))
    if [ -n "$unknown" ]; then
        while read -r dll function; do
            fault "$file imports $function from $dll, which is not in $(basename "$allowed_list")"
        done <<<"$unknown"
    fi
    if [ "$(basename "$file")" = qzrgui.exe ]; then
        # A window program: started from Explorer, it opens no console.
        awk '$1 == "Subsystem" { exit $2 == "00000002" ? 0 : 1 }' <<<"$dump" ||
            fault "$file is not a Windows GUI program (subsystem 2)"
    fi
    # MinGW's GCC 12 has no futex: its atomic waits (behind std::stop_callback, semaphores,
    # latches, barriers and atomic<T>::wait) can lose a wake-up and hang for good.
    if "${objdump%objdump}nm" -C "$file" 2>/dev/null | grep -c '__waiter_pool_base' >/dev/null; then
        fault "$file uses the standard library's atomic waits, which can hang on MinGW\
 (std::stop_callback, semaphores, latches, atomic wait): use a mutex and a condition variable"
    fi
    local def=${def_files[$name]:-}
    if [ -n "$def" ]; then
        local exports expected_exports
        exports=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" |
            sed -n 's/^\t\[ *[0-9]*\] \(.*\)$/\1/p' | LC_ALL=C sort)
        expected_exports=$(def_exports "$def")
        if [ "$exports" != "$expected_exports" ]; then
            fault "$file exports [$(echo $exports)], not the .def file's [$(echo $expected_exports)]"
        fi
    fi
}

while [ $# -gt 0 ]; do
    build=$1 arch=$2
    shift 2
    objdump=$arch-w64-mingw32-objdump
    for name in "${required[@]}" "${optional[@]}"; do
        file=$build/bin/$name
        if [ ! -f "$file" ]; then
            case " ${required[*]} " in
                *" $name "*) fault "$file is missing" ;;
            esac
            continue
        fi
        check_file "$file" "$name" "$arch" "$objdump"
        echo "check-windows-binaries: $file ($arch) checked"
    done
done

if [ $faults -ne 0 ]; then
    echo "check-windows-binaries: $faults fault(s)" >&2
    exit 1
fi
