#!/usr/bin/env bash
# Installs every Debian package qavz needs (idempotent, quiet) and builds it.
# Usage: scripts/setup.sh [build-dir] [cmake options...] [--target NAME...]
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake ninja-build pkg-config git
  googletest libgtest-dev libbenchmark-dev
  libsdl2-dev libx11-dev xvfb xauth
  libopenal-dev libvorbis-dev libfluidsynth-dev fluid-soundfont-gm
  libfreetype-dev libfontconfig-dev fonts-ipafont-gothic
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev
  libpcre2-dev
  clang libclang-rt-14-dev clang-format
  ncompress lua5.4 tcc
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

build="${1:-build}"
shift || true
options=()
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --target) targets+=(--target "$2"); shift 2 ;;
    *) options+=("$1"); shift ;;
  esac
done
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release "${options[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)" "${targets[@]}"
