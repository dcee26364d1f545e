#!/usr/bin/env bash
# boot.sh IMAGE_DIR JOB_DISK OUTPUT CONSOLE TIMEOUT [persist]
# Boots the test VM of IMAGE_DIR (its disk.img, with the kernel and initrd taken from it) under
# software emulation, with JOB_DISK as its second disk; the VM's init runs the job disk's job.sh,
# whose output (the VM's second serial port) goes to OUTPUT, the kernel's console to CONSOLE.
# The system disk's changes are thrown away unless "persist" is given (only when the image is
# made). qemu is stopped after TIMEOUT seconds. The status is qemu's (or timeout's, 124).
set -euo pipefail
image=${1:?usage: boot.sh IMAGE_DIR JOB_DISK OUTPUT CONSOLE TIMEOUT [persist]}
job=${2:?} output=${3:?} console=${4:?} seconds=${5:?} persist=${6:-}
snapshot=on
[ "$persist" = persist ] && snapshot=off
exec timeout --foreground -k 10 "$seconds" qemu-system-x86_64 \
    -accel tcg -cpu qemu64 -smp 2 -m 2048 \
    -nodefaults -no-user-config -display none -no-reboot \
    -kernel "$image/vmlinuz" -initrd "$image/initrd.img" \
    -append "root=/dev/vda rw console=ttyS0 panic=1 init=/sbin/qzr-init quiet loglevel=3" \
    -drive "file=$image/disk.img,if=virtio,format=raw,snapshot=$snapshot" \
    -drive "file=$job,if=virtio,format=raw" \
    -serial "file:$console" -serial "file:$output" \
    -nic none
