#!/usr/bin/env bash
# The Windows programs' benchmark: `bash bench/player.sh` (BENCH_SECONDS, BENCH_IDLE_SECONDS,
# BENCH_RUNS to adjust). Builds the player and editor probes in the Windows tree, then runs
# bench/player.py under Wine on a headless display. Wine finds no sound card here, so the
# player plays into the library's silent output, paced by the clock like a sound card (ALSA's
# null device would take samples as fast as they come, which no real device does). The
# library's native figures come along when bench/run.sh has built its probe.
#
# `bash bench/player.sh lists [COMMIT]` runs bench/station_list.py instead: large station
# lists in the editor and the player; with COMMIT, the same probes also built on that
# commit's programs (in build/baseline-windows), both measured in the one run.
set -euo pipefail
source "$(dirname "$0")/../scripts/common.sh"
bash "$here/scripts/install-deps.sh"
build_windows >/dev/null
start_display
trap stop_display EXIT
prepare_wine

# The probes of this checkout built on an earlier commit's programs: its sources from git,
# with the editor's headers where that commit keeps them (before its rooms, all at the top).
build_baseline_probes() { # commit
  local source=$here/build/baseline-src
  baseline_build=$here/build/baseline-windows
  rm -rf "$source" && mkdir -p "$source" "$baseline_build"
  git -C "$here" archive "$1" | tar -x -C "$source"
  cp "$here/bench/station_list_file.h" "$source/bench/"
  for probe in player_probe.cpp editor_probe.cpp; do
    if [ -d "$source/editor/list" ]; then
      cp "$here/bench/$probe" "$source/bench/$probe"
    else
      sed 's#^\#include "\(list\|import\)/#\#include "#' "$here/bench/$probe" >"$source/bench/$probe"
    fi
  done
  for part in ffmpeg-windows mbedtls-windows lame-windows; do
    [ -d "$baseline_build/$part" ] || cp -a "$windows_build/$part" "$baseline_build/"
  done
  cmake -S "$source" -B "$baseline_build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$source/cmake/mingw-w64.cmake" >"$baseline_build.configure.log" 2>&1 ||
    { cat "$baseline_build.configure.log"; exit 1; }
  cmake --build "$baseline_build" --target player_probe editor_probe >/dev/null
}

if [ "${1:-}" = lists ]; then
  probes=("$windows_build/bench/player_probe.exe" "$windows_build/bench/editor_probe.exe")
  if [ -n "${2:-}" ]; then
    build_baseline_probes "$2"
    probes+=("$baseline_build/bench/player_probe.exe" "$baseline_build/bench/editor_probe.exe")
  fi
  python3 "$here/bench/station_list.py" "${probes[@]}"
  exit 0
fi

python3 "$here/bench/player.py" "$windows_build/bench/player_probe.exe" \
  "$windows_build/bench/editor_probe.exe" "$here/build/bench/bench/stream_probe"
