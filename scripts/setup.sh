#!/usr/bin/env bash
# Installs every Debian package qavz needs (idempotent, quiet) and builds it.
# Usage: scripts/setup.sh [build-dir] [cmake options...] [--target NAME...]
set -euo pipefail
cd "$(dirname "$0")/.."

# One package a line, with why it is needed.
packages=(
  build-essential        # compiler
  cmake                  # build
  ninja-build            # build
  pkg-config             # build
  git                    # checks
  clang-format           # formatting
  googletest             # tests
  libgtest-dev           # tests
  libbenchmark-dev       # benchmarks
  libsdl2-dev            # window
  libx11-dev             # tests
  xvfb                   # display
  xdotool                # typing
  xauth                  # display
  xfonts-base            # toolkits
  libopenal-dev          # sound
  libvorbis-dev          # ogg
  libfluidsynth-dev      # midi
  fluid-soundfont-gm     # soundfont
  libfreetype-dev        # text
  libfontconfig-dev      # fonts
  fonts-ipafont-gothic   # japanese
  fonts-ipafont-mincho   # japanese
  libavformat-dev        # media
  libavcodec-dev         # media
  libswscale-dev         # media
  libswresample-dev      # media
  libpcre2-dev           # benchmarks
  libpng-dev             # snapshots
  libpixman-1-dev        # benchmarks
  clang                  # fuzzing
  libclang-rt-14-dev     # fuzzing
  ffmpeg                 # tests
  ncompress              # benchmarks
  libasmjit-dev          # translator
  lua5.4                 # benchmarks
  tcc                    # benchmarks
  imagemagick            # interop
  python3-pil            # interop
  lintian                # packaging
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
