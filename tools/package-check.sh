#!/usr/bin/env bash
# Builds the Debian package (from BUILD_DIR; a folder not yet configured is set up as a packager
# builds it, in Release and without the test suite), installs it on this machine as a user
# would (apt-get install ./sveltra_*.deb) and tries the installed programs: the desktop entry
# and AppStream data validate, --version and --help work without a display, the installed
# fastencc converts a real WAV file into an MP3 file, and a second start with a file hands it to
# a running copy and ends with 0. CI runs it after the tests; on a workstation it installs into
# /usr (remove with `apt-get remove sveltra`).
# BUILD_DIR picks the build folder (build/ by default).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${BUILD_DIR:-build}"
if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi

step() { printf '\n== package-check: %s\n' "$*"; }
fail() { printf 'package-check: FAILED: %s\n' "$*" >&2; exit 1; }

step "validate the desktop entry and the AppStream data"
desktop-file-validate assets/desktop/sveltra.desktop
appstreamcli validate --no-net assets/desktop/*.metainfo.xml

if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  step "configure $BUILD_DIR without the tests"
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSVELTRA_BUILD_TESTS=OFF
fi
step "build $BUILD_DIR"
cmake --build "$BUILD_DIR" -j "$(nproc)"

step "cpack -G DEB in $BUILD_DIR"
rm -f "$BUILD_DIR"/sveltra_*.deb
(cd "$BUILD_DIR" && cpack -G DEB)
deb=$(ls "$BUILD_DIR"/sveltra_*.deb)
dpkg-deb --info "$deb" | sed -n '/Depends/p'
# Read whole before searching: grep -q would stop reading early and break the pipe.
contents=$(dpkg-deb --contents "$deb")
grep -q '/usr/share/man/man1/sveltra.1.gz' <<<"$contents" || fail "no compressed man page in the package"
grep -q '/usr/share/doc/sveltra/copyright' <<<"$contents" || fail "no copyright file in the package"
# Debian wants a long description under the summary, in lines of at most 80 characters.
description=$(dpkg-deb -f "$deb" Description)
[ "$(wc -l <<<"$description")" -ge 3 ] || fail "the package has no long description"
awk 'length > 80 { exit 1 }' <<<"$description" || fail "a line of the package's description is longer than 80 characters"

step "apt-get install ./$deb"
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 -y -q install "./$deb"

step "the installed programs"
# No display: --version and --help must not need one.
sveltra_bin=$(command -v sveltra) || fail "sveltra is not on PATH"
[ "$sveltra_bin" = /usr/bin/sveltra ] || fail "sveltra is at $sveltra_bin, not /usr/bin/sveltra"
fastencc=/usr/libexec/sveltra/fastencc
[ -x "$fastencc" ] || fail "$fastencc is missing"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM sveltra --version
help=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM sveltra --help)
echo "${help%%$'\n'*}"
"$fastencc" --version
desktop-file-validate /usr/share/applications/sveltra.desktop
head -1 /usr/share/doc/sveltra/copyright | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
  || fail "the installed copyright file is not in Debian's machine-readable format"
grep -q '^Exec=sveltra %F$' /usr/share/applications/sveltra.desktop || fail "the installed desktop entry takes no files"
if command -v man >/dev/null && [ -e /usr/share/man/man1/sveltra.1.gz ]; then man -w sveltra; fi

work=$(mktemp -d)
first_pid=""
cleanup() {
  if [ -n "$first_pid" ]; then kill "$first_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

step "a real conversion with the installed fastencc"
sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 3 sine 440
"$fastencc" "$work/tone.wav" "$work/tone.mp3" -br 96000 >/dev/null
codec=$(ffprobe -v error -select_streams a:0 -show_entries stream=codec_name -of csv=p=0 "$work/tone.mp3")
[ "$codec" = mp3 ] || fail "fastencc wrote '$codec', not mp3"
duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$work/tone.mp3")
awk -v d="$duration" 'BEGIN { exit !(d > 2.8 && d < 3.3) }' || fail "the MP3 lasts $duration s, not 3"
echo "tone.mp3: $codec, $duration s, $(stat -c %s "$work/tone.mp3") bytes"

step "one running copy takes the files of a second start"
# Runtime and configuration folders of their own, so no copy of the user's is met.
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen
cp "$work/tone.wav" "$work/one.wav"
cp "$work/tone.wav" "$work/two.wav"
sveltra "$work/one.wav" "$work/two.wav" >"$work/first.log" 2>&1 &
first_pid=$!
for _ in $(seq 1 100); do
  [ -S "$work/runtime/sveltra-$(id -u).socket" ] && break
  sleep 0.1
done
[ -S "$work/runtime/sveltra-$(id -u).socket" ] || { cat "$work/first.log"; fail "the first copy does not listen"; }
timeout 60 sveltra "$work/tone.wav" || fail "the second start did not hand its file over"
kill "$first_pid"
wait "$first_pid" 2>/dev/null || true
first_pid=""
echo "package-check: all good"
