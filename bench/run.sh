#!/usr/bin/env bash
# The stream core's benchmark: `bash bench/run.sh` (BENCH_SECONDS, BENCH_RUNS to adjust).
# Builds the library natively, then runs bench/run.py against a local Icecast.
set -euo pipefail
source "$(dirname "$0")/../scripts/common.sh"
bash "$here/scripts/install-deps.sh"
configure_and_build "$native_build" >/dev/null
probe=$native_build/bench/stream_probe
mkdir -p "$(dirname "$probe")"
g++ -std=c++20 -O2 -I"$here/audio/include" -I"$here/audio/src" "$here/bench/stream_probe.cpp" \
  "$native_build/audio/libbrevora_audio.a" "$native_build/audio/libbrevora_input_parsers.a" \
  -lmbedtls -lmbedx509 -lmbedcrypto $(pkg-config --libs libavformat libavcodec libswresample libavutil) \
  -pthread -o "$probe"
python3 "$here/bench/run.py" "$probe"
