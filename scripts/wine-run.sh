#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's own Wine prefix, quietly.
# CTest uses it as the cross-compiling emulator. Window tests need DISPLAY: the test and
# run commands start Xvfb and export it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko: the programs use neither, and their installers would prompt.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# File names with letters outside ASCII need a UTF-8 locale (see scripts/common.sh).
export LC_ALL=C.UTF-8
# Wine's own programs (the desktop's explorer.exe, services), started by the first program
# that needs them, inherit its standard error and live on while other programs come and go:
# CTest, reading our output to its end, waited minutes after the test had ended. So the
# program writes into a file, passed on once it has exited.
output=$(mktemp)
trap 'rm -f "$output"' EXIT
run_wine() {
  status=0
  started=${EPOCHREALTIME/./}
  wine "$@" >"$output" 2>&1 || status=$?
  elapsed_ms=$(((${EPOCHREALTIME/./} - started) / 1000))
}
run_wine "$@"
# Wine takes over 100 ms to start any program, so a silent failure faster than that is its
# loader's, before the program ran (seen once in CI: status unknown, no output, 10 ms).
# One more try then; the program's own faults are never retried.
if [ "$status" -ne 0 ] && [ ! -s "$output" ] && [ "$elapsed_ms" -lt 100 ]; then
  echo "wine-run: wine ended with status $status after $elapsed_ms ms before starting $1;" \
    "starting it again" >&2
  run_wine "$@"
fi
cat "$output"
if [ "$status" -ne 0 ] && [ ! -s "$output" ]; then
  echo "wine-run: $1 ended with status $status after $elapsed_ms ms without output" >&2
fi
exit "$status"
