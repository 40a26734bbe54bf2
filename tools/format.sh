#!/usr/bin/env bash
# Formats every C++ file of ours with .clang-format; --check only reports files that differ
# (and fails), as CI runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=(-i)
if [ "${1:-}" = "--check" ]; then mode=(--dry-run -Werror); fi
git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format "${mode[@]}"
