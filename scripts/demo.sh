#!/usr/bin/env bash
# Sets qavz up and runs the bundled demo title: in a window when there is a
# display, headless otherwise (the runtime then ends when the program does).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh build
exec build/qavz examples/demo
