#!/usr/bin/env bash
# Installs the Debian packages Tunora needs to build, run and test, when any is missing.
# Idempotent: does nothing (and needs no network) when everything is there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools
  libgif-dev libmpg123-dev libmp3lame-dev libvorbis-dev libtwolame-dev libpulse-dev
  libgtest-dev libgmock-dev libbenchmark-dev clang-format clang libclang-rt-dev
  xvfb xauth mpg123 desktop-file-utils systemd
  dablin xdotool xclip pulseaudio pulseaudio-utils
)
if [ "${1:-}" = "--all" ]; then
  # For looking at the program as a user does: screenshots, players, the spoken clips.
  packages+=(imagemagick x11-apps mpg123 ffmpeg espeak-ng lame)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
