#!/usr/bin/env bash
# What measuring the loudness of every output costs, and what levelling costs, on real recorded
# music (the game soundtrack of Debian's drascula-music package, or --music): fastencc with its
# loudness measurement against the same without it (FASTENCC_MEASURE=0), once for one 4-minute
# file on every core, once for an album of three tracks encoded two at a time on one thread each
# (as a run of several rows does); the measurement may add at most 10%. Then the album levelled
# as the run levels it: a measuring pass over the tracks (fastencc -measure, two at a time), the
# album's gain, and the tracks encoded with it. Rounds alternate the commands in turn; the table
# gives median times and the ratios against encoding without measurement.
#
# Run it alone on the machine, under the build lock, so no build disturbs it:
#   bash bench/bench_loudness.sh [-r ROUNDS] [-b BUILD_DIR] [--music FILE_OR_FOLDER]
set -euo pipefail

rounds=5
build_dir=""
music=/usr/share/scummvm/drascula/audio
while [ $# -gt 0 ]; do
  case "$1" in
    -r) rounds="$2"; shift 2 ;;
    -b) build_dir="$2"; shift 2 ;;
    --music) music="$2"; shift 2 ;;
    -h|--help) sed -n '2,12p' "$0"; exit 0 ;;
    *) echo "bench_loudness: unknown argument $1" >&2; exit 2 ;;
  esac
done

here="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=bench/common.sh
. "$here/bench/common.sh"
find_fastencc bench_loudness "$build_dir"
need_tools bench_loudness ffmpeg sox soxi
[ -e "$music" ] || { echo "bench_loudness: no music at $music (apt-get install drascula-music, or --music)" >&2; exit 1; }

work="$(mktemp -d /tmp/bench-loudness.XXXXXX)"
trap 'rm -rf "$work"' EXIT
cd "$work"

echo "fastencc: $FASTENCC"
join_music "$music" music-all.wav
sox music-all.wav music.wav trim 0 240
# An album whose tracks differ in level, as masters do.
sox music-all.wav t1.wav trim 0 80 vol -3dB
sox music-all.wav t2.wav trim 80 80
sox music-all.wav t3.wav trim 160 80 vol -8dB
rm -f music-all.wav
echo "music: $(soxi -D music.wav | awk '{ printf "%.0f", $1 }') s, and an album of three 80 s tracks, from $(wc -l < list.txt) file(s) of $music"

profile=(-br 96000)
cat > one.sh <<SCRIPT
exec "$FASTENCC" music.wav one.mp3 ${profile[*]} >/dev/null
SCRIPT
cat > album.sh <<SCRIPT
printf '%s\n' t1 t2 t3 | xargs -P 2 -I{} "$FASTENCC" {}.wav {}.mp3 ${profile[*]} -1t >/dev/null
SCRIPT
cat > levelled.sh <<SCRIPT
set -e
printf '%s\n' t1 t2 t3 | xargs -P 2 -I{} sh -c '"$FASTENCC" -measure {}.wav ${profile[*]} -1t | grep ^loudness > {}.loud'
# The album's gain to -16 LUFS: its tracks' mean power over their length, held 2 dB under full
# scale at its loudest true peak.
gain=\$(cat t1.loud t2.loud t3.loud | awk 'BEGIN { tp = -1000 } { p += \$4 * 10 ^ (\$2 / 10); s += \$4; if (\$3 > tp) tp = \$3 }
  END { g = -16 - 10 * log(p / s) / log(10); if (g > -2 - tp) g = -2 - tp; printf "%.2f", g }')
printf '%s\n' t1 t2 t3 | xargs -P 2 -I{} "$FASTENCC" {}.wav {}-level.mp3 ${profile[*]} -1t -gain "\$gain" >/dev/null
SCRIPT

# Median seconds of one case over the rounds.
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
seconds() { # command...: wall time of one run
  local start end
  start=$(date +%s.%N)
  "$@" || { echo "bench_loudness: failed: $*" >&2; exit 1; }
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", b - a }'
}
cases=(one-plain one-measured album-plain album-measured album-levelled)
run_case() {
  case "$1" in
    one-plain) FASTENCC_MEASURE=0 seconds bash one.sh ;;
    one-measured) seconds bash one.sh ;;
    album-plain) FASTENCC_MEASURE=0 seconds bash album.sh ;;
    album-measured) seconds bash album.sh ;;
    album-levelled) seconds bash levelled.sh ;;
  esac
}
for c in "${cases[@]}"; do run_case "$c" > /dev/null; : > "$c.txt"; done # warm the caches
for ((i = 0; i < rounds; i++)); do
  for ((k = 0; k < ${#cases[@]}; k++)); do
    c="${cases[$(((k + i) % ${#cases[@]}))]}"
    run_case "$c" >> "$c.txt"
  done
done

printf '\n%-16s %9s %12s %7s %-4s\n' case seconds "x unmeasured" target ok
fails=0
line() { # case reference target
  local t r ok="" target="${3:--}"
  t="$(median < "$1.txt")"
  r="$(awk -v a="$t" -v b="$(median < "$2.txt")" 'BEGIN { printf "%.3f", a / b }')"
  if [ "$target" != - ]; then
    ok="$(awk -v r="$r" -v t="$target" 'BEGIN { print (r <= t) ? "yes" : "NO" }')"
    [ "$ok" = yes ] || fails=$((fails + 1))
  fi
  printf '%-16s %8.3fs %12s %7s %-4s\n' "$1" "$t" "$r" "$target" "$ok"
}
line one-plain one-plain
line one-measured one-plain 1.10
line album-plain album-plain
line album-measured album-plain 1.10
line album-levelled album-plain
echo
echo "levelled album (ffmpeg's meter on the outputs):"
for t in t1 t2 t3; do
  printf '  %s: %s\n' "$t" "$(ffmpeg -hide_banner -nostats -i "$t-level.mp3" -af ebur128=peak=true:framelog=verbose -f null - 2>&1 \
    | awk '/^ +I:/ { i = $2 } /^ +Peak:/ { p = $2 } END { printf "%s LUFS, true peak %s dBTP", i, p }')"
done
exit $((fails > 0))
