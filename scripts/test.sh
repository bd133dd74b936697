#!/usr/bin/env bash
# Sets everything up and runs every test: the release build, then the same
# tests under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh build
bash scripts/setup.sh build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQAVZ_SANITIZE=ON -DQAVZ_BENCH=OFF

# Tests that need a real window run under a virtual display.
if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null; then
  Xvfb :97 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill $xvfb 2>/dev/null || true' EXIT
  export DISPLAY=:97
  sleep 1
fi

export ASAN_OPTIONS=detect_leaks=0
ctest --test-dir build --output-on-failure -j2
ctest --test-dir build-asan --output-on-failure -j2
