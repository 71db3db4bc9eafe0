#!/usr/bin/env bash
# The stream core's benchmark: `bash bench/run.sh` (BENCH_SECONDS, BENCH_RUNS to adjust;
# BENCH_ROWS=icecast or hls for only those rows).
# Builds the probe as the product ships the library: with a minimal, audio-only, static FFmpeg
# (built once into build/ffmpeg-native by scripts/build-ffmpeg.sh), then runs bench/run.py
# against a local Icecast.
set -euo pipefail
source "$(dirname "$0")/../scripts/common.sh"
source "$here/bench/build-probe.sh"
build_probe stream_probe
python3 "$here/bench/run.py" "$bench_build/bench/stream_probe"
