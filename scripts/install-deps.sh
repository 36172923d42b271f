#!/usr/bin/env bash
# Installs the Debian packages Snipwave builds, runs and tests with.
# Only what is missing is installed; works as root and through sudo.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libgl-dev
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev
  libsdl2-dev libjpeg62-turbo-dev libsimpleini-dev libmp3lame-dev libtag1-dev libcue-dev libebur128-dev
  libgtest-dev libgmock-dev
  ffmpeg sox xvfb xauth
  x11-utils desktop-file-utils appstream dpkg-dev file lintian
  lame vorbis-tools mpg123 flac opus-tools
  xdotool
  pulseaudio pulseaudio-utils
  clang libclang-rt-14-dev
)

missing=()
for pkg in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$pkg")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}" >&2
if [ "$(id -u)" -eq 0 ]; then
  SUDO=()
else
  SUDO=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -qq
"${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
