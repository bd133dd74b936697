#!/usr/bin/env bash
# Fails when a C++ file of the tree differs from what .clang-format makes of it.
# Script headers and script sources (include/, examples/, tests/scripts/) are
# the scripting language, not C++, and are left alone.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "check_format: clang-format not installed" >&2; exit 1; }
bad=0
while IFS= read -r f; do
  if ! clang-format --dry-run -Werror "$f" >/dev/null 2>&1; then
    echo "not formatted: $f (clang-format -i $f)"
    bad=1
  fi
done < <(git ls-files '*.cpp' '*.h' | grep -v -e '^include/' -e '^examples/' -e '^tests/scripts/')
exit $bad
