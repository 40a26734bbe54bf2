#!/usr/bin/env bash
# Configures and builds Sveltra into build/ (warnings are errors). Used by run.sh and test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${BUILD_DIR:-build}"
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSVELTRA_WERROR=ON "$@"
cmake --build "$BUILD_DIR" -j "$(nproc)"
