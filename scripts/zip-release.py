#!/usr/bin/env python3
"""Writes the release zip so that the same files and time give the same bytes.

Entries go in the order given, each stored under its base name with one
date for all, fixed attributes and no extra fields: nothing of the folder,
the clock, the user or the file system it was packed on ends up in the zip.

Usage: zip-release.py OUTPUT.zip EPOCH FILE...
EPOCH is the entry date in seconds since 1970 (UTC), normally the commit's.
"""
import os
import sys
import time
import zipfile

# Zip dates are DOS dates: local time from 1980 to 2107 with two-second steps.
# They are written as UTC here, so the packer's time zone does not matter.
DOS_FIRST = 315532800  # 1980-01-01 00:00:00 UTC
DOS_LAST = 4354819198  # 2107-12-31 23:59:58 UTC


def entry(name, epoch):
    stamp = time.gmtime(min(max(epoch, DOS_FIRST), DOS_LAST))
    info = zipfile.ZipInfo(name, date_time=stamp[:6])
    info.compress_type = zipfile.ZIP_DEFLATED
    info.create_system = 0   # made on MS-DOS/FAT: attributes mean Windows' own
    # A plain file, as Windows writes one (FILE_ATTRIBUTE_ARCHIVE); zipfile
    # would put Unix permissions in place of a zero.
    info.external_attr = 0x20
    return info


def main():
    if len(sys.argv) < 4:
        sys.exit("usage: zip-release.py OUTPUT.zip EPOCH FILE...")
    output, epoch, files = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
    names = [os.path.basename(f) for f in files]
    if len(set(names)) != len(names):
        sys.exit("zip-release.py: two files with one name: %s" % " ".join(names))
    with zipfile.ZipFile(output, "w") as z:
        for path, name in zip(files, names):
            with open(path, "rb") as f:
                z.writestr(entry(name, epoch), f.read(), compresslevel=9)


if __name__ == "__main__":
    main()
