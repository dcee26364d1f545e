#!/usr/bin/env bash
# image.sh
# Makes the 32-bit Windows test VM once and prints the folder that holds it: Debian 12 (amd64,
# with i386 packages beside) with wine32 and xvfb, its own kernel and initrd, and a Wine prefix
# made by booting it once. The folder is ${XDG_CACHE_HOME:-~/.cache}/qzr/win32-vm/HASH, HASH
# being that of this recipe (this script, the VM's init and prepare.sh): a changed recipe makes a
# new image, and older ones are removed. Needs root (mmdebstrap's root mode), qemu-system-x86,
# mmdebstrap and e2fsprogs (make deps). QZR_VM_MIRROR names another Debian mirror.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mirror=${QZR_VM_MIRROR:-http://deb.debian.org/debian}
packages=(
    linux-image-amd64 initramfs-tools zstd kmod udev mount procps util-linux iproute2 e2fsprogs
    wine wine32:i386 libwine:i386 libasound2:i386 xvfb xauth
    # The X extensions Wine's display driver uses where they are present, as on the host.
    libxrender1:i386 libxrandr2:i386 libxi6:i386 libxcursor1:i386 libxinerama1:i386
    libxcomposite1:i386 libxfixes3:i386 libxxf86vm1:i386
)
hash=$(cat "$here/image.sh" "$here/init" "$here/prepare.sh" | sha256sum | cut -c1-16)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/qzr/win32-vm
image=$cache/$hash
if [ -f "$image/ready" ]; then
    echo "$image"
    exit 0
fi

say() { echo "win32-vm: $*" >&2; }
mkdir -p "$cache"
exec 9>"$cache/lock"
flock 9
if [ -f "$image/ready" ]; then
    echo "$image"
    exit 0
fi
for tool in mmdebstrap qemu-system-x86_64 mkfs.ext4; do
    command -v "$tool" >/dev/null || { say "$tool not found (make deps installs it)"; exit 2; }
done
if [ "$(id -u)" -ne 0 ]; then
    say "making the VM image needs root (mmdebstrap's root mode)"
    exit 2
fi

start=$(date +%s)
work=$cache/$hash.partial
# Never into a file system mounted inside (mmdebstrap mounts /proc and /sys while it works).
rm -rf --one-file-system "$work"
mkdir -p "$work"
trap 'rm -rf --one-file-system "$work"' EXIT
say "making the VM image in $image (once; a few minutes)"
# The system: the i386 packages run under the amd64 kernel; the null ALSA device is every
# program's default sound output.
mmdebstrap --quiet --variant=apt --architectures=amd64,i386 --include="$(IFS=,; echo "${packages[*]}")" \
    --customize-hook="install -m 755 '$here/init' \"\$1/sbin/qzr-init\"" \
    --customize-hook='printf "pcm.!default { type null }\nctl.!default { type hw card 0 }\n" >"$1/etc/asound.conf"' \
    --customize-hook='rm -rf "$1/var/cache/apt/archives"/*.deb "$1/var/lib/apt/lists"/*' \
    bookworm "$work/root" "$mirror" >&2
cp "$(ls "$work"/root/boot/vmlinuz-* | sort -V | tail -1)" "$work/vmlinuz"
cp "$(ls "$work"/root/boot/initrd.img-* | sort -V | tail -1)" "$work/initrd.img"
size=$(( $(du -sm "$work/root" | cut -f1) + 1536 ))
# mkfs names the file it creates even when quiet: on the error output, as this script's output
# is the image's folder alone.
mkfs.ext4 -q -F -L qzr-root -d "$work/root" "$work/disk.img" "${size}M" >&2
rm -rf --one-file-system "$work/root"

# The first boot makes the Wine prefix, kept in the image.
mkdir -p "$work/job"
cp "$here/prepare.sh" "$work/job/job.sh"
mkfs.ext4 -q -F -d "$work/job" "$work/job.img" 16M >&2
if ! "$here/boot.sh" "$work" "$work/job.img" "$work/prepare.log" "$work/console.log" 1200 persist ||
    ! grep -q "qzr-vm: wine prefix ready" "$work/prepare.log"; then
    say "the VM's first boot (making the Wine prefix) failed:"
    cat "$work/prepare.log" "$work/console.log" >&2 || true
    exit 1
fi
cat "$work/prepare.log" >&2
rm -rf "$work/job" "$work/job.img"
touch "$work/ready"
# Only the image of this recipe is kept.
find "$cache" -mindepth 1 -maxdepth 1 -type d ! -name "$hash" ! -name "$hash.partial" -exec rm -rf --one-file-system {} +
mv "$work" "$image"
trap - EXIT
say "VM image made in $(( $(date +%s) - start )) s"
echo "$image"
