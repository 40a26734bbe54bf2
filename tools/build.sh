#!/usr/bin/env bash
# Configures and builds Sveltra into build/ (warnings are errors). Used by run.sh and test.sh.
# BUILD_DIR picks another folder; SANITIZE=1 builds with AddressSanitizer and UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${BUILD_DIR:-build}"
extra=()
if [ "${SANITIZE:-0}" = 1 ]; then extra+=(-DSVELTRA_SANITIZE=ON); fi
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSVELTRA_WERROR=ON "${extra[@]}" "$@"
cmake --build "$BUILD_DIR" -j "$(nproc)"
