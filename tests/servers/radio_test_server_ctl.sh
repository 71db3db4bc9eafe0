#!/usr/bin/env bash
# CTest fixture around radio_test_server.py for the Windows tests under Wine: `start STATE-DIR`
# runs it in the background and writes STATE-DIR/port (its plain HTTP port) once it listens;
# `stop STATE-DIR` ends it. The server stops when its standard input closes: a fifo holds it
# open, and stop ends only the process holding it.
set -euo pipefail
action=$1
state=$2
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$state"
stop_server() {
  if [ -f "$state/holder.pid" ]; then
    kill "$(cat "$state/holder.pid")" 2>/dev/null || true
    rm -f "$state/holder.pid" "$state/port"
  fi
}
case $action in
start)
  stop_server
  rm -f "$state/ready.json" "$state/stdin"
  mkfifo "$state/stdin"
  python3 "$here/radio_test_server.py" <"$state/stdin" >"$state/ready.json" 2>/dev/null &
  sleep 86400 >"$state/stdin" 2>/dev/null </dev/null &
  echo $! >"$state/holder.pid"
  for _ in $(seq 1 300); do
    if grep -q '"http"' "$state/ready.json" 2>/dev/null; then
      sed 's/.*"http": \([0-9]*\).*/\1/' "$state/ready.json" >"$state/port"
      exit 0
    fi
    sleep 0.1
  done
  cat "$state/ready.json" >&2
  exit 1
  ;;
stop)
  stop_server
  ;;
esac
