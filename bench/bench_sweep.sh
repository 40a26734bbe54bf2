#!/usr/bin/env bash
# Aliasing through each encoder's resampler: a stereo sine sweep lying wholly above the Nyquist
# frequency of a profile's output rate (from that frequency up to 22 kHz, at 44.1 kHz) goes
# through fastencc, the lame command (its own resampler, to the same rate) and ffmpeg's
# libmp3lame (ffmpeg's default resampler). A perfect resampler removes all of it; whatever
# comes out is energy folded back below the new Nyquist frequency. The table gives the RMS
# level of each decoded output relative to the sweep's own RMS level, in dB (lower is cleaner),
# and says whether fastencc is at or below ffmpeg at every profile.
#
# Run it alone on the machine, under the build lock:
#   bash bench/bench_sweep.sh [-b BUILD_DIR]
# FASTENCC=/path/to/fastencc overrides the program taken from BUILD_DIR/bin.
set -euo pipefail

build_dir=""
while [ $# -gt 0 ]; do
  case "$1" in
    -b) build_dir="$2"; shift 2 ;;
    -h|--help) sed -n '2,13p' "$0"; exit 0 ;;
    *) echo "bench_sweep: unknown argument $1" >&2; exit 2 ;;
  esac
done

here="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=bench/common.sh
. "$here/bench/common.sh"
find_fastencc bench_sweep "$build_dir"
need_tools bench_sweep lame ffmpeg ffprobe sox

work="$(mktemp -d /tmp/bench-sweep.XXXXXX)"
trap 'rm -rf "$work"' EXIT
cd "$work"

# Overall RMS level in dB of a file's decoded audio, both channels together.
rms_db() {
  ffmpeg -v error -y -i "$1" -c:a pcm_f32le decoded.wav
  sox decoded.wav -n stats 2>&1 | awk '/^RMS lev dB/ { print $4 }'
}

echo "fastencc: $FASTENCC"
printf '\n%-13s %9s %12s %10s %10s %10s %-4s\n' profile "rate Hz" "sweep Hz" fastencc lame ffmpeg ok
fails=0
for profile in "96000 2" "64000 2" "32000 1" "16000 1"; do
  set -- $profile; bps="$1"; ch="$2"; kbps=$((bps / 1000))
  if [ "$ch" = 1 ]; then name="$bps mono"; dm="-dm"; lame_mode="-m m"; else name="$bps stereo"; dm=""; lame_mode="-m j"; fi
  # The output rate fastencc (that is, LAME) picks for this profile from 44.1 kHz.
  sox -n -r 44100 -c 2 -b 16 probe.wav synth 1 sine 440 gain -6
  "$FASTENCC" probe.wav probe.mp3 $dm -br "$bps" >/dev/null
  rate="$(ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate -of csv=p=0 probe.mp3)"
  nyquist=$((rate / 2))
  # A 20-second sweep from a little above the new Nyquist frequency to 22 kHz, at -3 dBFS.
  low=$((nyquist + 100))
  sox -n -r 44100 -c 2 -b 24 sweep.wav synth 20 sine "$low-22000" gain -3
  ref="$(sox sweep.wav -n stats 2>&1 | awk '/^RMS lev dB/ { print $4 }')"

  "$FASTENCC" sweep.wav ours.mp3 $dm -br "$bps" >/dev/null
  lame --quiet $lame_mode -b "$kbps" --resample "$(awk -v r="$rate" 'BEGIN { print r / 1000 }')" sweep.wav lame.mp3
  ffmpeg -v error -y -i sweep.wav -c:a libmp3lame -b:a "${kbps}k" -ar "$rate" -ac "$ch" ffmpeg.mp3

  ours="$(awk -v a="$(rms_db ours.mp3)" -v r="$ref" 'BEGIN { printf "%.1f", a - r }')"
  theirs="$(awk -v a="$(rms_db lame.mp3)" -v r="$ref" 'BEGIN { printf "%.1f", a - r }')"
  ff="$(awk -v a="$(rms_db ffmpeg.mp3)" -v r="$ref" 'BEGIN { printf "%.1f", a - r }')"
  ok="$(awk -v a="$ours" -v b="$ff" 'BEGIN { print (a <= b) ? "yes" : "NO" }')"
  [ "$ok" = yes ] || fails=$((fails + 1))
  printf '%-13s %9s %12s %9s %9s %9s  %-4s\n' "$name" "$rate" "$low-22000" "$ours dB" "$theirs dB" "$ff dB" "$ok"
done

echo
if [ "$fails" -eq 0 ]; then echo "fastencc leaks least or as little as ffmpeg at every profile"; else echo "$fails profile(s) leak more than ffmpeg"; exit 1; fi
