#!/usr/bin/env bash
# Two copies of the demo title play together over TCP on the loopback,
# headless: one serves, one joins, each for 60 frames of the game. Each copy
# is a title folder of its own in the scratch folder (its DEMO.cfg with
# "Port" and "Join" set, its DEMO folder a link to the demo's). Both must
# end normally with the other's inputs: what one sent the other got, in
# step, and both must end on the same game.
# Usage: run_pair.sh QAVZ SCRATCH DEMO_DIR
set -uo pipefail
qavz="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
mkdir -p "$2"
scratch="$(cd "$2" && pwd)"
demo="$(cd "$3" && pwd)"
export QAVZ_HEADLESS=1

# title ROLE PORT JOIN: the title folder $scratch/ROLE.
title() {
  mkdir -p "$scratch/$1"
  ln -s "$demo/DEMO" "$scratch/$1/DEMO"
  sed -e 's/^Frames=.*/Frames=60/' -e "s/^Port=.*/Port=$2/" -e "s/^Join=.*/Join=$3/" \
    "$demo/DEMO.cfg" >"$scratch/$1/DEMO.cfg"
}

# Runs both copies on one port; 1 when that port was taken.
run_once() {
  local port=$1 server waits
  rm -rf "$scratch" && mkdir -p "$scratch"
  title serve "$port" ""
  title join "$port" 127.0.0.1
  cd "$scratch"
  timeout -k 5 90 "$qavz" serve >serve.out 2>serve.err &
  server=$!
  # The joining copy starts once the other serves (at most 30 s).
  for ((waits = 0; waits < 300; waits++)); do
    grep -q "^two players: \(serving\|cannot serve\)" serve.out && break
    kill -0 $server 2>/dev/null || break
    sleep 0.1
  done
  if grep -q "^two players: cannot serve" serve.out; then
    kill $server 2>/dev/null
    wait $server
    return 1
  fi
  timeout -k 5 90 "$qavz" join >join.out 2>join.err
  joinStatus=$?
  wait $server
  serveStatus=$?
  return 0
}

for attempt in 1 2 3 4 5; do
  # Someone else had the port: try another.
  run_once $((20000 + RANDOM % 40000)) && break
done

failed=0
fail() {
  echo "$1"
  failed=1
}
# line COPY PATTERN: the copy's one log line that matches.
line() { grep -m1 "$2" "$1.out"; }

for copy in serve join; do
  status=${copy}Status
  [ "${!status:-1}" -eq 0 ] || fail "$copy: exit status ${!status:-none}"
  line $copy "^qavz demo: done$" >/dev/null || fail "$copy: did not finish"
  line $copy "^two players: the other copy is here$" >/dev/null || fail "$copy: did not meet the other"
  ! line $copy "has gone" >/dev/null || fail "$copy: lost the other copy"
  line $copy "^two players: sent [1-9][0-9]* inputs .*, 0 out of step$" >/dev/null ||
    fail "$copy: sent nothing or drifted: $(line $copy '^two players: sent')"
done

# "sent N inputs (sum S), got M (sum T)": what one sent the other got.
sent() { line "$1" "^two players: sent" | sed -E 's/^two players: sent ([0-9]+) inputs \(sum (-?[0-9]+)\).*/\1 \2/'; }
got() { line "$1" "^two players: sent" | sed -E 's/.*, got ([0-9]+) \(sum (-?[0-9]+)\).*/\1 \2/'; }
[ -n "$(sent serve)" ] && [ "$(sent serve)" = "$(got join)" ] ||
  fail "serve sent '$(sent serve)', join got '$(got join)'"
[ -n "$(sent join)" ] && [ "$(sent join)" = "$(got serve)" ] ||
  fail "join sent '$(sent join)', serve got '$(got serve)'"
for what in "^two players: scores" "^game: "; do
  [ -n "$(line serve "$what")" ] && [ "$(line serve "$what")" = "$(line join "$what")" ] ||
    fail "the copies ended apart: '$(line serve "$what")' and '$(line join "$what")'"
done

if [ $failed -ne 0 ]; then
  for copy in serve join; do
    echo "--- $copy output"
    cat "$scratch/$copy.out"
    echo "--- $copy errors"
    cat "$scratch/$copy.err"
  done
fi
exit $failed
