#!/usr/bin/env bash
# The Windows programs' benchmark: `bash bench/player.sh` (BENCH_SECONDS, BENCH_IDLE_SECONDS,
# BENCH_RUNS to adjust). Builds the player and editor probes in the Windows tree, then runs
# bench/player.py under Wine on a headless display. Wine finds no sound card here, so the
# player plays into the library's silent output, paced by the clock like a sound card (ALSA's
# null device would take samples as fast as they come, which no real device does). The
# library's native figures come along when bench/run.sh has built its probe.
set -euo pipefail
source "$(dirname "$0")/../scripts/common.sh"
bash "$here/scripts/install-deps.sh"
build_windows >/dev/null
start_display
trap stop_display EXIT
prepare_wine
python3 "$here/bench/player.py" "$windows_build/bench/player_probe.exe" \
  "$windows_build/bench/editor_probe.exe" "$here/build/bench/bench/stream_probe"
