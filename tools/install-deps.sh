#!/usr/bin/env bash
# Installs the Debian packages Sveltra needs. Safe to run again; works as root or through sudo.
#
#   bash tools/install-deps.sh          # build, run and package Sveltra
#   bash tools/install-deps.sh --test   # also what the tests, the benchmarks and the format
#                                       # check use (tools/test.sh asks for this)
set -euo pipefail

WITH_TEST=0
for arg in "$@"; do
  case "$arg" in
    --test) WITH_TEST=1 ;;
    -h|--help) sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "install-deps: unknown option $arg (--test, --help)" >&2; exit 2 ;;
  esac
done

if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi
APT="$SUDO env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 -y -q"

PACKAGES=(
  # build
  build-essential cmake ninja-build pkg-config
  # the desktop toolkit and its own translations (standard buttons, file dialogs)
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev
  # lupdate and lrelease: the English translation is compiled from translations/sveltra_en.ts
  qt6-l10n-tools
  # media libraries
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev libswscale-dev libjpeg62-turbo-dev
  libmp3lame-dev libtag1-dev libebur128-dev
  libcdio-dev libcdio-paranoia-dev libdiscid-dev
  # Chinese text on screen
  fonts-wqy-microhei
  # the Debian package (cpack -G DEB reads the dependencies with dpkg-shlibdeps, which needs
  # file) and the checks of its desktop entry and AppStream data
  dpkg-dev file desktop-file-utils appstream
)
TEST_PACKAGES=(
  # audio made and checked by the tests (mpg123: a second decoder's reading of the outputs'
  # length), a display for trying the windows
  ffmpeg sox libsox-fmt-all mpg123 xvfb xauth dbus
  # tagged sources made and read back by the tag tests; progressive JPEG covers (imagemagick)
  python3-mutagen
  # a FAT32 card image a synced player is copied onto and back from (no mount, no root)
  dosfstools mtools
  # benchmarks
  lame hyperfine time imagemagick drascula-music
  # the code's formatter, man pages read back by the package check
  clang-format man-db
)
if [ "$WITH_TEST" = 1 ]; then PACKAGES+=("${TEST_PACKAGES[@]}"); fi

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  $APT update
  $APT install --no-install-recommends "${missing[@]}"
fi
echo "install-deps: all packages present$([ "$WITH_TEST" = 1 ] && echo ' (with the test tools)')"
