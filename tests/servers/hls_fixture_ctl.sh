#!/usr/bin/env bash
# CTest fixture around hls_test_server.py for the tests under Wine, which cannot start it
# themselves: `start STATE-DIR` runs it in the background and writes STATE-DIR/port once it
# serves; `stop STATE-DIR` ends it.
set -euo pipefail
action=$1
state=$2
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$state"
case $action in
start)
  rm -f "$state/port" "$state/ready.json"
  python3 "$here/hls_test_server.py" --hold >"$state/ready.json" 2>"$state/server.log" </dev/null &
  echo $! >"$state/pid"
  for _ in $(seq 1 300); do
    if grep -q '"port"' "$state/ready.json" 2>/dev/null; then
      sed 's/.*"port": \([0-9]*\).*/\1/' "$state/ready.json" >"$state/port"
      exit 0
    fi
    kill -0 "$(cat "$state/pid")" 2>/dev/null || break
    sleep 0.1
  done
  cat "$state/server.log" >&2
  exit 1
  ;;
stop)
  if [ -f "$state/pid" ]; then
    kill "$(cat "$state/pid")" 2>/dev/null || true
    rm -f "$state/pid" "$state/port"
  fi
  ;;
esac
