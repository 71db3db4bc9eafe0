#!/usr/bin/env bash
# The recorder's song history: `bash bench/history.sh [MINUTES]` (default 10). Builds the
# probe as the library ships (static FFmpeg, as bench/run.sh), makes MINUTES of a 128 kbit/s
# MP3, and prints what keeping it as a history costs (bench/history_probe.cpp) beside its
# peer: the same audio as 16-bit PCM, and encoding it with `ffmpeg -i FILE -f wav - | lame`.
set -euo pipefail
source "$(dirname "$0")/../scripts/common.sh"
minutes=${1:-10}
source "$here/bench/build-probe.sh"
build_probe history_probe
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ffmpeg -nostdin -loglevel error -f lavfi -i "sine=frequency=440:duration=$((minutes * 60))" \
  -ac 2 -c:a libmp3lame -b:a 128k "$work/song.mp3"
ours=$("$bench_build/bench/history_probe" "$minutes" "$work/song.mp3" "$work")
peer=$(python3 -c '
import subprocess, sys, time
started = time.monotonic()
subprocess.run(sys.argv[1], shell=True, check=True)
print(time.monotonic() - started)' \
  "ffmpeg -nostdin -loglevel error -i $work/song.mp3 -f wav - | lame --quiet -b 128 - $work/peer.mp3")
echo "$ours"
python3 - "$ours" "$peer" <<'PY'
import json, sys
ours = json.loads(sys.argv[1]); peer = float(sys.argv[2])
print("history of %d min: kept %.1f MiB (resident +%.1f MiB) against %.1f MiB of PCM (ratio %.2f);"
      " encoded in %.1f s against %.1f s for ffmpeg | lame (ratio %.2f)" % (
          ours["minutes"], ours["kept_bytes"] / 2**20, ours["resident_growth_kib"] / 1024,
          ours["pcm_bytes"] / 2**20, ours["kept_bytes"] / ours["pcm_bytes"],
          ours["encode_seconds"], peer, ours["encode_seconds"] / peer))
PY
