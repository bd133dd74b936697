#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer and UBSan) and runs each
# for a fixed time. Usage: scripts/fuzz.sh [seconds per target] [target...]
# A finding leaves its input as crash-*/timeout-* in build-fuzz/findings.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-20}"
shift || true
CC=clang CXX=clang++ bash scripts/setup.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQAVZ_FUZZ=ON -DQAVZ_TESTS=OFF -DQAVZ_BENCH=OFF

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for src in tests/fuzz/fuzz_*.cpp; do targets+=("$(basename "$src" .cpp)"); done
fi
# Absolute paths: some targets change the current directory.
out="$PWD/build-fuzz"
mkdir -p "$out/findings"
for target in "${targets[@]}"; do
  corpus="$out/corpus/$target"
  mkdir -p "$corpus"
  seeds=()
  [ "$target" = fuzz_compiler ] && seeds+=("$PWD/tests/scripts")
  [ -d "tests/fuzz/seeds/$target" ] && seeds+=("$PWD/tests/fuzz/seeds/$target")
  echo "== $target: ${seconds}s"
  status=0
  ASAN_OPTIONS=detect_leaks=0 "$out/tests/fuzz/$target" -max_total_time="$seconds" \
    -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$out/findings/" \
    "$corpus" "${seeds[@]}" >"$out/$target.log" 2>&1 || status=$?
  grep -E '^stat::number_of_executed_units' "$out/$target.log" || true
  if [ "$status" -ne 0 ]; then
    tail -n 30 "$out/$target.log"
    echo "$target failed"
    exit 1
  fi
done
