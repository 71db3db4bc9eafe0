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
exec wine "$@"
