#!/usr/bin/env bash
# Times fastencc against the lame command and ffmpeg's libmp3lame on the same inputs: a
# 4-minute stereo WAV, the same as a 192k MP3 and as a WMA, at the four profiles the program
# uses; then against the lame command on real recorded music (the game soundtrack that Debian's
# drascula-music package ships as Ogg Vorbis, decoded to one WAV first), where fastencc must
# take at most 0.60 of lame's time at every profile, and fastencc -1t at most 1.05 of the
# processor time of LAME alone on the same music already at the output's rate. Runs alternate
# between the two programs of a pair (hyperfine, one run each per round, order swapped every
# round) and the table gives
# median times, their ratio against the target, and each program's peak resident memory
# (/usr/bin/time). A one-hour WAV shows that memory does not grow with the input. Last,
# bench_sweep.sh measures aliasing per profile for the three encoders (--no-sweep leaves it out).
#
# Run it alone on the machine, under the build lock, so no build disturbs it:
#   bash bench/bench_encoder.sh [-r ROUNDS] [-b BUILD_DIR] [--no-long] [--music-only]
#                               [--music FILE_OR_FOLDER] [--no-sweep]
# FASTENCC=/path/to/fastencc overrides the program taken from BUILD_DIR/bin. --music takes other
# recordings (every Ogg, FLAC, MP3 or WAV file of a folder, joined; at most 5 minutes).
set -euo pipefail

rounds=5
build_dir=""
long=1
synthetic=1
sweep=1
music=/usr/share/scummvm/drascula/audio
while [ $# -gt 0 ]; do
  case "$1" in
    -r) rounds="$2"; shift 2 ;;
    -b) build_dir="$2"; shift 2 ;;
    --no-long) long=0; shift ;;
    --music-only) synthetic=0; long=0; shift ;;
    --music) music="$2"; shift 2 ;;
    --no-sweep) sweep=0; shift ;;
    -h|--help) sed -n '2,18p' "$0"; exit 0 ;;
    *) echo "bench_encoder: unknown argument $1" >&2; exit 2 ;;
  esac
done

here="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=bench/common.sh
. "$here/bench/common.sh"
find_fastencc bench_encoder "$build_dir"
need_tools bench_encoder lame ffmpeg ffprobe sox hyperfine /usr/bin/time

work="$(mktemp -d /tmp/bench-encoder.XXXXXX)"
trap 'rm -rf "$work"' EXIT
cd "$work"

[ -e "$music" ] || { echo "bench_encoder: no music at $music (apt-get install drascula-music, or --music)" >&2; exit 1; }

echo "fastencc: $FASTENCC"
echo "making inputs in $work ..."
# Real recordings, joined into one 16-bit stereo WAV of at most 5 minutes.
join_music "$music" music-all.wav
sox music-all.wav music.wav trim 0 300
rm -f music-all.wav
echo "music: $(soxi -D music.wav | awk '{ printf "%.0f", $1 }') s from $(wc -l < list.txt) file(s) of $music"
# Music-like material: two moving tones with tremolo over pink noise.
sox -n -r 44100 -c 2 -b 16 song.wav synth 240 sine 220-880 sine 330-990 pinknoise tremolo 3 40 vol 0.5
lame --quiet -b 192 song.wav song.mp3
ffmpeg -v error -y -i song.wav -c:a wmav2 -b:a 192k song.wma

# Median seconds of one command over the rounds, from the collected per-round CSV lines.
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
peak_mb() { /usr/bin/time -f '%M' -o mem.txt "$@" >/dev/null 2>&1; awk '{ printf "%.1f", $1 / 1024 }' mem.txt; }

# Times command pair A / B alternately; prints "medianA medianB".
time_pair() {
  local a="$1" b="$2" i
  : > a.txt; : > b.txt
  # Warms the caches, and stops the whole benchmark when either command fails.
  hyperfine -N --runs 1 --export-csv warm.csv "$a" "$b" >/dev/null 2>hyperfine.err \
    || { echo "bench_encoder: a command failed: $a | $b" >&2; cat hyperfine.err >&2; exit 1; }
  for ((i = 1; i <= rounds; i++)); do
    if ((i % 2)); then
      hyperfine -N --runs 1 --export-csv r.csv "$a" "$b" >/dev/null 2>&1
      awk -F, 'NR == 2 { print $2 > "a.tmp" } NR == 3 { print $2 > "b.tmp" }' r.csv
    else
      hyperfine -N --runs 1 --export-csv r.csv "$b" "$a" >/dev/null 2>&1
      awk -F, 'NR == 2 { print $2 > "b.tmp" } NR == 3 { print $2 > "a.tmp" }' r.csv
    fi
    cat a.tmp >> a.txt; cat b.tmp >> b.txt
  done
  echo "$(median < a.txt) $(median < b.txt)"
}

printf '\n%-13s %-5s %-8s %9s %9s %6s %7s %-4s %12s %9s\n' \
  profile input versus fastencc other ratio target ok "fastencc MB" "other MB"
fails=0
row() { # profile input versus target fastencc-command other-command
  local profile="$1" input="$2" versus="$3" target="$4" ours="$5" theirs="$6" t ta tb ratio ok ma mb
  t="$(time_pair "$ours" "$theirs")"; ta="${t% *}"; tb="${t#* }"
  ratio="$(awk -v a="$ta" -v b="$tb" 'BEGIN { printf "%.2f", a / b }')"
  ok="$(awk -v r="$ratio" -v t="$target" 'BEGIN { print (r <= t) ? "yes" : "NO" }')"
  ma="$(peak_mb $ours)"; mb="$(peak_mb $theirs)"
  awk -v m="$ma" 'BEGIN { exit !(m > 40) }' && ok="NO (memory)"
  [ "$ok" = yes ] || fails=$((fails + 1))
  printf '%-13s %-5s %-8s %8.3fs %8.3fs %6s %7s %-4s %12s %9s\n' \
    "$profile" "$input" "$versus" "$ta" "$tb" "$ratio" "$target" "$ok" "$ma" "$mb"
}

for profile in "96000 2" "64000 2" "32000 1" "16000 1"; do
  [ "$synthetic" = 1 ] || break
  set -- $profile; bps="$1"; ch="$2"; kbps=$((bps / 1000))
  if [ "$ch" = 1 ]; then name="$bps mono"; dm="-dm"; lame_mode="-m m"; else name="$bps stereo"; dm=""; lame_mode=""; fi
  # ffmpeg gets the sample rate fastencc (that is, LAME) picks for this profile.
  "$FASTENCC" song.wav probe.mp3 $dm -br "$bps" >/dev/null
  rate="$(ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate -of csv=p=0 probe.mp3)"
  row "$name" WAV lame 0.85 "$FASTENCC song.wav ours.mp3 $dm -br $bps" \
    "lame --quiet $lame_mode -b $kbps song.wav lame.mp3"
  for input in wav mp3 wma; do
    row "$name" "${input^^}" ffmpeg 1.00 "$FASTENCC song.$input ours.mp3 $dm -br $bps" \
      "ffmpeg -v error -y -i song.$input -c:a libmp3lame -b:a ${kbps}k -ar $rate -ac $ch ffmpeg.mp3"
  done
done

for profile in "96000 2" "64000 2" "32000 1" "16000 1"; do
  set -- $profile; bps="$1"; ch="$2"; kbps=$((bps / 1000))
  if [ "$ch" = 1 ]; then name="$bps mono"; dm="-dm"; lame_mode="-m m"; else name="$bps stereo"; dm=""; lame_mode=""; fi
  row "$name" music lame 0.60 "$FASTENCC music.wav ours.mp3 $dm -br $bps" \
    "lame --quiet $lame_mode -b $kbps music.wav lame.mp3"
done

# The floor of one thread: fastencc -1t's processor time against LAME alone on the same music
# already at the output's rate and channel count (nothing to decode, resample or measure),
# medians of the rounds, the two alternating.
cpu_seconds() { /usr/bin/time -f '%U %S' -o cpu.txt "$@" >/dev/null 2>&1; awk '{ print $1 + $2 }' cpu.txt; }
echo
printf '%-13s %-14s %9s %9s %6s %7s %-4s\n' profile "one thread" fastencc "bare lame" ratio target ok
for profile in "96000 2" "64000 2" "32000 1" "16000 1"; do
  set -- $profile; bps="$1"; ch="$2"; kbps=$((bps / 1000))
  if [ "$ch" = 1 ]; then name="$bps mono"; dm="-dm"; lame_mode="-m m"; else name="$bps stereo"; dm=""; lame_mode=""; fi
  "$FASTENCC" music.wav probe.mp3 $dm -br "$bps" >/dev/null
  rate="$(ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate -of csv=p=0 probe.mp3)"
  sox music.wav -c "$ch" -r "$rate" pcm.wav
  : > a.txt; : > b.txt
  for ((i = 1; i <= rounds; i++)); do
    cpu_seconds "$FASTENCC" music.wav ours.mp3 $dm -br "$bps" -1t >> a.txt
    cpu_seconds lame --quiet $lame_mode -b "$kbps" pcm.wav lame.mp3 >> b.txt
  done
  ta="$(median < a.txt)"; tb="$(median < b.txt)"
  ratio="$(awk -v a="$ta" -v b="$tb" 'BEGIN { printf "%.2f", a / b }')"
  ok="$(awk -v r="$ratio" 'BEGIN { print (r <= 1.05) ? "yes" : "NO" }')"
  [ "$ok" = yes ] || fails=$((fails + 1))
  printf '%-13s %-14s %8.3fs %8.3fs %6s %7s %-4s\n' "$name" "-1t, CPU" "$ta" "$tb" "$ratio" 1.05 "$ok"
done

if [ "$long" = 1 ]; then
  echo
  echo "one-hour input (15 x the 4-minute WAV), 96000 stereo:"
  sox song.wav song.wav song.wav song.wav song.wav song.wav song.wav song.wav \
      song.wav song.wav song.wav song.wav song.wav song.wav song.wav long.wav
  /usr/bin/time -f '%e %M' -o mem.txt "$FASTENCC" long.wav long.mp3 -br 96000 >/dev/null
  read -r seconds kb < mem.txt
  short_kb="$(/usr/bin/time -f '%M' -o mem.txt "$FASTENCC" song.wav ours.mp3 -br 96000 >/dev/null; cat mem.txt)"
  printf '  %.1f s, peak %.1f MB (4-minute input: %.1f MB; target 40 MB)\n' \
    "$seconds" "$(awk -v k="$kb" 'BEGIN { print k / 1024 }')" "$(awk -v k="$short_kb" 'BEGIN { print k / 1024 }')"
  awk -v k="$kb" 'BEGIN { exit !(k / 1024 > 40) }' && fails=$((fails + 1))
fi

if [ "$sweep" = 1 ]; then
  echo
  echo "aliasing (bench_sweep.sh):"
  FASTENCC="$FASTENCC" bash "$here/bench/bench_sweep.sh" | sed -n '/^profile/,$p' || fails=$((fails + 1))
fi

echo
if [ "$fails" -eq 0 ]; then echo "all targets met"; else echo "$fails target(s) missed"; exit 1; fi
