#!/usr/bin/env bash
# Installs what Sveltra needs, builds it and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
bash tools/build.sh
exec "${BUILD_DIR:-build}/bin/sveltra"
