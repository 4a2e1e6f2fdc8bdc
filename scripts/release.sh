#!/bin/bash
# Installs what is missing and builds the release into dist/: the zip
# Tarnvik-<version>-win64.zip (Tarnvik.exe and README.txt) and SHA256SUMS.
# One commit gives the same bytes in any folder and at any time.
set -eu
cd "$(dirname "$0")/.."
. scripts/lib.sh

RELEASE_BUILD=build-release
DIST=dist

# Flags from the environment would make this build differ from everyone
# else's; the clock and the time zone must not reach the zip either.
unset CFLAGS CXXFLAGS CPPFLAGS LDFLAGS
export TZ=UTC LC_ALL=C

# The commit's own time dates the zip's entries (and would date anything the
# compiler stamps), so a rebuild of the commit matches.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export SOURCE_DATE_EPOCH

# A zip built from changed files is not the commit's, whatever its name says.
# Only what goes into the zip counts (the tests rewrite the screenshots).
warn_uncommitted() {
    if [ -n "$(git status --porcelain --untracked-files=no -- \
               CMakeLists.txt cmake src scripts README.md 2>/dev/null)" ]; then
        echo "Warning: uncommitted changes; this zip does not match the commit." >&2
    fi
}

# Nothing from an earlier build may leak in: a fresh folder, the program only.
build_release() {
    rm -rf "$RELEASE_BUILD"
    cmake --no-warn-unused-cli -S . -B "$RELEASE_BUILD" \
          -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
          -DCMAKE_BUILD_TYPE=Release -DTARNVIK_TESTS=OFF >/dev/null
    cmake --build "$RELEASE_BUILD" --target Tarnvik -j "$(nproc)" -- --no-print-directory >/dev/null
}

release_version() {
    sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$RELEASE_BUILD/CMakeCache.txt"
}

# What would make two builds of one commit differ: a link time in the PE
# header (its TimeDateStamp, 8 bytes into the header that the offset at 0x3C
# points to) or this folder's path anywhere in the file.
check_reproducible() {
    exe=$1
    header=$(od -An -tu4 -j60 -N4 "$exe" | tr -d ' ')
    stamp=$(od -An -tu4 -j$((header + 8)) -N4 "$exe" | tr -d ' ')
    if [ "$stamp" != 0 ]; then
        echo "release: $exe carries a link time in its PE header ($stamp)" >&2
        return 1
    fi
    if { strings -a "$exe"; strings -a -el "$exe"; } | grep -F -q "$PWD"; then
        echo "release: $exe holds the build folder's path $PWD" >&2
        return 1
    fi
}

pack() {
    version=$1
    zip="Tarnvik-$version-win64.zip"
    python3 scripts/readme-txt.py README.md "$version" "$RELEASE_BUILD/README.txt"
    rm -rf "$DIST"
    mkdir -p "$DIST"
    python3 scripts/zip-release.py "$DIST/$zip" "$SOURCE_DATE_EPOCH" \
        "$RELEASE_BUILD/bin/Tarnvik.exe" "$RELEASE_BUILD/README.txt"
    # The form yt-dlp's SHA2-256SUMS has: hex, two spaces, file name.
    (cd "$DIST" && sha256sum "$zip" > SHA256SUMS)
    echo "$DIST/$zip: $(stat -c %s "$DIST/$zip") bytes, SHA-256 $(cut -d' ' -f1 "$DIST/SHA256SUMS")"
}

ensure_packages
warn_uncommitted
build_release
version=$(release_version)
[ -n "$version" ] || { echo "release: no version in $RELEASE_BUILD/CMakeCache.txt" >&2; exit 1; }
check_reproducible "$RELEASE_BUILD/bin/Tarnvik.exe"
pack "$version"
