#!/usr/bin/env bash
# Runs the two-run session test: server.c and client.c as two runs of the
# runtime on one port of the loopback, each in a scratch folder with "Net"
# on. Each run's output must be its summary line with no failure, and the
# client must have reported the port in use.
# Usage: run_pair.sh QAVZ SCRATCH NATIVES_H
set -uo pipefail
qavz="$1"
scratch="$2"
natives="$3"
here="$(cd "$(dirname "$0")" && pwd)"

run_once() {
  local port=$1
  rm -rf "$scratch" && mkdir -p "$scratch/.home"
  cp "$here/server.c" "$here/client.c" "$here/../natives/check.h" "$natives" "$scratch/"
  echo "int port = $port;" >"$scratch/port.h"
  printf '[General]\nNet=1\n' >"$scratch/net.cfg"
  cd "$scratch"
  HOME="$scratch/.home" "$qavz" run --headless --timeout 30000 --config net.cfg server.c \
    >server.out 2>server.err &
  local server=$!
  HOME="$scratch/.home" "$qavz" run --headless --timeout 30000 --config net.cfg client.c \
    >client.out 2>client.err
  clientStatus=$?
  wait $server
  serverStatus=$?
}

for attempt in 1 2 3 4 5; do
  run_once $((20000 + RANDOM % 40000))
  # Someone else had the port: try another.
  grep -q WSAEADDRINUSE server.err || break
done

failed=0
check() {
  local name=$1 status=$2 want=$3
  if [ "$status" -ne 0 ] || [ "$(cat "$name.out")" != "$want" ]; then
    echo "$name: status $status, output:"
    cat "$name.out"
    echo "--- stderr"
    cat "$name.err"
    failed=1
  fi
}
check server "$serverStatus" "net_server: 21 checks, 0 failed"
check client "$clientStatus" "net_client: 14 checks, 0 failed"
if ! grep -qx "WSAEADDRINUSE アドレスがすでに使用中です" client.err; then
  echo "client: no port-in-use message"
  cat client.err
  failed=1
fi
exit $failed
