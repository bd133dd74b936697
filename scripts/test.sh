#!/usr/bin/env bash
# Sets everything up and runs every test: the release build, the same tests
# under AddressSanitizer and UndefinedBehaviorSanitizer, and the script-thread
# tests under ThreadSanitizer, then a short run of each fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh build
bash scripts/check_format.sh
bash scripts/check_layers.sh
bash scripts/setup.sh build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQAVZ_SANITIZE=ON -DQAVZ_BENCH=OFF

# Tests that need a real window run on a virtual display of their own.
if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null; then
  displayFile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$displayFile" >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill $xvfb 2>/dev/null || true; rm -f "$displayFile"' EXIT
  for _ in $(seq 100); do [ -s "$displayFile" ] && break; sleep 0.1; done
  export DISPLAY=":$(cat "$displayFile")"
fi

export ASAN_OPTIONS=detect_leaks=0
ctest --test-dir build --output-on-failure -j2
# The script tests and examples once more in the interpreter alone.
QAVZ_TRANSLATE=0 ctest --test-dir build --output-on-failure -j2 -L script
ctest --test-dir build-asan --output-on-failure -j2

# Script threads share plain flags on purpose; ThreadSanitizer checks how.
# The network thread shares the session's rings with the natives.
if [ -d tests/unit/threads ]; then
  bash scripts/setup.sh build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQAVZ_TSAN=ON -DQAVZ_BENCH=OFF \
    --target qavz_threads_tests --target qavz_net_tests
  QAVZ_HEADLESS=1 TSAN_OPTIONS=halt_on_error=1 build-tsan/tests/qavz_threads_tests
  QAVZ_HEADLESS=1 TSAN_OPTIONS=halt_on_error=1 build-tsan/tests/qavz_net_tests
fi

# A short run of every fuzz target (longer runs: scripts/fuzz.sh SECONDS).
bash scripts/fuzz.sh 15
