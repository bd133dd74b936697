#!/usr/bin/env bash
# Sets qavz up and runs the bundled demo title: in a window when there is a
# display, headless otherwise (the runtime then ends when the program does).
#   scripts/demo.sh               one player
#   scripts/demo.sh serve [PORT]  player 1 of two: serves on PORT (4700)
#   scripts/demo.sh join [PORT]   player 2: joins the copy serving on
#                                 127.0.0.1 PORT
#   scripts/demo.sh pair [PORT]   both copies at once
# A copy for two players runs from a title folder build/demo-serve or
# build/demo-join: the demo's DEMO.cfg with "Port" and "Join" set in [Demo],
# and a link to its DEMO folder.
set -euo pipefail
cd "$(dirname "$0")/.."

role=${1:-}
port=${2:-4700}
if [[ ! $role =~ ^(|serve|join|pair)$ || ! $port =~ ^[0-9]+$ ]]; then
  echo "usage: scripts/demo.sh [serve|join|pair [PORT]]" >&2
  exit 2
fi

bash scripts/setup.sh build --target qavz
[ -z "$role" ] && exec build/qavz examples/demo

# title ROLE JOIN: makes the title folder build/demo-ROLE.
title() {
  rm -rf "build/demo-$1" && mkdir -p "build/demo-$1"
  ln -s "$PWD/examples/demo/DEMO" "build/demo-$1/DEMO"
  sed -e "s/^Port=.*/Port=$port/" -e "s/^Join=.*/Join=$2/" examples/demo/DEMO.cfg >"build/demo-$1/DEMO.cfg"
}
case $role in
  serve) title serve "" && exec build/qavz build/demo-serve ;;
  join) title join 127.0.0.1 && exec build/qavz build/demo-join ;;
esac
title serve ""
title join 127.0.0.1
build/qavz build/demo-serve &
# The joining copy starts once the other listens (at most 30 s).
hexPort=$(printf %04X "$port")
for ((i = 0; i < 300; i++)); do
  grep -Eqs ":$hexPort [0-9A-F]+:0000 0A" /proc/net/tcp /proc/net/tcp6 && break
  sleep 0.1
done
build/qavz build/demo-join
wait
