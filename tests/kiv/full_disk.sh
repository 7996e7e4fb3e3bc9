#!/bin/sh
# Runs the full-disk tests of a Windows test program on a file system of 1 MB that this
# script mounts (it needs the super-user; otherwise the tests skip), then unmounts it.
#   full_disk.sh EMULATOR... PROGRAM.exe
set -u
dir=$(mktemp -d "${TMPDIR:-/tmp}/kivfull.XXXXXX")
mounted=
if [ "$(id -u)" = 0 ] && mount -t tmpfs -o size=1m kivfull "$dir" 2>/dev/null; then
    mounted=1
    KIV_FULL_DISK="Z:$(printf '%s' "$dir" | tr / '\\')\\"
    export KIV_FULL_DISK
fi
"$@" --gtest_filter='KivWindowsFullDisk.*'
rc=$?
[ -n "$mounted" ] && umount "$dir"
rmdir "$dir"
exit $rc
