#!/usr/bin/env bash
# CTest fixture around one of the Python test servers, for the tests under Wine (which cannot
# start it themselves):
#   start STATE-DIR SERVER.py [ARGUMENTS...]  runs it in the background; once it has printed its
#                                              JSON line, leaves that in STATE-DIR/ready.json and
#                                              its plain HTTP port in STATE-DIR/port
#   stop STATE-DIR                            ends it
# The servers stop when their standard input closes: a holder process keeps a fifo open until
# the stop, so a crashed run leaves no server behind once the holder goes.
set -euo pipefail
action=$1
state=$2
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$state"
stop_server() {
  # Closing its input lets the server clean up; it is ended only if it has not gone in 5 s.
  if [ -f "$state/holder.pid" ]; then
    kill "$(cat "$state/holder.pid")" 2>/dev/null || true
    rm -f "$state/holder.pid"
  fi
  if [ -f "$state/server.pid" ]; then
    local server
    server=$(cat "$state/server.pid")
    for _ in $(seq 1 50); do
      kill -0 "$server" 2>/dev/null || break
      sleep 0.1
    done
    kill "$server" 2>/dev/null || true
    rm -f "$state/server.pid"
  fi
  rm -f "$state/port" "$state/ready.json" "$state/stdin"
}
case $action in
start)
  script=$3
  shift 3
  stop_server
  mkfifo "$state/stdin"
  python3 "$here/$script" "$@" <"$state/stdin" >"$state/ready.json" 2>"$state/server.log" &
  echo $! >"$state/server.pid"
  sleep 86400 >"$state/stdin" 2>/dev/null </dev/null &
  echo $! >"$state/holder.pid"
  for _ in $(seq 1 300); do
    if grep -qE '"(http|port)"' "$state/ready.json" 2>/dev/null; then
      sed -E 's/.*"(http|port)": ([0-9]+).*/\2/' "$state/ready.json" >"$state/port"
      exit 0
    fi
    kill -0 "$(cat "$state/server.pid")" 2>/dev/null || break
    sleep 0.1
  done
  cat "$state/server.log" >&2
  stop_server
  exit 1
  ;;
stop)
  stop_server
  ;;
esac
