#!/bin/sh
# Maps drive T: of the tests' Wine prefix to a fresh folder on a tmpfs, so
# the jobs tests can move files between two file systems, as between two
# volumes of a Windows machine (a program on D:\ or a USB stick).
# Usage: map-tmpfs-drive.sh PREFIX
set -eu
prefix=$1
shm=/dev/shm
if [ "$(stat -f -c %T "$shm" 2>/dev/null)" != tmpfs ]; then
    echo "map-tmpfs-drive: no tmpfs at $shm" >&2
    exit 1
fi
dir=$shm/tarnvik-tests-$(printf %s "$prefix" | md5sum | cut -c1-12)
rm -rf "$dir"
mkdir -p "$dir" "$prefix/dosdevices"
ln -sfn "$dir" "$prefix/dosdevices/t:"
