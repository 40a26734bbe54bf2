#!/usr/bin/env bash
# The conversion run's own cost and the gain of several encoders at once, measured side by side
# in one run (absolute times drift on shared machines; the ratios are what count).
#
#   bash bench/bench_run.sh [BUILD_DIR]
#
# 1. Overhead per file: the run over 50 short files (one at a time) against 50 bare fastencc calls
#    on one thread each, as the run starts them for a list of several rows.
# 2. A music library of 10,000 tagged MP3 files in 10 folders dropped onto the job list: the time
#    until the last row is in, the longest pauses of the event loop and between repaints, peak
#    memory with the rows in, and selecting all, sorting and removing all of them.
# 3. The same library converted into a folder of its own (its tree kept), then converted again
#    unchanged: the rerun keeps every output as it is (target at most 30 s on 2 cores).
# 4. A batch of 8 one-minute files at 64 kbit/s stereo: one at a time against one per core (in a
#    run of several rows each encoder works on one thread), and against ffmpeg (libmp3lame at the
#    same rate) run one per core; SoundConverter if installed.
# The window's own messages go to runbench.log in the work folder, shown when a step fails.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD="${1:-build}"
cmake --build "$BUILD" --target runbench fastencc >/dev/null
BIN="$BUILD/bin"
export QT_QPA_PLATFORM=offscreen
CORES=$(nproc)
WORK=$(mktemp -d)
trap 'status=$?; [ "$status" = 0 ] || cat "$WORK/runbench.log" >&2 2>/dev/null; rm -rf "$WORK"' EXIT
REPEAT=${REPEAT:-3}

now() { date +%s.%N; }
runbench() { "$BIN/runbench" "$@" 2>>"$WORK/runbench.log"; }
median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }

echo "== fixtures"
mkdir -p "$WORK/short" "$WORK/batch" "$WORK/library/disc01"
for i in $(seq -w 1 50); do sox -n -r 44100 -c 2 -b 16 "$WORK/short/s$i.wav" synth 2 sine $((200 + 10#$i * 7)); done
for i in $(seq 1 8); do sox -n -r 44100 -c 2 -b 16 "$WORK/batch/b$i.wav" synth 60 sine $((300 + i * 40)) sine $((500 + i * 30)); done
ffmpeg -v error -y -i "$WORK/short/s01.wav" -metadata title=标题 -metadata artist=歌手 -metadata album=专辑 \
  -id3v2_version 3 "$WORK/tagged.mp3"
# The library: one file, hard-linked 1,000 times into a folder, and the folder linked 9 more times.
for i in $(seq -w 1 1000); do ln "$WORK/tagged.mp3" "$WORK/library/disc01/track$i.mp3"; done
for d in $(seq -w 2 10); do cp -al "$WORK/library/disc01" "$WORK/library/disc$d"; done

echo "== 1. run overhead per file (50 files of 2 s, 64 kbit/s stereo, one at a time)"
runs=(); bares=()
for r in $(seq 1 "$REPEAT"); do
  rm -rf "$WORK/o1" "$WORK/o2"; mkdir -p "$WORK/o1" "$WORK/o2"
  t=$(runbench run 1 "$WORK/o1" "$WORK"/short/*.wav | awk '{print $(NF-1)}')
  runs+=("$t")
  s=$(now)
  for f in "$WORK"/short/*.wav; do "$BIN/fastencc" "$f" "$WORK/o2/$(basename "$f" .wav).mp3" -br 64000 -1t >/dev/null; done
  e=$(now)
  bares+=("$(awk -v s="$s" -v e="$e" 'BEGIN {print e - s}')")
done
run=$(printf '%s\n' "${runs[@]}" | median); bare=$(printf '%s\n' "${bares[@]}" | median)
echo "run: ${run} s   bare fastencc x50: ${bare} s   ratio run/bare: $(ratio "$run" "$bare")"
awk -v a="$run" -v b="$bare" 'BEGIN {printf "overhead per file: %.1f ms (target at most 30 ms)\n", (a - b) * 1000 / 50}'

echo "== 2. a library of 10,000 tagged MP3 files in 10 folders dropped onto the job list"
runbench add "$WORK/library" | sed -e '/^added/s/$/ (targets: at most 3 s, gaps at most 100 ms)/' \
  -e '/^peak/s/$/ (target below 150 MB)/' -e '/^select\|^sort\|^remove/s/$/ (target below 1 s)/'

echo "== 3. the library converted, then converted again unchanged ($CORES at once)"
runbench library "$CORES" "$WORK/libout" "$WORK/library" | sed -e '/^rerun/s/$/ (target at most 30 s)/'
rm -rf "$WORK/libout"

echo "== 4. batch of 8 one-minute files at 64 kbit/s stereo, $CORES cores"
ones=(); alls=(); ffs=()
for r in $(seq 1 "$REPEAT"); do
  rm -rf "$WORK/b1" "$WORK/bn" "$WORK/bf"; mkdir -p "$WORK/b1" "$WORK/bn" "$WORK/bf"
  ones+=("$(runbench run 1 "$WORK/b1" "$WORK"/batch/*.wav | awk '{print $(NF-1)}')")
  alls+=("$(runbench run "$CORES" "$WORK/bn" "$WORK"/batch/*.wav | awk '{print $(NF-1)}')")
  s=$(now)
  ls "$WORK"/batch/*.wav | xargs -P "$CORES" -I{} sh -c \
    'ffmpeg -v error -y -i "$1" -c:a libmp3lame -b:a 64k -ar 24000 "$2/$(basename "$1" .wav).mp3"' _ {} "$WORK/bf"
  e=$(now)
  ffs+=("$(awk -v s="$s" -v e="$e" 'BEGIN {print e - s}')")
done
one=$(printf '%s\n' "${ones[@]}" | median); all=$(printf '%s\n' "${alls[@]}" | median); ff=$(printf '%s\n' "${ffs[@]}" | median)
echo "one at a time: ${one} s   $CORES at once: ${all} s   speed-up: $(ratio "$one" "$all")x (target at least 1.9x on 2 cores)"
echo "ffmpeg $CORES at once: ${ff} s   Sveltra/ffmpeg time ratio: $(ratio "$all" "$ff") (target at most 0.8)"
if command -v soundconverter >/dev/null 2>&1; then
  mkdir -p "$WORK/bs"; s=$(now)
  soundconverter -b "$WORK"/batch/*.wav -f mp3 -m cbr -q 64 -o "$WORK/bs" >/dev/null 2>&1 || true
  e=$(now); sc=$(awk -v s="$s" -v e="$e" 'BEGIN {print e - s}')
  echo "SoundConverter: ${sc} s   Sveltra/SoundConverter time ratio: $(ratio "$all" "$sc")"
else
  echo "SoundConverter: not installed"
fi
