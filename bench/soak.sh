#!/usr/bin/env bash
# The soak, a command, not a CI test: `bash bench/soak.sh [MINUTES]` (default 20) builds the
# library with ASan (build/native-asan) and switches stations of the scripted test server
# for MINUTES or 1000 switches, whichever comes first (1000 take about 13 minutes on two busy
# cores), printing resident memory, the live heap, threads and descriptors as it goes (see
# bench/soak.cpp). Exits non-zero when the memory the library keeps (its live heap) grew by
# 1 MiB or more after the 100th switch, a thread or descriptor was left, or ASan found a
# fault (a leak at exit included).
set -euo pipefail
source "$(dirname "$0")/../scripts/common.sh"
minutes=${1:-20}
bash "$here/scripts/install-deps.sh"
asan_build=$here/build/native-asan
mkdir -p "$asan_build"
if [ ! -f "$asan_build/build.ninja" ]; then
  cmake -S "$here" -B "$asan_build" -G Ninja -DBREVORA_SANITIZE=address \
    >"$asan_build.configure.log" 2>&1 || { cat "$asan_build.configure.log"; exit 1; }
fi
cmake --build "$asan_build" --target soak >/dev/null
# A small quarantine, so that resident memory stays near what the library keeps rather than
# what ASan holds back to catch uses after free (the live heap leaves the quarantine out).
ASAN_OPTIONS=detect_leaks=1:quarantine_size_mb=4 "$asan_build/bench/soak" "$minutes" 1000
