#!/usr/bin/env bash
# Feeds fastencc hundreds of damaged audio files and counts how it ends. The inputs are made
# here with sox and ffmpeg (16-bit, 32- and 64-bit float WAV, WAVs of 9, 12 and 32 channels, MP3,
# MP3s of files joined end to end with their tags (ID3v2, ID3v1, Lyrics3v2, APE with a footer
# alone), WMA 1 and 2, FLAC), then damaged
# with a fixed seed: bits flipped, header words replaced, the file cut short, random
# bytes inserted, runs overwritten, chunks repeated. Every run uses one of the program's
# profiles, on one or two threads. fastencc must end with one of its own exit statuses, never
# by a signal or the time limit, and leave neither a temporary file nor a partial output; an
# output it reports as complete must read back as MP3.
#
#   bash bench/fuzz_encoder.sh [-n RUNS] [-s SEED] [-b BUILD_DIR] [-k DIR]
#
# -k keeps every input that went wrong in DIR, with the command that failed. FASTENCC overrides
# the program taken from BUILD_DIR/bin; a sanitizer build reports its findings as aborts.
# Exit status 0 when every run ended well.
set -euo pipefail

runs=400
seed=1
build_dir=""
keep=""
while [ $# -gt 0 ]; do
  case "$1" in
    -n) runs="$2"; shift 2 ;;
    -s) seed="$2"; shift 2 ;;
    -b) build_dir="$2"; shift 2 ;;
    -k) keep="$2"; shift 2 ;;
    -h|--help) sed -n '2,15p' "$0"; exit 0 ;;
    *) echo "fuzz_encoder: unknown argument $1" >&2; exit 2 ;;
  esac
done

here="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=bench/common.sh
. "$here/bench/common.sh"
find_fastencc fuzz_encoder "$build_dir"
need_tools fuzz_encoder sox ffmpeg ffprobe perl timeout
if [ -n "$keep" ]; then mkdir -p "$keep"; keep="$(cd "$keep" && pwd)"; fi

work="$(mktemp -d /tmp/fuzz-encoder.XXXXXX)"
trap 'rm -rf "$work"' EXIT
cd "$work"
ulimit -c 0
# Sanitizer findings end the program by SIGABRT, so they count as signal exits.
export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:abort_on_error=1:print_stacktrace=1}"

echo "fastencc: $FASTENCC"
echo "making inputs in $work ..."
sox -n -r 44100 -c 2 -b 16 int16.wav synth 3 sine 200-4000 sine 700 gain -3
sox int16.wav -b 32 -e floating-point float32.wav
sox int16.wav -b 64 -e floating-point float64.wav
sox int16.wav -r 22050 -c 1 mono22.wav
ffmpeg -v error -y -i int16.wav -c:a libmp3lame -b:a 128k song.mp3
ffmpeg -v error -y -i int16.wav -c:a wmav1 -b:a 128k song1.wma
ffmpeg -v error -y -i int16.wav -c:a wmav2 -b:a 128k song2.wma
sox int16.wav song.flac
sox -n -r 44100 -c 9 channels9.wav synth 2 sine 300 sine 500 gain -9
sox -n -r 48000 -c 12 channels12.wav synth 2 sine 400 pinknoise gain -9
sox -n -r 32000 -c 32 -b 24 channels32.wav synth 1 sine 600 gain -9
# An audiobook: parts with their own ID3v2 tags and info frames, an ID3v1 tag after one.
ffmpeg -v error -y -i int16.wav -c:a libmp3lame -b:a 48k -metadata title=One part1.mp3
ffmpeg -v error -y -i float32.wav -c:a libmp3lame -b:a 48k -metadata title=Two -write_id3v1 1 part2.mp3
cat part1.mp3 part2.mp3 part1.mp3 > joined.mp3
# Parts without ID3v2 that end in Lyrics3v2 and ID3v1 tags, and parts that end in APE tags with a
# footer alone (APEv2 without header, APEv1), each joined end to end: the tags' own size fields
# are what the frame walk trusts.
ffmpeg -v error -y -i int16.wav -c:a libmp3lame -b:a 64k -id3v2_version 0 bare.mp3
lyrics3() {
  local body="LYRICSBEGININD0000210LYR00020[00:01]Chapter words"
  printf '%s%06dLYRICS200' "$body" "${#body}"
  printf 'TAG%-125s' "Chapter"
}
ape_footer_only() { # VERSION: 1000 or 2000
  perl -e 'my $item = pack("VV", 5, 0) . "Title\0Words";
    print $item, "APETAGEX", pack("VVVV", $ARGV[0], length($item) + 32, 1, 0), "\0" x 8;' "$1"
}
{ cat bare.mp3; lyrics3; cat bare.mp3; lyrics3; cat bare.mp3; lyrics3; } > lyrics3.mp3
{ cat bare.mp3; ape_footer_only 2000; cat bare.mp3; ape_footer_only 1000; } > ape.mp3
inputs=(int16.wav float32.wav float64.wav mono22.wav song.mp3 song1.wma song2.wma song.flac
  channels9.wav channels12.wav channels32.wav joined.mp3 lyrics3.mp3 ape.mp3)
profiles=("" "-1t" "-dm -br 32000" "-dm -br 16000 -1t" "-br 64000 -1t" "-br 320000")

# mutate SEED IN OUT: one to three damages of IN, chosen by SEED, written to OUT.
mutate() {
  perl -e '
    my ($seed, $in, $out) = @ARGV;
    srand($seed);
    open(my $f, "<:raw", $in) or die; local $/; my $d = <$f>; close $f;
    sub pos_in { my ($len) = @_; return int(rand() < 0.5 ? rand($len < 4096 ? $len : 4096) : rand($len)); }
    sub noise { my ($n) = @_; return join("", map { chr(int(rand(256))) } 1 .. $n); }
    for (1 .. 1 + int(rand(3))) {
      my $len = length($d);
      last if $len == 0;
      my $kind = int(rand(6));
      if ($kind == 0) {            # bits flipped, most often in the headers
        for (1 .. 1 + int(rand(32))) {
          my $p = pos_in($len);
          substr($d, $p, 1) = chr(ord(substr($d, $p, 1)) ^ (1 << int(rand(8))));
        }
      } elsif ($kind == 1) {       # a header word replaced by an extreme or random value
        my $p = int(rand($len < 128 ? $len : 128));
        my @words = (0, 1, 0x7fffffff, 0x80000000, 0xffffffff, 0xffff, int(rand(2**32)));
        substr($d, $p, 4) = pack("V", $words[int(rand(@words))]) if $p + 4 <= $len;
      } elsif ($kind == 2) {       # cut short
        $d = substr($d, 0, int(rand($len)));
      } elsif ($kind == 3) {       # random bytes inserted
        substr($d, pos_in($len), 0) = noise(1 + int(rand(4096)));
      } elsif ($kind == 4) {       # a run overwritten with noise or one repeated byte
        my $n = 1 + int(rand(512));
        my $p = pos_in($len);
        my @fill = ("\x00", "\xff", "\x7f");
        my $run = rand() < 0.5 ? noise($n) : $fill[int(rand(@fill))] x $n;
        substr($d, $p, $n) = $run;
      } else {                     # a chunk repeated somewhere else
        my $from = pos_in($len);
        my $n = 1 + int(rand(8192));
        substr($d, pos_in($len), 0) = substr($d, $from, $n);
      }
    }
    open(my $o, ">:raw", $out) or die; print $o $d; close $o;
  ' "$1" "$2" "$3"
}

declare -A exits=()
signal_exits=0
timeouts=0
leftovers=0
partials=0
bad_outputs=0
failures=0
mkdir out
start=$(date +%s)
for ((i = 1; i <= runs; i++)); do
  run_seed=$((seed * 1000003 + i))
  source_file=${inputs[$((run_seed % ${#inputs[@]}))]}
  profile=${profiles[$(((run_seed / ${#inputs[@]}) % ${#profiles[@]}))]}
  input="damaged-$i.${source_file##*.}"
  mutate "$run_seed" "$source_file" "$input"
  target="out/x.mp3"
  rm -rf out; mkdir out
  # In a subshell of its own, so the shell's note on a signal goes to err.txt as well.
  # shellcheck disable=SC2086 # the profile is a list of options
  set +e
  (timeout -k 5 60 "$FASTENCC" "$input" "$target" $profile >/dev/null; exit $?) 2>err.txt
  rc=$?
  set -e

  problem=""
  if [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then
    timeouts=$((timeouts + 1)); problem="time limit"
  elif [ "$rc" -gt 128 ]; then
    signal_exits=$((signal_exits + 1)); problem="signal $(kill -l $((rc - 128)) 2>/dev/null || echo $((rc - 128)))"
  else
    exits[$rc]=$(( ${exits[$rc]:-0} + 1 ))
    [ "$rc" -le 5 ] || problem="exit status $rc"
  fi
  if compgen -G "out/.fastencc-*.part" >/dev/null; then
    leftovers=$((leftovers + 1)); problem="${problem:+$problem, }temporary file left"
  fi
  if [ "$rc" -ne 0 ] && [ -e "$target" ]; then
    partials=$((partials + 1)); problem="${problem:+$problem, }output left after failure"
  elif [ "$rc" -eq 0 ] && [ "$(ffprobe -v error -select_streams a:0 -show_entries stream=codec_name -of csv=p=0 "$target" 2>/dev/null)" != mp3 ]; then
    bad_outputs=$((bad_outputs + 1)); problem="${problem:+$problem, }output is not MP3"
  fi
  if [ -n "$problem" ]; then
    failures=$((failures + 1))
    echo "run $i ($source_file, seed $run_seed, options '$profile'): $problem: $(head -n 1 err.txt | cut -c 1-300)"
    if [ -n "$keep" ]; then
      cp "$input" "$keep/"
      echo "fastencc $input x.mp3 $profile   # $problem" >> "$keep/failed.txt"
    fi
  fi
  rm -f "$input"
  if ((i % 50 == 0)); then echo "... $i runs, $failures went wrong"; fi
done

echo
echo "runs: $runs (seed $seed, $(( $(date +%s) - start )) s)"
for code in $(printf '%s\n' "${!exits[@]}" | sort -n); do
  echo "exit $code: ${exits[$code]}"
done
echo "signal exits: $signal_exits"
echo "time limit reached: $timeouts"
echo "temporary files left: $leftovers"
echo "outputs left after a failure: $partials"
echo "outputs reported complete but not MP3: $bad_outputs"
[ "$failures" -eq 0 ]
