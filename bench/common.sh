# Shared by the benchmark scripts (sourced, not run). Sets FASTENCC to the encoder of the build
# folder given with -b, else of build/, unless FASTENCC is set already; checks that the tools a
# script names are installed. Both end the calling script with a reason when something is missing.
#   find_fastencc NAME BUILD_DIR
#   need_tools NAME TOOL...
#   join_music MUSIC OUT.wav   (in the current folder; also leaves list.txt, the files joined)

find_fastencc() {
  local name="$1" build_dir="$2" here candidate
  here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
  if [ -z "${FASTENCC:-}" ]; then
    for candidate in "$build_dir" "$here/build"; do
      if [ -n "$candidate" ] && [ -x "$candidate/bin/fastencc" ]; then FASTENCC="$candidate/bin/fastencc"; break; fi
    done
  fi
  [ -x "${FASTENCC:-}" ] || { echo "$name: fastencc not found; build it or set FASTENCC" >&2; exit 1; }
  # The scripts work in a folder of their own: a relative path would no longer lead here.
  FASTENCC="$(realpath "$FASTENCC")"
}

need_tools() {
  local name="$1" tool
  shift
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "$name: $tool is missing (tools/install-deps.sh --test)" >&2; exit 1; }
  done
}

# Real recordings (MUSIC: one file, or a folder of OGG, FLAC, MP3 or WAV files) decoded and joined
# into one 16-bit 44.1 kHz stereo WAV, in name order.
join_music() {
  local music="$1" out="$2" n=0 f
  if [ -d "$music" ]; then
    find "$music" -maxdepth 1 -type f \( -iname '*.ogg' -o -iname '*.flac' -o -iname '*.mp3' -o -iname '*.wav' \) | sort > list.txt
  else
    echo "$music" > list.txt
  fi
  while read -r f; do
    n=$((n + 1))
    ffmpeg -nostdin -v error -y -i "$f" -map 0:a:0 -ar 44100 -ac 2 -c:a pcm_s16le "part$n.wav"
  done < list.txt
  sox part*.wav "$out"
  rm -f part*.wav
}
