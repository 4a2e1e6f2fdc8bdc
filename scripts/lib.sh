# Shared by run.sh and test.sh: install what is missing, build, and prepare Wine.
# Source it from the repository root.

BUILD=${TARNVIK_BUILD_DIR:-build}
# clang: the second compiler (check_clang); python3: the release zip and its README.txt;
# ffmpeg: the exact cut run end to end; yt-dlp: a clip fetched as its fragments
# end to end (both in test_native).
PACKAGES="cmake make g++ g++-mingw-w64-x86-64-posix googletest libgtest-dev wine wine64 xvfb clang python3 ffmpeg yt-dlp"

ensure_packages() {
    missing=""
    for p in $PACKAGES; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" \
            || missing="$missing $p"
    done
    [ -z "$missing" ] && return 0
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    echo "Installing:$missing"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing >/dev/null
}

build() {
    cmake --no-warn-unused-cli -S . -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
          -DCMAKE_BUILD_TYPE=Release >/dev/null
    # Progress goes nowhere; compiler errors and warnings stay on stderr.
    cmake --build "$BUILD" -j "$(nproc)" -- --no-print-directory >/dev/null
}

# The platform-free sources must build with any C++17 compiler and no
# Windows header: compile them once for Linux too.
check_portable() {
    g++ -std=c++17 -Wall -Wextra -pedantic -Werror -fsyntax-only -Isrc \
        src/text/*.cpp src/media/*.cpp
}

# Their tests that need no Windows header also run as a Linux program, where
# a fault cannot hide behind the MinGW runtime or Wine.
test_portable() {
    mkdir -p "$BUILD"
    g++ -std=c++17 -Wall -Wextra -Isrc -o "$BUILD/text_tests_native" \
        $(grep -L "windows.h" tests/text/*_test.cpp tests/media/*_test.cpp) src/text/*.cpp src/media/*.cpp \
        -lgtest -lgtest_main -pthread
    "$BUILD/text_tests_native" --gtest_brief=1
}

# A second compiler sees every source of the program: clang, for Windows,
# with the MinGW-w64 headers and the include paths and defines the build
# uses, so that a construct only GCC accepts, or a warning only clang gives,
# fails here and not first under Visual Studio. Needs the build configured
# (the generated version header and the download host come from it).
check_clang() {
    host=$(sed -n 's/^TARNVIK_DOWNLOAD_HOST:STRING=//p' "$BUILD/CMakeCache.txt")
    clang++ --target=x86_64-w64-mingw32 $(mingw_header_flags) \
        -std=c++17 -Wall -Wextra -pedantic -Werror -fsyntax-only \
        -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -DNOMINMAX \
        "-DTARNVIK_DOWNLOAD_HOST=L\"$host\"" \
        -Isrc -Isrc/ui -I"$BUILD/src/generated" src/*/*.cpp
}

# The header folders of the posix MinGW-w64 g++, in its order, for clang:
# the C++ library's and the Windows headers, but clang's own built-in
# headers (intrinsics, stddef.h) in place of GCC's, which only GCC reads.
mingw_header_flags() {
    dirs=$(x86_64-w64-mingw32-g++-posix -v -E -x c++ /dev/null 2>&1 >/dev/null |
        sed -n '/^#include <\.\.\.> search starts here:/,/^End of search list\./s/^ //p' |
        xargs -r realpath)
    flags="-nostdinc"
    for d in $dirs; do
        case "$d" in */include/c++*) flags="$flags -isystem $d" ;; esac
    done
    flags="$flags -isystem $(clang++ -print-resource-dir)/include"
    for d in $dirs; do
        case "$d" in */include/c++* | */lib/gcc/*) ;; *) flags="$flags -isystem $d" ;; esac
    done
    echo "$flags"
}

# The release script builds on its own, from a clean folder; the checksum
# list it writes must match the zip beside it.
check_release() {
    ./scripts/release.sh
    (cd dist && sha256sum -c --quiet SHA256SUMS)
}

# What needs the real tools runs natively: the exact cut's steps with
# Debian's ffmpeg and ffprobe on generated media, the readers of a media
# file's index and the fragment plan on files ffmpeg makes, and a clip
# fetched as its fragments with Debian's yt-dlp from a local model of a
# throttling server, which must equal the one cut from the whole files.
test_native() {
    mkdir -p "$BUILD"
    g++ -std=c++17 -O1 -Wall -Wextra -Isrc -Itests/native -DTESTS_NATIVE_DIR="\"$PWD/tests/native\"" \
        -o "$BUILD/native_tests" tests/native/*_test.cpp tests/native/run_cut.cpp tests/native/fetch_run.cpp \
        tests/native/media_files.cpp src/text/*.cpp src/media/*.cpp -lgtest -lgtest_main -pthread
    "$BUILD/native_tests" --gtest_brief=1
}

# Wine windows need an X display; without one, start a private Xvfb.
XVFB_PID=""
start_display() {
    [ -n "${DISPLAY:-}" ] && return 0
    n=90
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        [ -e "/tmp/.X11-unix/X$n" ] && break
        sleep 0.3
    done
}

# The build's own Wine prefix, made once, and a wineserver kept warm for the run.
# Wine's background services start with the first program of a server and
# inherit its output; starting them here, with output to /dev/null, keeps
# them away from the tests' output. Helpers that Wine starts later, from
# within a test, are kept away from it by scripts/wine-run.
start_wine() {
    mkdir -p "$BUILD/wineprefix"
    export WINEPREFIX="$(cd "$BUILD/wineprefix" && pwd)" WINEDEBUG=-all
    # The server goes first, so whatever wineboot starts stays up under it;
    # one that is running already is just as good.
    wineserver -p 2>/dev/null || true
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1 </dev/null || true
    fi
    wine cmd.exe /c exit 0 >/dev/null 2>&1 </dev/null || true
}

stop_all() {
    [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    return 0
}
