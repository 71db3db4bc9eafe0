#!/usr/bin/env bash
# CTest fixture around icecast_fixture.py for tests that cannot start it themselves (the
# Windows tests under Wine): `start STATE-DIR [FIXTURE-OPTIONS...]` runs it in the
# background and writes STATE-DIR/port once the mounts are on the air; `stop STATE-DIR`
# ends it.
set -euo pipefail
action=$1
state=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$state"
case $action in
start)
  rm -f "$state/port" "$state/ready.json"
  python3 "$here/icecast_fixture.py" --hold "$@" >"$state/ready.json" 2>/dev/null </dev/null &
  echo $! >"$state/pid"
  # Up to three minutes: Liquidsoap alone can take most of that on a busy machine.
  for _ in $(seq 1 1800); do
    if grep -q '"port"' "$state/ready.json" 2>/dev/null; then
      sed 's/.*"port": \([0-9]*\).*/\1/' "$state/ready.json" >"$state/port"
      exit 0
    fi
    grep -q '"error"' "$state/ready.json" 2>/dev/null && break
    sleep 0.1
  done
  cat "$state/ready.json" >&2
  exit 1
  ;;
stop)
  if [ -f "$state/pid" ]; then
    kill "$(cat "$state/pid")" 2>/dev/null || true
    rm -f "$state/pid" "$state/port"
  fi
  ;;
esac
