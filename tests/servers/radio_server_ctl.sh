#!/usr/bin/env bash
# CTest fixture around radio_test_server.py for tests that cannot start it themselves (the
# Windows tests under Wine): `start STATE-DIR` runs it in the background and leaves its JSON
# line (ports) in STATE-DIR/ports.json; `stop STATE-DIR` ends it. The server ends when its
# standard input closes, so a holder process keeps that open until the stop.
set -euo pipefail
action=$1
state=$2
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$state"
stop() {
  for name in holder pid; do
    if [ -f "$state/$name" ]; then
      kill "$(cat "$state/$name")" 2>/dev/null || true
      rm -f "$state/$name"
    fi
  done
  rm -f "$state/ports.json" "$state/input"
}
case $action in
start)
  stop
  mkfifo "$state/input"
  python3 "$here/radio_test_server.py" <"$state/input" >"$state/ports.json" 2>/dev/null &
  echo $! >"$state/pid"
  sleep infinity >"$state/input" 2>/dev/null </dev/null &
  echo $! >"$state/holder"
  for _ in $(seq 1 100); do
    grep -q '"http"' "$state/ports.json" 2>/dev/null && exit 0
    sleep 0.1
  done
  echo "the radio test server did not start" >&2
  stop
  exit 1
  ;;
stop)
  stop
  ;;
esac
