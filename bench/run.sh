#!/usr/bin/env bash
# The stream core's benchmark: `bash bench/run.sh` (BENCH_SECONDS, BENCH_RUNS to adjust;
# BENCH_ROWS=icecast or hls for only those rows).
# Builds the probe as the product ships the library: with a minimal, audio-only, static FFmpeg
# (built once into build/ffmpeg-native by scripts/build-ffmpeg.sh), then runs bench/run.py
# against a local Icecast.
set -euo pipefail
source "$(dirname "$0")/../scripts/common.sh"
bash "$here/scripts/install-deps.sh"
ffmpeg_dir=$here/build/ffmpeg-native
bash "$here/scripts/build-ffmpeg.sh" native "$ffmpeg_dir"
bench_build=$here/build/bench
mkdir -p "$bench_build"
if [ ! -f "$bench_build/build.ninja" ]; then
  cmake -S "$here" -B "$bench_build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DBREVORA_STATIC_FFMPEG="$ffmpeg_dir" >"$bench_build.configure.log" 2>&1 ||
    { cat "$bench_build.configure.log"; exit 1; }
fi
cmake --build "$bench_build" --target stream_probe >/dev/null
python3 "$here/bench/run.py" "$bench_build/bench/stream_probe"
