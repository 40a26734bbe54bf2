#!/usr/bin/env bash
# A player kept in step with an unchanged library: how long `sveltra --sync` takes to decide that
# nothing is to be done, beside the run's own rerun of the same library (bench_run.sh's step 3).
#
#   bash bench/bench_sync.sh [BUILD_DIR]
#
# The library is bench_run.sh's: one tagged MP3, hard-linked PER_FOLDER times (default 1,000)
# into each of FOLDERS folders (default 10). It is synced once into an empty player folder (every
# file encoded), then:
# 1. `--sync --dry-run` on the unchanged library: the plan alone (target at most 30 s on 2 cores);
# 2. `--sync` on it: the plan, nothing encoded, the play lists checked;
# 3. the run's rerun of the same library into a folder of its own, for comparison.
# The settings come from a home folder of the script's own (the default profile).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
BUILD="${1:-build}"
need_tools bench_sync ffmpeg
cmake --build "$BUILD" --target sveltra runbench fastencc >/dev/null
BIN="$(realpath "$BUILD/bin")"
FOLDERS=${FOLDERS:-10}
PER_FOLDER=${PER_FOLDER:-1000}
CORES=$(nproc)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/.config" QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME" "$WORK/player" "$WORK/library/disc01"

now() { date +%s.%N; }
since() { awk -v s="$1" -v e="$(now)" 'BEGIN {printf "%.1f", e - s}'; }

echo "== fixtures: $((FOLDERS * PER_FOLDER)) tagged MP3 files in $FOLDERS folders"
ffmpeg -v error -y -f lavfi -i "sine=frequency=440:duration=2" -ac 2 -metadata title=标题 -metadata artist=歌手 \
  -metadata album=专辑 -id3v2_version 3 "$WORK/tagged.mp3"
for i in $(seq -w 1 "$PER_FOLDER"); do ln "$WORK/tagged.mp3" "$WORK/library/disc01/track$i.mp3"; done
for d in $(seq -w 2 "$FOLDERS"); do cp -al "$WORK/library/disc01" "$WORK/library/disc$d"; done

echo "== the first sync into an empty player folder"
s=$(now)
"$BIN/sveltra" --sync "$WORK/library" "$WORK/player" >"$WORK/first.log" 2>&1 || { tail -20 "$WORK/first.log"; exit 1; }
echo "first sync: $(since "$s") s   $(tail -1 "$WORK/first.log")"

echo "== 1. the unchanged library, --dry-run"
s=$(now)
"$BIN/sveltra" --sync "$WORK/library" "$WORK/player" --dry-run >"$WORK/dry.log" 2>&1
echo "decided: $(since "$s") s (target at most 30 s)   $(head -1 "$WORK/dry.log")"

echo "== 2. the unchanged library, synced"
s=$(now)
"$BIN/sveltra" --sync "$WORK/library" "$WORK/player" >"$WORK/second.log" 2>&1
echo "synced: $(since "$s") s   $(tail -1 "$WORK/second.log")"

echo "== 3. the run's rerun of the same library ($CORES at once), for comparison"
"$BIN/runbench" library "$CORES" "$WORK/libout" "$WORK/library" 2>>"$WORK/runbench.log" | grep -E '^rerun'
