#!/usr/bin/env bash
# Installs what Sveltra and its tests need, builds it and runs every test (offscreen, no display
# needed).
# BUILD_DIR and SANITIZE=1 as for build.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh --test
bash tools/build.sh
export QT_QPA_PLATFORM=offscreen
# Qt and fontconfig keep caches for the life of the process; leak reports would be about them.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure -j "$(nproc)"
