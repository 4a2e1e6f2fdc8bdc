#!/bin/bash
# Installs what is missing, builds, and starts Tarnvik under Wine.
set -eu
cd "$(dirname "$0")/.."
. scripts/lib.sh
ensure_packages
build
trap stop_all EXIT
start_display
start_wine
[ -n "$XVFB_PID" ] && echo "No display found: Tarnvik runs on the private display $DISPLAY."
wine "$BUILD/bin/Tarnvik.exe"
