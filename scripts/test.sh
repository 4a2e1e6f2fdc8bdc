#!/bin/bash
# Installs what is missing, builds, and runs every test under Wine.
set -eu
cd "$(dirname "$0")/.."
. scripts/lib.sh
ensure_packages
check_portable
test_portable
test_cut_native
build
trap stop_all EXIT
start_display
start_wine
ctest --test-dir "$BUILD" --output-on-failure
