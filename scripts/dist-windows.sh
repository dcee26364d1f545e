#!/usr/bin/env bash
# dist-windows.sh BUILD ARCH ZIP
# Packs a Windows build (BUILD/bin, ARCH i686 or x86_64) into ZIP: the programs and DLLs
# (stripped), the examples, and README.txt for Windows users (CRLF line ends), all in one folder
# named as the zip. The static checks (scripts/check-windows-binaries.sh) run on the files that
# go into it, and the zip is replaced only once they pass.
set -euo pipefail
build=${1:?usage: scripts/dist-windows.sh BUILD ARCH ZIP}
arch=${2:?usage: scripts/dist-windows.sh BUILD ARCH ZIP}
zip_file=${3:?usage: scripts/dist-windows.sh BUILD ARCH ZIP}
root=$(cd "$(dirname "$0")/.." && pwd)
name=$(basename "$zip_file" .zip)

# Each file of the product and its line in README.txt; a file the build lacks is left out.
files=(opmcomp.exe opn2comp.exe qzr.exe qzrgui.exe ymrender.exe qzrplay.dll x68sound.dll)
declare -A about=(
    [opmcomp.exe]="compiles an OPM song (NAME.opm.mml) into NAME.opm.mml.qzr"
    [opn2comp.exe]="compiles an OPN2 song (NAME.opn2.mml) into NAME.opn2.mml.qzr"
    [qzr.exe]="renders, plays, checks and compares songs (qzr --help)"
    [qzrgui.exe]="the player window: choose a song and play it"
    [ymrender.exe]="plays a register script on the emulated chip alone and writes a WAV"
    [qzrplay.dll]="the player, for programs that play songs"
    [x68sound.dll]="the emulated YM2151 and its sound output, which qzrplay.dll loads"
)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage=$work/$name
mkdir -p "$stage/bin"
readme=$work/README.txt
cat "$root/docs/windows-readme.txt" >"$readme"
for file in "${files[@]}"; do
    [ -f "$build/bin/$file" ] || continue
    "$arch-w64-mingw32-strip" -o "$stage/bin/$file" "$build/bin/$file"
    printf '%-14s %s\n' "$file" "${about[$file]}" >>"$readme"
done
printf '%-14s %s\n' "examples" "example songs and their voices" >>"$readme"
cat "$root/docs/windows-readme-end.txt" >>"$readme"

"$root/scripts/check-windows-binaries.sh" "$stage" "$arch" >&2
mv "$stage"/bin/* "$stage"/
rmdir "$stage/bin"
cp -r "$root/examples" "$stage/examples"
sed 's/$/\r/' "$readme" >"$stage/README.txt"

(cd "$work" && zip -q -r -X packed.zip "$name")
mkdir -p "$(dirname "$zip_file")"
mv "$work/packed.zip" "$zip_file"
echo "dist-windows: $zip_file"
