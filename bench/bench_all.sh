#!/usr/bin/env bash
# Every benchmark of the encoder and the run in one go, then the figures that have targets side
# by side: aliasing per profile (fastencc, lame, ffmpeg), fastencc's time against lame's on real
# music, adding 10,000 files, memory with them in the list, and the batch against one file at a
# time and against ffmpeg.
#
#   bash bench/bench_all.sh [BUILD_DIR]
#
# Takes about ten minutes; run it alone on the machine. Needs what bench_encoder.sh and
# bench_run.sh need (tools/install-deps.sh --test, and the drascula-music package).
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../build}"
log="$(mktemp -d /tmp/bench-all.XXXXXX)"
trap 'rm -rf "$log"' EXIT

echo "== encoder (bench_encoder.sh)"
bash "$here/bench_encoder.sh" -b "$build" --no-long | tee "$log/encoder.txt"
encoder=${PIPESTATUS[0]}
echo
echo "== run (bench_run.sh)"
bash "$here/bench_run.sh" "$build" | tee "$log/run.txt"
run=${PIPESTATUS[0]}

echo
echo "== summary"
sed -n '/^aliasing/,/^fastencc leaks/p' "$log/encoder.txt" | grep -E '^profile|^[0-9]+ (stereo|mono) ' || true
grep -E '^profile +input|^.* music +lame |^profile +one thread|^.* -1t, CPU ' "$log/encoder.txt" || true
grep -E '^added|^peak|^one at a time|^ffmpeg' "$log/run.txt" || true
[ "$encoder" = 0 ] && [ "$run" = 0 ]
