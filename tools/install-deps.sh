#!/usr/bin/env bash
# Installs every Debian package Sveltra needs to build, run, test and benchmark.
# Safe to run again; works as root or through sudo.
set -euo pipefail

if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
APT="$SUDO env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 -y -q"

PACKAGES=(
  # build
  build-essential cmake ninja-build pkg-config
  # the desktop toolkit and its Chinese translations
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev
  # media libraries
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
  libmp3lame-dev libtag1-dev
  libcdio-dev libcdio-paranoia-dev
  # Chinese text on screen
  fonts-wqy-microhei
  # tools used by tests and benchmarks
  ffmpeg sox libsox-fmt-all xvfb xauth lame hyperfine time imagemagick
  # the code's formatter
  clang-format
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  $APT update
  $APT install --no-install-recommends "${missing[@]}"
fi
echo "install-deps: all packages present"
