#!/bin/sh
# Maps drive R: of the tests' Wine prefix to a folder holding a folder
# "Tarnvik" with a copy of Tarnvik.exe that nobody can write to, not even
# root (as Program Files is to a user without rights). With --remove, undoes it.
# Usage: readonly-program-folder.sh PREFIX TARNVIK_EXE [--remove]
set -eu
prefix=$1
exe=$2
dir=/dev/shm/tarnvik-tests-$(printf %s "$prefix" | md5sum | cut -c1-12)-readonly
if [ -d "$dir/Tarnvik" ]; then
    chattr -i "$dir/Tarnvik" 2>/dev/null || true
    chmod u+w "$dir/Tarnvik"
fi
rm -rf "$dir" "$prefix/dosdevices/r:"
[ "${3:-}" = --remove ] && exit 0
mkdir -p "$dir/Tarnvik" "$prefix/dosdevices"
cp "$exe" "$dir/Tarnvik/Tarnvik.exe"
chmod 555 "$dir/Tarnvik"
# The mode bits do not stop root; an immutable folder does.
[ "$(id -u)" -ne 0 ] || chattr +i "$dir/Tarnvik"
ln -sfn "$dir" "$prefix/dosdevices/r:"
