#!/bin/bash
# Installs what is missing, builds, compiles the sources with clang too,
# builds the release zip and checks its checksum, and runs every test under Wine.
set -eu
cd "$(dirname "$0")/.."
. scripts/lib.sh
ensure_packages
check_portable
test_portable
test_native
build
check_clang
check_release
trap stop_all EXIT
start_display
start_wine
ctest --test-dir "$BUILD" --output-on-failure
